// The roots of the twelve specialised search configurations.  Each takes no
// arguments: it searches current_position with the limits of search_limits
// and leaves its result in search_status, like search_root (the general
// configuration's).
#pragma once
#include "configs/search_config.h"

namespace orvex {

void search_root_pawn_ending();
void search_root_bishop_ending();
void search_root_bishop_vs_knight_ending();
void search_root_knight_vs_bishop_ending();
void search_root_knight_ending();
void search_root_queen_ending();
void search_root_rook_ending();
void search_root_rook_bishop_ending();
void search_root_rook_knight_ending();
void search_root_castling_rights();
void search_root_mixed();
// search_root_worker is declared in search/search.h.

// Runs the root of configuration `c`.  A specialised configuration whose
// root list "searchmoves" leaves empty hands the search to the general one.
void run_search_config(SearchConfig c);

}  // namespace orvex
