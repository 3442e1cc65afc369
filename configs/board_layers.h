// The board layers of the specialised search configurations: for each one the
// board traits (position/board_config.h), the evaluation traits
// (search/evaluate.h) and the configuration's own history table, bound into
// one type whose members are the generators, legality tests, exchange test,
// attack map, evaluation, make/unmake and move-ordering helpers that the
// configuration's search calls.  Every member is an instantiation of the
// templates in position/ and search/; nothing here is a second copy of them.
//
// The nine ending configurations run eight class board layers (queen_ending
// moves with pawn_ending's board and orders its quiet moves by its own
// history); castling_rights and mixed run the general board with restricted
// promotions (queen; knight only when it gives check; never rook).
#pragma once
#include "position/board_config.h"
#include "position/legality.h"
#include "position/make_move.h"
#include "position/movegen.h"
#include "position/see.h"
#include "search/evaluate.h"
#include "search/pawns.h"
#include "search/search_stack.h"

namespace orvex {

// ---- Ending evaluations ----
// The endgame sum of the general evaluation, visiting each colour's kinds of
// the piece set (queens always, adding only their attacks except in
// queen_ending).  Knights are visited in every ending, like the board layers
// handle them everywhere: a knight made by promotion is evaluated (attacks,
// mobility, passed-pawn tests) like any piece; where none stands it costs an
// empty-bitboard test.
struct EndingEval : GeneralEval {
  static constexpr bool kEndgameOnly = true;
  static constexpr bool kDrawTest = false;
  static constexpr bool kOppositeBishopHalving = false;
  static constexpr bool kCastlingRights = false;
  static constexpr u32 kKnights = 3, kBishops = 0, kRooks = 0;
  static constexpr bool kQueenTerms = false;
  static constexpr u32 kTrappedBishops = 0;
};
// Classes with bishops on both sides: trapped bishops of both colours,
// opposite-bishop halving and the draw test.
struct BishopsBothEval : EndingEval {
  static constexpr u32 kBishops = 3;
  static constexpr u32 kTrappedBishops = 3;
  static constexpr bool kOppositeBishopHalving = true;
  static constexpr bool kDrawTest = true;
};
using PawnEndingEval = EndingEval;
using KnightEndingEval = EndingEval;
using BishopEndingEval = BishopsBothEval;
struct BishopVsKnightEndingEval : EndingEval {  // white's bishops
  static constexpr u32 kBishops = 1;
  static constexpr u32 kTrappedBishops = 1;
  static constexpr bool kDrawTest = true;
};
struct KnightVsBishopEndingEval : EndingEval {  // black's bishops
  static constexpr u32 kBishops = 2;
  static constexpr u32 kTrappedBishops = 2;
  static constexpr bool kDrawTest = true;
};
struct QueenEndingEval : EndingEval {
  static constexpr bool kQueenTerms = true;
};
struct RookEndingEval : EndingEval {
  static constexpr u32 kRooks = 3;
};
using RookKnightEndingEval = RookEndingEval;
struct RookBishopEndingEval : BishopsBothEval {
  static constexpr u32 kRooks = 3;
};

// The pawn-structure lookup of the ending evaluations: the one pawn hash of
// the process, entries computed and stored exactly as for every other
// configuration.
inline PawnHashEntry* evaluate_pawn_structure_ending() { return evaluate_pawn_structure(); }

// ---- Make and unmake of the ending configurations and mixed ----
// No castling; a promotion with bit 0x8000 makes a knight, any other a queen.
// Every ending board makes moves alike; this one stands for them all.
using EndingMoveBoard = KnightEndingBoard;
inline void make_move_ending(SearchMove m, UndoRecord& u) { make_move<EndingMoveBoard>(m, u); }
inline void unmake_move_ending(SearchMove m, const UndoRecord& u) { unmake_move<EndingMoveBoard>(m, u); }

// ---- Restricted promotions of castling_rights, mixed and worker ----
// Captures and evasions whose promotions are a queen and, when the new knight
// attacks the enemy king, a knight; never a rook.
inline u32 generate_captures_restricted(SearchMove* moves, u32* keys, u64 targets_if_black, u64 targets_if_white) {
  return generate_captures<RestrictedBoard>(moves, keys, targets_if_black, targets_if_white);
}
inline EvasionList* generate_evasions_restricted(EvasionList* out, u64 king_free) {
  return generate_evasions<RestrictedBoard>(out, king_free);
}

// ---- History tables of the configurations with a layer here ----
extern HistoryTable pawn_ending_history;
extern HistoryTable bishop_ending_history;
extern HistoryTable bishop_vs_knight_ending_history;
extern HistoryTable knight_vs_bishop_ending_history;
extern HistoryTable knight_ending_history;
extern HistoryTable queen_ending_history;
extern HistoryTable rook_ending_history;
extern HistoryTable rook_bishop_ending_history;
extern HistoryTable rook_knight_ending_history;
extern HistoryTable castling_rights_history;
extern HistoryTable mixed_history;

// One configuration's board layer.  The signatures are those of the general
// functions, less what the layer does not read: the killer test takes no
// attack set (no castling in the endings; castling_rights passes it on), the
// capture generator no attack set, the quiet generator no history (its own).
template <class BoardT, class EvalT, HistoryTable& History>
struct BoardLayer {
  using Board = BoardT;
  using Eval = EvalT;
  static HistoryTable& history() { return History; }

