#include "configs/roots.h"

#include "configs/config_traits.h"
#include "search/search.h"

namespace orvex {

HistoryTable worker_history;
MultiPvLines worker_multipv_lines;
u32 worker_multipv_count = 0;

void run_search_config(SearchConfig c) {
  root_list_refused = 0;
  switch (c) {
    case kConfigPawnEnding: search_root_pawn_ending(); break;
    case kConfigBishopEnding: search_root_bishop_ending(); break;
    case kConfigBishopVsKnightEnding: search_root_bishop_vs_knight_ending(); break;
    case kConfigKnightVsBishopEnding: search_root_knight_vs_bishop_ending(); break;
    case kConfigKnightEnding: search_root_knight_ending(); break;
    case kConfigQueenEnding: search_root_queen_ending(); break;
    case kConfigRookEnding: search_root_rook_ending(); break;
    case kConfigRookBishopEnding: search_root_rook_bishop_ending(); break;
    case kConfigRookKnightEnding: search_root_rook_knight_ending(); break;
    case kConfigCastlingRights: search_root_castling_rights(); break;
    case kConfigMixed: search_root_mixed(); break;
    case kConfigWorker: search_root_worker(); break;
    default: search_root(); break;
  }
  if (root_list_refused) {
    root_list_refused = 0;
    search_root();
  }
}

}  // namespace orvex
