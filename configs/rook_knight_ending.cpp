// The rook_knight_ending configuration's search: the search templates instantiated
// over its traits.
#include "configs/config_traits.h"
#include "configs/roots.h"
#include "search/search.h"
#include "search/search_core.h"

namespace orvex {

void search_root_rook_knight_ending() { run_on_search_stack(&search_root_driver<RookKnightEndingConfig>); }

}  // namespace orvex