  // Captures, promotions and en passant with their capture keys, 0-terminated;
  // returns the count.
  static u32 generate_captures(SearchMove* moves, u32* keys, u64 targets_if_black, u64 targets_if_white) {
    return orvex::generate_captures<Board>(moves, keys, targets_if_black, targets_if_white);
  }
  // Moves of a side in check; returns the last pair written (one before out
  // when none), the list ended by (0, 0).
  static EvasionList* generate_evasions(EvasionList* out, u64 king_free) {
    return orvex::generate_evasions<Board>(out, king_free);
  }
  // Non-capturing moves by the configuration's history, the five given moves
  // left out.  `attacked` is read only by a board that castles.
  static void generate_quiet_moves(SearchMove* moves, u64 attacked, SearchMove hash_move, SearchMove killer1,
                                   SearchMove killer2, SearchMove killer3, SearchMove killer4) {
    orvex::generate_quiet_moves<Board>(moves, attacked, hash_move, killer1, killer2, killer3, killer4, History);
  }
  static bool is_valid_killer(SearchMove m, u64 attacks_them = 0) {
    return orvex::is_valid_killer<Board>(m, attacks_them);
  }
  static bool is_pseudo_legal(SearchMove m) { return orvex::is_pseudo_legal<Board>(m); }
  static bool is_see_safe(SearchMove m) { return orvex::is_see_safe<Board>(m); }

  template <class R>
  static bool compute_attacks(R& rec) {
    return compute_attacks_with<Eval>(rec);
  }
  template <class R>
  static bool evaluate(R& rec) {
    return evaluate_with<Eval>(rec);
  }

  static void make_move(SearchMove m, UndoRecord& u) { orvex::make_move<Board>(m, u); }
  static void unmake_move(SearchMove m, const UndoRecord& u) { orvex::unmake_move<Board>(m, u); }

