// The tablebase probe the node searches call.
#pragma once
#include "search/search_stack.h"

namespace orvex {

// Probes current_position in the registered tablebases.  Returns 1 and writes
// the score for the side to move (relative to the probed position) when the
// position has a value; 0, writing nothing, otherwise.
i32 probe_tablebases(Score* out);

}  // namespace orvex
