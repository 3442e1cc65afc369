// The engine's settings: one field per UCI option, the "uci" declaration
// block and the "setoption" handlers.
#pragma once
#include "position/types.h"
#include "uci/worker_team.h"

namespace orvex {

constexpr int kSearchConfigCount = 13;  // each search configuration keeps its own contempt

constexpr u32 kOutputVerbose = 0, kOutputNormal = 1, kOutputSparse = 2;
constexpr u32 kPriorityNormal = 1, kPriorityNormalAndLow = 2, kPriorityLow = 3;
constexpr u32 kOutlookVeryPessimistic = 0, kOutlookSlightlyPessimistic = 1, kOutlookNeutral = 2,
              kOutlookSlightlyOptimistic = 3, kOutlookVeryOptimistic = 4, kOutlookUltraOptimistic = 5;
constexpr u32 kRateUltraslow = 0, kRateSlow = 1, kRateNormal = 2, kRateFast = 3, kRateUltrafast = 4;
constexpr u32 kTimeUsageConstant = 0, kTimeUsageVaried = 1;
constexpr u32 kEmergencySmall = 0, kEmergencyMedium = 1, kEmergencyLarge = 2;

constexpr u32 kMaxCpusLimit = 2048;
constexpr u32 kMinTbCacheMb = 1, kMaxTbCacheMb = 256;
constexpr u32 kMaxMultiPv = 100;
constexpr i32 kMinContempt = -100, kMaxContempt = 100;
constexpr int kTbPathSize = 512;
constexpr int kOpponentSize = 256;

struct EngineOptions {
  u32 hash_mb = kDefaultHashMb;        // a power of two
  u32 max_cpus = kMaxCpusLimit;
  u8 display_draw_scores = 0;
  u32 output_mode = kOutputVerbose;
  u32 engine_priority = kPriorityNormalAndLow;
  u8 io_supplementation = 0;
  u8 compensate_lost_time = 1;
  char tb_path[kTbPathSize] = {};
  u32 tb_cache_bytes = 1u << 20;
  u8 tb_never = 1;
  i32 tb_probe_depth = 512;            // half plies from which the searches probe
  u32 tb_max_men = 0;                  // largest tablebase class registered
  u8 preserve_analysis = 0;
  u32 multipv = 1;
  u32 worker_multipv = 1;              // always equal to multipv
  u8 show_currline = 0;
  u8 show_refutations = 0;
  u8 limit_strength = 0;
  i32 elo = 1200;
  u8 server_buffer = 0;
  u8 analyse_mode = 0;
  char opponent[kOpponentSize] = {};
  i32 contempt = 0;
  i32 contempt_copies[kSearchConfigCount] = {};  // one per search configuration
  u32 outlook = kOutlookNeutral;
  u32 rate_of_play = kRateNormal;
  u32 time_usage = kTimeUsageVaried;
  u32 emergency_buffer = kEmergencyMedium;
};

extern EngineOptions engine_options;

// Prints the 27 "option name ..." declaration lines, in order.
void send_option_declarations();

// Carries out a "setoption" line (cut at its newline) when it matches one of
// the option rows, and returns true; returns false, changing nothing, when no
// row matches.
bool handle_option_line(const char* line);

// Builds the shared mappings and (in the master) the worker set again from
// the current options: table size, process count, worker priority and the
// settings the new workers must be sent.
void rebuild_worker_team();

}  // namespace orvex
