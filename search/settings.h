// The settings that shape a search: the values of the UCI options the
// searches read.  One record per process, written by the front end's option
// handlers, so a "setoption" obeyed at a poll during a search acts on that
// search at once.
#pragma once
#include "position/types.h"

namespace orvex {

constexpr int kSearchConfigCount = 13;  // each search configuration keeps its own contempt

constexpr u32 kOutputVerbose = 0, kOutputNormal = 1, kOutputSparse = 2;
constexpr u32 kOutlookVeryPessimistic = 0, kOutlookSlightlyPessimistic = 1, kOutlookNeutral = 2,
              kOutlookSlightlyOptimistic = 3, kOutlookVeryOptimistic = 4, kOutlookUltraOptimistic = 5;
constexpr u32 kTimeUsageConstant = 0, kTimeUsageVaried = 1;

struct SearchSettings {
  u32 output_mode = kOutputVerbose;
  u32 multipv = 1;
  u8 preserve_analysis = 0;
  u8 show_currline = 0;
  u8 show_refutations = 0;
  i32 contempt_copies[kSearchConfigCount] = {};  // one per search configuration
  u32 outlook = kOutlookNeutral;
  u32 time_usage = kTimeUsageVaried;
  i32 tb_probe_depth = 512;            // half plies from which the searches probe
  u8 display_draw_scores = 0;          // ending progress lines show scores near 0 as they are
  u32 worker_multipv = 1;              // the worker configuration's copy of multipv
};

extern SearchSettings search_settings;

}  // namespace orvex
