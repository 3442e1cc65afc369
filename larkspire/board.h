// The second edition's board routines: the shared move code instantiated with
// the edition's board rules (position/board_config.h, EditionBoard), its make
// move that counts made moves and polls input every 32768 of them, the quiet
// moves above a gain threshold, and the staged move picker over its ply record.
#pragma once
#include <array>

// The move code first: its templates' names are bound before the
// evaluation's constants come into view.
#include "position/legality.h"
#include "position/make_move.h"
#include "position/move_picker.h"
#include "position/movegen.h"
#include "position/see.h"
//
#include "larkspire/evaluate.h"
#include "larkspire/limits.h"
#include "larkspire/ply_record.h"
#include "larkspire/search_io.h"
#include "platform/platform.h"
#include "search/search.h"

namespace orvex::larkspire {

using Board = EditionBoard;

// Counts one made move; every kPollBatch moves reads waiting input and the
// clock, and leaves the search (throws SearchAborted) when it must end.
inline void count_made_move() {
  SearchStatus& st = search_status;
  if (--st.node_countdown != 0) [[likely]] return;
  st.node_batches += 1;
  st.node_countdown = kPollBatch;
  poll_input();
  if (platform::tick_count() - st.start_tick >= search_limits.hard_time_ms) st.stop_after_iteration = 1;
  if (st.stop_requested || (st.stop_after_iteration && !search_limits.infinite)) throw SearchAborted{};
}

// Makes a pseudo-legal move, counting it first (may leave the search before
// the move is made).
inline void make_move(SearchMove m, UndoRecord& undo) {
  count_made_move();
  orvex::make_move<Board>(m, undo);
}
inline void unmake_move(SearchMove m, const UndoRecord& undo) { orvex::unmake_move<Board>(m, undo); }

inline bool is_see_safe(SearchMove m) { return orvex::is_see_safe<Board>(m); }
inline bool is_pseudo_legal(SearchMove m) { return orvex::is_pseudo_legal<Board>(m); }
inline bool is_valid_killer(SearchMove m, const EditionPlyRecord& rec) {
  return orvex::is_valid_killer<Board>(m, rec.attacks_them);
}
inline u64 compute_queen_attacks(Square s, const Position& p) { return queen_attacks(s, p); }

inline u32 generate_captures(SearchMove* moves, u32* keys, u64 targets_if_black, u64 targets_if_white,
                             const EditionPlyRecord& rec) {
  return orvex::generate_captures<Board>(moves, keys, targets_if_black, targets_if_white, rec.attacks_them);
}

// Quiet checks: onto empty squares, and with include_pawn_captures also
// taking enemy pawns; never any other enemy piece.
inline void generate_quiet_checks(SearchMove* moves, bool include_pawn_captures, const EditionPlyRecord& rec,
                                  SearchMove candidate_a, SearchMove candidate_b) {
  const Position& p = current_position;
  const u64 free_if_black =
      ~p.colour_bb[kWhite] | (include_pawn_captures ? p.piece_bb[kWhitePawn - 2] : u64{0});
  const u64 free_if_white =
      ~p.colour_bb[kBlack] | (include_pawn_captures ? p.piece_bb[kBlackPawn - 2] : u64{0});
  orvex::generate_quiet_checks<Board>(moves, free_if_black, free_if_white, rec.attacks_them, candidate_a,
                                      candidate_b);
}

inline EvasionList* generate_evasions(EvasionList* out, u64 king_targets, u64 targets) {
  return orvex::generate_evasions<Board>(out, king_targets, targets);
}

inline void generate_quiet_moves(SearchMove* moves, u64 attacks_them, SearchMove hash_move, SearchMove k1,
                                 SearchMove k2, SearchMove k3, SearchMove k4) {
  orvex::generate_quiet_moves<Board>(moves, attacks_them, hash_move, k1, k2, k3, k4, edition_history);
}

// ---- Quiet gain table ----
// Entry [row][from][to], 0..15: the expected gain of the static evaluation, in
// steps of 8, of a quiet move.  Rows: 0 white knight, bishop, rook; 1 white
// queen; 2 and 3 the same for black; 4 either king; 5 either pawn.
constexpr u32 kGainRows = 6;
using QuietGainTable = std::array<std::array<std::array<u8, 64>, 64>, kGainRows>;
extern const QuietGainTable quiet_gain_table;

// The gain row of a mover.
constexpr u32 gain_row(PieceCode code) {
  const PieceType t = type_of(code);
  if (t == kPawn) return 5;
  if (t == kKing) return 4;
  return 2 * colour_of(code) + (t == kQueen ? 1 : 0);
}

// Pawn pushes (no promotions), then knight, queen, bishop, rook and king
// moves onto empty squares (the king off attacks_them) whose gain entry is at
// least `threshold`, best entry first, equal entries in generation order;
// ends with 0.
void generate_quiet_moves_above_threshold(SearchMove* moves, i32 threshold, u64 attacks_them);

// ---- Staged move picker ----
using EditionMovePicker = MovePicker;
using EditionPickStage = PickStage;
constexpr EditionPickStage kEditionPickHashMove = kPickHashMove;
constexpr EditionPickStage kEditionPickQuiets = kPickQuiets;
constexpr EditionPickStage kEditionPickTacticalHashMove = kPickTacticalHashMove;
constexpr EditionPickStage kEditionPickEvasions = kPickTacticalEvasions;

inline SearchMove next_move(EditionMovePicker& p, const EditionPlyRecord& rec) {
  return orvex::next_move<Board>(p, rec, edition_history);
}

}  // namespace orvex::larkspire