  template <class R>
  static void update_killers_and_history(SearchMove move, i32 depth, R& record) {
    orvex::update_killers_and_history(History, move, depth, record);
  }
  template <class R>
  static void score_and_sort_moves(const R& record, MovePair* first, MovePair* last, SearchMove hash_move) {
    orvex::score_and_sort_moves(History, record, first, last, hash_move);
  }
};

using PawnEndingLayer = BoardLayer<PawnEndingBoard, PawnEndingEval, pawn_ending_history>;
using BishopEndingLayer = BoardLayer<BishopEndingBoard, BishopEndingEval, bishop_ending_history>;
using BishopVsKnightEndingLayer =
    BoardLayer<BishopVsKnightEndingBoard, BishopVsKnightEndingEval, bishop_vs_knight_ending_history>;
using KnightVsBishopEndingLayer =
    BoardLayer<KnightVsBishopEndingBoard, KnightVsBishopEndingEval, knight_vs_bishop_ending_history>;
using KnightEndingLayer = BoardLayer<KnightEndingBoard, KnightEndingEval, knight_ending_history>;
// pawn_ending's board, its own evaluation and history.
using QueenEndingLayer = BoardLayer<PawnEndingBoard, QueenEndingEval, queen_ending_history>;
using RookEndingLayer = BoardLayer<RookEndingBoard, RookEndingEval, rook_ending_history>;
using RookBishopEndingLayer = BoardLayer<RookBishopEndingBoard, RookBishopEndingEval, rook_bishop_ending_history>;
using RookKnightEndingLayer = BoardLayer<RookKnightEndingBoard, RookKnightEndingEval, rook_knight_ending_history>;
// The general board with restricted promotions; mixed without castling.
using CastlingRightsLayer = BoardLayer<RestrictedBoard, CastlingRightsEval, castling_rights_history>;
using MixedLayer = BoardLayer<MixedBoard, MixedEval, mixed_history>;


// ---- The members by their configuration names ----
// queen_ending runs the pawn_ending members but for its quiet moves (its own
// history) and its evaluation; knight_vs_bishop_ending runs the exchange test
// of bishop_vs_knight_ending (the two are the same test).
inline constexpr auto& generate_captures_pawn_ending = PawnEndingLayer::generate_captures;
inline constexpr auto& generate_evasions_pawn_ending = PawnEndingLayer::generate_evasions;
inline constexpr auto& generate_quiet_moves_pawn_ending = PawnEndingLayer::generate_quiet_moves;
inline bool is_valid_killer_pawn_ending(SearchMove m) { return PawnEndingLayer::is_valid_killer(m); }
inline constexpr auto& is_pseudo_legal_pawn_ending = PawnEndingLayer::is_pseudo_legal;
inline constexpr auto& is_see_safe_pawn_ending = PawnEndingLayer::is_see_safe;
inline bool compute_attacks_pawn_ending(PlyRecord& rec) { return PawnEndingLayer::compute_attacks(rec); }
inline bool evaluate_pawn_ending(PlyRecord& rec) { return PawnEndingLayer::evaluate(rec); }
inline constexpr auto& generate_captures_bishop_ending = BishopEndingLayer::generate_captures;
inline constexpr auto& generate_evasions_bishop_ending = BishopEndingLayer::generate_evasions;
inline constexpr auto& generate_quiet_moves_bishop_ending = BishopEndingLayer::generate_quiet_moves;
inline bool is_valid_killer_bishop_ending(SearchMove m) { return BishopEndingLayer::is_valid_killer(m); }
inline constexpr auto& is_pseudo_legal_bishop_ending = BishopEndingLayer::is_pseudo_legal;
inline constexpr auto& is_see_safe_bishop_ending = BishopEndingLayer::is_see_safe;
inline bool compute_attacks_bishop_ending(PlyRecord& rec) { return BishopEndingLayer::compute_attacks(rec); }
inline bool evaluate_bishop_ending(PlyRecord& rec) { return BishopEndingLayer::evaluate(rec); }
inline constexpr auto& generate_captures_bishop_vs_knight_ending = BishopVsKnightEndingLayer::generate_captures;
inline constexpr auto& generate_evasions_bishop_vs_knight_ending = BishopVsKnightEndingLayer::generate_evasions;
inline constexpr auto& generate_quiet_moves_bishop_vs_knight_ending = BishopVsKnightEndingLayer::generate_quiet_moves;
inline bool is_valid_killer_bishop_vs_knight_ending(SearchMove m) { return BishopVsKnightEndingLayer::is_valid_killer(m); }
inline constexpr auto& is_pseudo_legal_bishop_vs_knight_ending = BishopVsKnightEndingLayer::is_pseudo_legal;
inline constexpr auto& is_see_safe_bishop_vs_knight_ending = BishopVsKnightEndingLayer::is_see_safe;
inline bool compute_attacks_bishop_vs_knight_ending(PlyRecord& rec) { return BishopVsKnightEndingLayer::compute_attacks(rec); }
inline bool evaluate_bishop_vs_knight_ending(PlyRecord& rec) { return BishopVsKnightEndingLayer::evaluate(rec); }
inline constexpr auto& generate_captures_knight_vs_bishop_ending = KnightVsBishopEndingLayer::generate_captures;
inline constexpr auto& generate_evasions_knight_vs_bishop_ending = KnightVsBishopEndingLayer::generate_evasions;
inline constexpr auto& generate_quiet_moves_knight_vs_bishop_ending = KnightVsBishopEndingLayer::generate_quiet_moves;
inline bool is_valid_killer_knight_vs_bishop_ending(SearchMove m) { return KnightVsBishopEndingLayer::is_valid_killer(m); }
inline constexpr auto& is_pseudo_legal_knight_vs_bishop_ending = KnightVsBishopEndingLayer::is_pseudo_legal;
inline bool compute_attacks_knight_vs_bishop_ending(PlyRecord& rec) { return KnightVsBishopEndingLayer::compute_attacks(rec); }
inline bool evaluate_knight_vs_bishop_ending(PlyRecord& rec) { return KnightVsBishopEndingLayer::evaluate(rec); }
inline constexpr auto& generate_captures_knight_ending = KnightEndingLayer::generate_captures;
inline constexpr auto& generate_evasions_knight_ending = KnightEndingLayer::generate_evasions;
inline constexpr auto& generate_quiet_moves_knight_ending = KnightEndingLayer::generate_quiet_moves;
inline bool is_valid_killer_knight_ending(SearchMove m) { return KnightEndingLayer::is_valid_killer(m); }
inline constexpr auto& is_pseudo_legal_knight_ending = KnightEndingLayer::is_pseudo_legal;
inline constexpr auto& is_see_safe_knight_ending = KnightEndingLayer::is_see_safe;
inline bool compute_attacks_knight_ending(PlyRecord& rec) { return KnightEndingLayer::compute_attacks(rec); }
inline bool evaluate_knight_ending(PlyRecord& rec) { return KnightEndingLayer::evaluate(rec); }
inline constexpr auto& generate_captures_rook_ending = RookEndingLayer::generate_captures;
inline constexpr auto& generate_evasions_rook_ending = RookEndingLayer::generate_evasions;
inline constexpr auto& generate_quiet_moves_rook_ending = RookEndingLayer::generate_quiet_moves;
inline bool is_valid_killer_rook_ending(SearchMove m) { return RookEndingLayer::is_valid_killer(m); }
inline constexpr auto& is_pseudo_legal_rook_ending = RookEndingLayer::is_pseudo_legal;
inline constexpr auto& is_see_safe_rook_ending = RookEndingLayer::is_see_safe;
inline bool compute_attacks_rook_ending(PlyRecord& rec) { return RookEndingLayer::compute_attacks(rec); }
inline bool evaluate_rook_ending(PlyRecord& rec) { return RookEndingLayer::evaluate(rec); }
inline constexpr auto& generate_captures_rook_bishop_ending = RookBishopEndingLayer::generate_captures;
inline constexpr auto& generate_evasions_rook_bishop_ending = RookBishopEndingLayer::generate_evasions;
inline constexpr auto& generate_quiet_moves_rook_bishop_ending = RookBishopEndingLayer::generate_quiet_moves;
inline bool is_valid_killer_rook_bishop_ending(SearchMove m) { return RookBishopEndingLayer::is_valid_killer(m); }
inline constexpr auto& is_pseudo_legal_rook_bishop_ending = RookBishopEndingLayer::is_pseudo_legal;
inline constexpr auto& is_see_safe_rook_bishop_ending = RookBishopEndingLayer::is_see_safe;
inline bool compute_attacks_rook_bishop_ending(PlyRecord& rec) { return RookBishopEndingLayer::compute_attacks(rec); }
inline bool evaluate_rook_bishop_ending(PlyRecord& rec) { return RookBishopEndingLayer::evaluate(rec); }
inline constexpr auto& generate_captures_rook_knight_ending = RookKnightEndingLayer::generate_captures;
inline constexpr auto& generate_evasions_rook_knight_ending = RookKnightEndingLayer::generate_evasions;
inline constexpr auto& generate_quiet_moves_rook_knight_ending = RookKnightEndingLayer::generate_quiet_moves;
inline bool is_valid_killer_rook_knight_ending(SearchMove m) { return RookKnightEndingLayer::is_valid_killer(m); }
inline constexpr auto& is_pseudo_legal_rook_knight_ending = RookKnightEndingLayer::is_pseudo_legal;
inline constexpr auto& is_see_safe_rook_knight_ending = RookKnightEndingLayer::is_see_safe;
inline bool compute_attacks_rook_knight_ending(PlyRecord& rec) { return RookKnightEndingLayer::compute_attacks(rec); }
inline bool evaluate_rook_knight_ending(PlyRecord& rec) { return RookKnightEndingLayer::evaluate(rec); }
inline constexpr auto& generate_quiet_moves_queen_ending = QueenEndingLayer::generate_quiet_moves;
inline bool evaluate_queen_ending(PlyRecord& rec) { return QueenEndingLayer::evaluate(rec); }

}  // namespace orvex
