// The thirteen search configurations.  No value of this type is stored by a
// search: "go" picks one (configs/choice.h) and calls its root; the type
// names them for that choice, for tests and for benchmarks.
#pragma once
#include "position/types.h"

namespace orvex {

enum SearchConfig : u8 {
  kConfigGeneral,
  kConfigPawnEnding,
  kConfigBishopEnding,
  kConfigBishopVsKnightEnding,
  kConfigKnightVsBishopEnding,
  kConfigKnightEnding,
  kConfigQueenEnding,
  kConfigRookEnding,
  kConfigRookBishopEnding,
  kConfigRookKnightEnding,
  kConfigCastlingRights,
  kConfigMixed,
  kConfigWorker,
};

constexpr int kSearchConfigTotal = 13;

// Short tag of a configuration ("general", "pawn_ending", ...).
const char* search_config_tag(SearchConfig c);

}  // namespace orvex
