// The choice of the search configuration for one "go": a pure function of
// the process role, the request, the score history and the root position.
#pragma once
#include "configs/search_config.h"
#include "position/position.h"

namespace orvex {

// Everything besides the root position that the choice reads.
struct ConfigRequest {
  bool is_master = true;
  u32 multipv = 1;
  u32 tb_max_men = 0;       // largest tablebase class registered, 0 for none
  bool infinite = false;    // the go line had "infinite"
  bool ponder = false;      // the go line had "ponder"
  i32 depth_limit = 0;      // after the strength limit; kNoDepthLimit when none
  i64 node_limit = 0;       // kNoNodeLimit when none
  i32 mate_limit = 0;       // 0 when none
  const i32* score_history = nullptr;  // newest first
  i32 score_count = 0;
};

// Whether the request asks for the general search whatever the material:
// several lines, an infinite search that is not pondering, a depth, node or
// mate limit, a fifty-move counter of 65 or more, or three decisive scores
// in a row.
bool is_general_request(const Position& root, const ConfigRequest& req);

// The configuration that searches `root` for `req`.
SearchConfig choose_search_config(const Position& root, const ConfigRequest& req);

}  // namespace orvex
