// The second edition's search: the transposition-table stores and probes of
// its nodes, the zero-window and principal-variation searches, the two
// quiescence searches, the root move loop with its progress lines and the
// root driver.  All search the one global position in place; the records of
// the plies live in edition_stack.
#pragma once
#include "larkspire/board.h"
#include "larkspire/limits.h"
#include "larkspire/ply_record.h"
#include "search/search_stack.h"

namespace orvex::larkspire {

// ---- Settings and state the front end shares with the search ----
extern i32 display_scale;   // 16 + min(16, 32 - men), set by the root
extern SearchMove result_move;  // move behind a returned score (node searches)

// Per root move: the extra depth and score bonus found by the root's analysis.
struct RootMoveAnalysis {
  u32 move;
  u32 extra_depth;  // half plies: 0, 2, 4, 8 or 10
  i32 score_bonus;  // 0, 10 or 30
};
extern RootMoveAnalysis root_analysis[kMaxRootMoves + 1];
extern RootMoveList edition_root;
extern MultiPvLines edition_multipv;

// The score bonus the analysis gave a root move (0 for a move not in it).
i32 root_score_bonus(SearchMove m);
// Moves to mate shown for a mate-class root score of move m: counted from
// the score without the move's bonus, so that a won mate never shows as 0.
i32 shown_mate_moves(i32 score, SearchMove m);

// ---- Scores in the transposition table ----
// A mate-class score at `ply` as stored (distance from the node), and back.
constexpr i32 to_stored(i32 s, i32 ply) { return s > 31000 ? s + ply : (s < -31000 ? s - ply : s); }
constexpr i32 from_stored(i32 v, i32 ply) {
  return v > 31000 ? static_cast<i16>(v - ply) : (v < -31000 ? static_cast<i16>(v + ply) : v);
}

// The four stores of the edition (no Preserve Analysis rule, no probe marks).
void tt_store_exact(u16 move, i32 depth, i32 score);
void tt_store_lower(u16 move, i32 depth, i32 score, u8 type);
void tt_store_lower_nomove(i32 depth, i32 score, u8 type);
void tt_store_upper(i32 depth, i32 score, u8 type);

// ---- Node searches (fail-soft, depths in half plies) ----
i32 qsearch(i32 alpha, i32 beta, i32 q, EditionPlyRecord* rec);
i32 qsearch_in_check(i32 alpha, i32 beta, i32 q, EditionPlyRecord* rec);
i32 search_zero_window(i32 beta, i32 depth, EditionPlyRecord* rec, NodeFlags flags);
i32 search_zero_window_in_check(i32 beta, i32 depth, EditionPlyRecord* rec, NodeFlags flags);
i32 search_pv(i32 alpha, i32 beta, i32 depth, u8 in_check, EditionPlyRecord* rec);

// One iteration over the root moves at c half plies; the best score.
i32 search_root_moves(i32 alpha, i32 beta, i32 c);
// The pseudo-legal moves of the position `rec` was evaluated for, in the
// order the root takes them: the evasions when in check, else the captures
// followed by the quiet moves; 0-terminated, returns their number.  `out`
// holds kMaxMoves + 1 moves.
u32 generate_root_candidates(SearchMove* out, bool in_check, const EditionPlyRecord& rec);
// One search of current_position under search_limits, on a stack of its own;
// the result in search_status (best_move, best_score, best_depth).
void search_root();

// Sets up a search that depends only on its position (benchmarks, tests):
// the table zeroed with its ages, the limits and status as a bare "go" leaves
// them, and the history of earlier searches forgotten.
void reset_for_repeatable_search();

}  // namespace orvex::larkspire
