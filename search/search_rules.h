// What a search configuration is to the search templates: its board and
// evaluation, its statics, and the rules by which its search differs from the
// general one.  The general configuration (GeneralConfig) has the general
// values; every other configuration derives from it and changes some.
//
// Statics:
//   Cfg::history()        its HistoryTable
//   Cfg::quiet_order()    what orders its quiet moves: its history table, or
//                         an object with generate_quiets<B>(...) (the worker)
//   Cfg::contempt()       the score of a repetition in its PV search
//   Cfg::multipv_lines(), Cfg::multipv_count(), Cfg::multipv()
//                         its MultiPV records, their count and the setting
//                         (configurations with kMultiPv)
// Rules (general value first):
//   kMateByPly            true: a mated side scores ply - 32000, alpha and beta
//                         are narrowed by the mate distance, mate-class table
//                         scores are stored relative to the node; false: a
//                         mated side scores -31000 and scores are stored as
//                         found, each bound marked as one without mate
//                         distances (which the general search does not use
//                         as a mate)
//   kFiftyMoveRule        a node with fifty at 100 scores 0
//   kTbProbe              when the node searches probe the tablebases
//   kExtendWithQueens     extensions apply with queens on the board (else only
//                         while neither side has a queen)
//   kNullMaterial         what the side to move needs for the null move
//   kNullKeepsFifty       the null move keeps fifty (else sets it to 0)
//   kQuietChecksInQsearch quiet checks after the captures in quiescence
//   kPreserveAnalysis     the stores and the PV search honour Preserve Analysis
//   kShowLines            current-line and refutation lines
//   kRootBound            the root window +-kRootBound; root keys: failed low
//                         -kRootBound - 32500, from kRootBound on kRootBound - 32500
//   kMultiPv              MultiPV records; without them the root loop prints
//                         one line per new best move
//   kMateEndsRootLoop     a root move raising alpha to a mate-class score ends
//                         the iteration's move loop
//   kMateLoopStopsSearch  ... and ends the search after the iteration
//   kShuffleRoot          the root order of the next iteration is best move
//                         first, the others shuffled (worker)
//   kMateStopFrom         half-ply counter from which an iteration with a
//                         mate-class best score ends the search
//   kScoreMateText        progress and final lines may show "score mate"
//   kTbHitsField          progress lines carry "tbhits"
//   kDrawScoreClamp       small scores of the progress lines are pushed off 0
//                         unless Display Draw Scores is on (the final line
//                         shows the score as it is)
//   kFallsBackToGeneral   a root list that "searchmoves" leaves empty is
//                         refused (root_list_refused), so that the general
//                         configuration searches instead
#pragma once
#include "position/board_config.h"
#include "position/legality.h"
#include "position/make_move.h"
#include "position/movegen.h"
#include "position/position.h"
#include "search/evaluate.h"
#include "search/search_stack.h"
#include "search/search_support.h"
#include "search/tt.h"
#include "search/settings.h"

namespace orvex {

enum class TbProbeRule : u8 {
  kDepthOrMateBound,  // depth reaches the threshold or the bound is mate-class; scores made relative to the ply
  kDepthOnly,         // depth reaches the threshold; scores used as probed
  kNever,
};

enum class NullMaterialRule : u8 {
  kMajorOrTwoMinors,  // a queen or a rook, or two minor pieces
  kAnyPiece,          // a knight, bishop, rook or queen
  kAnything,
};

// The general configuration: every piece kind on the board, the process's
// `history`, the first contempt copy and the general MultiPV records.
struct GeneralConfig {
  using Board = GeneralBoard;
  using Eval = GeneralEval;
  static HistoryTable& history() { return orvex::history; }
  static const HistoryTable& quiet_order() { return orvex::history; }
  static i32 contempt() { return search_settings.contempt_copies[0]; }
  static MultiPvLines& multipv_lines() { return orvex::multipv_lines; }
  static u32& multipv_count() { return orvex::multipv_count; }
  static u32 multipv() { return search_settings.multipv; }

