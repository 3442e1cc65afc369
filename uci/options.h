// The engine's settings: one field per UCI option that only the front end
// reads (the options that shape a search write search_settings), the "uci"
// declaration block and the "setoption" handlers.
#pragma once
#include "core/worker_team.h"
#include "position/types.h"
#include "search/settings.h"

namespace orvex {

constexpr u32 kPriorityNormal = 1, kPriorityNormalAndLow = 2, kPriorityLow = 3;
constexpr u32 kRateUltraslow = 0, kRateSlow = 1, kRateNormal = 2, kRateFast = 3, kRateUltrafast = 4;
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
  u32 engine_priority = kPriorityNormalAndLow;
  u8 io_supplementation = 0;
  u8 compensate_lost_time = 1;
  char tb_path[kTbPathSize] = {};
  u32 tb_cache_bytes = 1u << 20;
  u8 tb_never = 1;
  u32 tb_max_men = 0;                  // largest tablebase class registered
  u8 limit_strength = 0;
  i32 elo = 1200;
  u8 server_buffer = 0;
  u8 analyse_mode = 0;
  char opponent[kOpponentSize] = {};
  i32 contempt = 0;
  u32 rate_of_play = kRateNormal;
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
