// The castling_rights configuration's search: the search templates instantiated
// over its traits.
#include "configs/config_traits.h"
#include "configs/roots.h"
#include "search/search.h"
#include "search/search_core.h"

namespace orvex {

void search_root_castling_rights() { run_on_search_stack(&search_root_driver<CastlingRightsConfig>); }

}  // namespace orvex