  static constexpr bool kMateByPly = true;
  static constexpr bool kFiftyMoveRule = true;
  static constexpr TbProbeRule kTbProbe = TbProbeRule::kDepthOrMateBound;
  static constexpr bool kExtendWithQueens = true;
  static constexpr NullMaterialRule kNullMaterial = NullMaterialRule::kMajorOrTwoMinors;
  static constexpr bool kNullKeepsFifty = true;
  static constexpr bool kQuietChecksInQsearch = true;
  static constexpr bool kPreserveAnalysis = true;
  static constexpr bool kShowLines = true;
  static constexpr i32 kRootBound = kMateScore;
  static constexpr bool kMultiPv = true;
  static constexpr bool kMateEndsRootLoop = false;
  static constexpr bool kMateLoopStopsSearch = false;
  static constexpr bool kShuffleRoot = false;
  static constexpr i32 kMateStopFrom = 12;
  static constexpr bool kScoreMateText = true;
  static constexpr bool kTbHitsField = true;
  static constexpr bool kDrawScoreClamp = false;
  static constexpr bool kFallsBackToGeneral = false;
};

// ---- Scores ----

// The score of a side mated at `ply`.
template <class Cfg>
constexpr i32 mated_score(i32 ply) {
  if constexpr (Cfg::kMateByPly) return mated_at(ply);
  else return -kMateThreshold;
}
// A score as the table keeps it, and a stored bound as a node reads it.
template <class Cfg>
constexpr i32 to_tt(i32 score, i32 ply) {
  if constexpr (Cfg::kMateByPly) return score_to_tt(score, ply);
  else return score;
}
template <class Cfg>
constexpr i32 from_tt(i32 value, i32 ply) {
  if constexpr (Cfg::kMateByPly) return score_from_tt(value, ply);
  else return value;
}

// The bounds of a table entry as a node at `ply` reads them.  Both node
// kinds read them alike, so that a bound a scout cuts on is one its
// full-window re-search uses too.
struct StoredBounds {
  i32 lower_depth = 0;  // depth byte of the lower bound, 0 = none
  i32 upper_depth = 0;  // depth byte of the upper bound, 0 = none
  i32 lower = -kMateThreshold;  // relative to the root; -31000 without a lower bound
  i32 upper = 0;
};
// Where mates are scored by ply, a mate-class bound that a search without
// mate distances stored (kTtLowerFlatMate, kTtUpperFlatMate, or a value that
// shows it, see is_flat_mate) is no bound: a flat mate read at another ply
// would pass for one some 500 moves away, or for one as near as the ply
// difference makes it, and a mate such a search carried up from another
// entry has lost a ply for each of its plies.  A search that took either for
// a found mate would stop at once with any "mating" move, or show a mate
// shorter than the real one.  Without them the search finds its mates
// itself, with their distances.
template <class Cfg>
inline StoredBounds stored_bounds(const TtEntry& e, i32 ply) {
  StoredBounds b;
  const bool flat_lower = Cfg::kMateByPly && lower_is_flat_mate(e);
  const bool flat_upper = Cfg::kMateByPly && upper_is_flat_mate(e);
  if (e.lower_depth != 0 && !flat_lower) {
    b.lower_depth = e.lower_depth;
    b.lower = from_tt<Cfg>(e.lower, ply);
  }
  if (!flat_upper) {
    b.upper_depth = e.upper_depth;
    b.upper = from_tt<Cfg>(e.upper, ply);
  }
  return b;
}

// ---- Stores ----
template <class Cfg>
inline void store_exact(u16 move, i32 depth, i32 score, bool tablebase = false) {
  tt_store_exact<Cfg::kPreserveAnalysis, true, Cfg::kMateByPly>(move, depth, score, tablebase);
}
template <class Cfg>
inline void store_lower(u16 move, i32 depth, i32 score, u8 type) {
  tt_store_lower<Cfg::kPreserveAnalysis, true, Cfg::kMateByPly>(move, depth, score, type);
}
template <class Cfg>
inline void store_lower_nomove(i32 depth, i32 score, u8 type) {
  tt_store_lower_nomove<Cfg::kPreserveAnalysis, true, Cfg::kMateByPly>(depth, score, type);
}
template <class Cfg>
inline void store_upper(i32 depth, i32 score, u8 type) {
  tt_store_upper<Cfg::kPreserveAnalysis, true, Cfg::kMateByPly>(depth, score, type);
}

// ---- Rules of the position ----

// Whether extensions apply in the current position.
template <class Cfg>
inline bool extensions_apply() {
  if constexpr (Cfg::kExtendWithQueens) return true;
  else
    return (current_position.piece_bb[kWhiteQueen - 2] | current_position.piece_bb[kWhiteQueen + 1 - 2]) == 0;
}

// Whether the side to move has the material the configuration's null move needs.
template <class Cfg>
inline bool null_move_material_for() {
  if constexpr (Cfg::kNullMaterial == NullMaterialRule::kMajorOrTwoMinors) {
    return null_move_material();
  } else if constexpr (Cfg::kNullMaterial == NullMaterialRule::kAnyPiece) {
    const Position& pos = current_position;
    const Colour c = pos.side_to_move;
    return (pos.piece_bb[make_piece(kKnight, c) - 2] | pos.piece_bb[make_piece(kBishop, c) - 2] |
            pos.piece_bb[make_piece(kRook, c) - 2] | pos.piece_bb[make_piece(kQueen, c) - 2]) != 0;
  } else {
    return true;
  }
}

// Passes the turn for the null-move search; undone by unmake_null_move.
template <class Cfg>
inline void make_null_move_for(NullMoveUndo& u) {
  make_null_move(u);
  if constexpr (!Cfg::kNullKeepsFifty) current_position.state.fifty = 0;
}

// The quiet moves of the side to move in the configuration's order, the
// five given moves left out.
template <class Cfg>
inline void generate_quiets_for(SearchMove* moves, u64 attacked, SearchMove hash_move, SearchMove k1, SearchMove k2,
                                SearchMove k3, SearchMove k4) {
  using B = typename Cfg::Board;
  const auto& order = Cfg::quiet_order();
  if constexpr (requires { order.template generate_quiets<B>(moves, attacked, hash_move, k1, k2, k3, k4); })
    order.template generate_quiets<B>(moves, attacked, hash_move, k1, k2, k3, k4);
  else
    generate_quiet_moves<B>(moves, attacked, hash_move, k1, k2, k3, k4, order);
}

// Fail-soft bookkeeping of the quiescence loops: raises `best` and `alpha`
// by a move's score; true when the score reaches beta and cuts the node.
inline bool raise_and_test_cut(i32 score, i32& best, i32& alpha, i32 beta) {
  if (score <= best) return false;
  best = score;
  if (score <= alpha) return false;
  alpha = score;
  return score >= beta;
}

// Makes m and evaluates the position reached into `child`.  A move that
// leaves the mover's king attacked is taken back at once: false.  Otherwise
// true, with `gives_check` telling whether the side now to move is in check.
// With `child_probes_table` (the child is a node that reads the table) the
// child's bucket is fetched while the evaluation runs.
template <class Cfg>
inline bool make_legal_move(SearchMove m, UndoRecord& undo, PlyRecord& child, bool& gives_check,
                            bool child_probes_table = false) {
  make_move<typename Cfg::Board>(m, undo);
  if (child_probes_table) tt_prefetch(current_position.state.key);
  gives_check = evaluate_with<typename Cfg::Eval>(child);
  if (mover_king_attacked(child)) [[unlikely]] {
    unmake_move<typename Cfg::Board>(m, undo);
    return false;
  }
  return true;
}

// The node searches call each other.
template <class Cfg>
i32 qsearch(i32 alpha, i32 beta, i32 qd, PlyRecord* rec);
template <class Cfg>
i32 qsearch_in_check(i32 alpha, i32 beta, i32 qd, PlyRecord* rec);
template <class Cfg>
i32 search_zero_window(i32 beta, i32 depth, PlyRecord* rec, NodeFlags flags);
template <class Cfg>
i32 search_zero_window_in_check(i32 beta, i32 depth, PlyRecord* rec, NodeFlags flags);
template <class Cfg>
i32 search_pv(i32 alpha, i32 beta, i32 depth, u8 in_check, PlyRecord* rec);

}  // namespace orvex
