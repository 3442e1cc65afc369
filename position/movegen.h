// Pseudo-legal move generators of the side to move in current_position: captures
// (with MVV/LVA keys), quiet checks, check evasions and quiet moves (ordered by a
// history table).  None of them tests whether the mover's king is left in check.
// Each is a template over a board configuration (position/board_config.h); the
// general configuration is the default.
#pragma once
#include <bit>

#include "position/board_config.h"
#include "position/position.h"
#include "position/see.h"
#include "position/tables.h"

namespace orvex {

// Capacities of the arrays the generators write into.
constexpr u32 kMaxMoves = 256;
constexpr u32 kMaxCaptures = 128;

namespace movegen_detail {

constexpr u64 kRank1 = 0xFFull;
constexpr u64 kRank2 = kRank1 << 8;
constexpr u64 kRank3 = kRank1 << 16;
constexpr u64 kRank6 = kRank1 << 40;
constexpr u64 kRank7 = kRank1 << 48;
constexpr u64 kRank8 = kRank1 << 56;
constexpr u64 kFileA = 0x0101010101010101ull;
constexpr u64 kFileH = kFileA << 7;

inline Square pop_lowest(u64& b) {
  Square s = static_cast<Square>(std::countr_zero(b));
  b &= b - 1;
  return s;
}

// Directions and ranks seen from colour C.
template <Colour C>
struct Side {
  static constexpr int forward = C == kWhite ? 8 : -8;
  static constexpr int toward_a = C == kWhite ? 7 : -9;  // capture toward the a-file
  static constexpr int toward_h = C == kWhite ? 9 : -7;  // capture toward the h-file
  static constexpr u64 second_rank = C == kWhite ? kRank2 : kRank7;
  static constexpr u64 third_rank = C == kWhite ? kRank3 : kRank6;
  static constexpr u64 seventh_rank = C == kWhite ? kRank7 : kRank2;
  static constexpr u64 last_rank = C == kWhite ? kRank8 : kRank1;
  static constexpr Square king_home = C == kWhite ? 4 : 60;
  static constexpr CastlingRights short_right = C == kWhite ? kCastleWhiteShort : kCastleBlackShort;
  static constexpr CastlingRights long_right = C == kWhite ? kCastleWhiteLong : kCastleBlackLong;
  static u64 shift_forward(u64 b) { return C == kWhite ? b << 8 : b >> 8; }
  // Pawns that capture toward the a-file land on pawns shifted by toward_a.
  static u64 shift_toward_a(u64 b) { return C == kWhite ? (b & ~kFileA) << 7 : (b & ~kFileA) >> 9; }
  static u64 shift_toward_h(u64 b) { return C == kWhite ? (b & ~kFileH) << 9 : (b & ~kFileH) >> 7; }
};

inline u64 piece_bb(PieceType t, Colour c) { return current_position.piece_bb[2 * t + c]; }

// Capture key: 6 * victim type + 22 - mover type.
constexpr u32 capture_key(PieceCode victim, PieceType mover) { return 3 * (victim & ~1u) + 16 - mover; }

// Writes the promotions of one pawn move under configuration B's rule.
template <class B, Colour C, class Emit>
inline void emit_promotions(Square from, Square to, u32 queen_key, Emit&& emit) {
  emit(make_move_code(from, to, kMovePromoQueen), queen_key);
  if constexpr (B::promotions == PromotionRule::kQueenKnightIfCheck) {
    if (knight_attacks[to] & piece_bb(kKing, C ^ 1)) emit(make_move_code(from, to, kMovePromoKnight), 0);
  } else {
    emit(make_move_code(from, to, kMovePromoKnight), 0);
  }
  if constexpr (B::promotions == PromotionRule::kQueenKnightRook) emit(make_move_code(from, to, kMovePromoRook), 0);
}

template <class B, Colour C>
inline u32 captures_for(SearchMove* moves, u32* keys, u64 targets, u64 attacks_them) {
  using S = Side<C>;
  const Position& p = current_position;
  SearchMove* m = moves;
  u32* k = keys;
  auto emit = [&](SearchMove move, u32 key) {
    *m++ = move;
    *k++ = key;
  };
  auto piece_captures = [&](PieceType t, u64 to_mask, auto attacks_of) {
    for (u64 pieces = piece_bb(t, C); pieces;) {
      Square from = pop_lowest(pieces);
      for (u64 to_set = attacks_of(from) & to_mask; to_set;) {
        Square to = pop_lowest(to_set);
        emit(make_move_code(from, to), capture_key(p.board[to], t));
      }
    }
  };
  auto pieces = [&] {
    if constexpr (has_kind<B, C, kKnight>) piece_captures(kKnight, targets, [](Square s) { return knight_attacks[s]; });
    if constexpr (has_kind<B, C, kBishop>) piece_captures(kBishop, targets, [](Square s) { return bishop_attacks(s); });
    if constexpr (has_kind<B, C, kRook>) piece_captures(kRook, targets, [](Square s) { return rook_attacks(s); });
    piece_captures(kQueen, targets, [](Square s) { return queen_attacks(s); });
    const u64 king_targets = rule_king_avoids_attacks<B>() ? targets & ~attacks_them : targets;
    piece_captures(kKing, king_targets, [](Square s) { return king_attacks[s]; });
  };
  const u64 pawns = piece_bb(kPawn, C);
  auto promotions = [&] {
    for (u64 promo = pawns & S::seventh_rank; promo;) {
      Square from = pop_lowest(promo);
      Square ahead = from + S::forward;
      if (!p.board[ahead]) emit_promotions<B, C>(from, ahead, 15, emit);
      if (pawn_capture_toward_a[C][from] & targets) {
        Square to = from + S::toward_a;
        emit_promotions<B, C>(from, to, capture_key(p.board[to], kPawn), emit);
      }
      if (pawn_capture_toward_h[C][from] & targets) {
        Square to = from + S::toward_h;
        emit_promotions<B, C>(from, to, capture_key(p.board[to], kPawn), emit);
      }
    }
  };
  auto pawn_captures = [&] {
    const u64 others = pawns & ~S::seventh_rank;
    for (u64 to_set = S::shift_toward_a(others) & targets; to_set;) {
      Square to = pop_lowest(to_set);
      emit(make_move_code(to - S::toward_a, to), capture_key(p.board[to], kPawn));
    }
    for (u64 to_set = S::shift_toward_h(others) & targets; to_set;) {
      Square to = pop_lowest(to_set);
      emit(make_move_code(to - S::toward_h, to), capture_key(p.board[to], kPawn));
    }
    // En passant: the pawn capturing toward the a-file (on the h-file side of
    // the target) first.
    if (Square ep = p.state.ep_square) {
      if (file_of(ep) != 7 && p.board[ep - S::toward_a] == make_piece(kPawn, C))
        emit(make_move_code(ep - S::toward_a, ep, kMoveEnPassant), 22);
      if (file_of(ep) != 0 && p.board[ep - S::toward_h] == make_piece(kPawn, C))
        emit(make_move_code(ep - S::toward_h, ep, kMoveEnPassant), 22);
    }
  };
  if constexpr (rule_pawn_captures_first<B>()) {
    pawn_captures();
    pieces();
    promotions();
  } else {
    pieces();
    promotions();
    pawn_captures();
  }
  *m = 0;
  return static_cast<u32>(m - moves);
}

template <class B, Colour C>
inline void quiet_checks_for(SearchMove* moves, u64 free, u64 attacks_them, SearchMove candidate_a,
                             SearchMove candidate_b) {
  using S = Side<C>;
  const Position& p = current_position;
  SearchMove* m = moves;
  auto emit = [&](Square from, Square to) { *m++ = make_move_code(from, to); };
  auto emit_all = [&](Square from, u64 to_set) {
    while (to_set) emit(from, pop_lowest(to_set));
  };
  // Direct checks, and a slider's capture of a blocking pawn, pass the exchange
  // test first where the configuration asks for it.
  auto emit_checked = [&](Square from, Square to) {
    if constexpr (rule_see_filtered_quiet_checks<B>()) {
      if (!is_see_safe<B>(make_move_code(from, to))) return;
    }
    emit(from, to);
  };
  auto emit_all_checked = [&](Square from, u64 to_set) {
    while (to_set) emit_checked(from, pop_lowest(to_set));
  };
  // Moves the caller wants tried as uncovering moves of the blocker on b.
  auto candidates = [&](Square b) {
    if (candidate_a && move_from(candidate_a) == b) *m++ = candidate_a;
    if (candidate_b && move_from(candidate_b) == b) *m++ = candidate_b;
  };
  const u64 king_blocker_mask = rule_king_avoids_attacks<B>() ? ~attacks_them : ~u64{0};
  const u64 own = p.colour_bb[C];
  const u64 enemy_free = p.colour_bb[C ^ 1] & free;  // enemy pieces that may be taken here
  const u64 dest = free & ~own;
  const Square k = static_cast<Square>(std::countr_zero(piece_bb(kKing, C ^ 1)));
  const u64 kd1 = diag_a8h1_attacks(k, p.occ_diag_a8h1) & free;
  const u64 kd2 = diag_a1h8_attacks(k, p.occ_diag_a1h8) & free;
  const u64 kr = rank_attacks(k, p.occupied) & free;
  const u64 kf = file_attacks(k, p.occ_files) & free;

  // A pawn standing on a slider's line to the enemy king: its pushes (along a
  // file only when the line is not a file) and its captures of pieces that may
  // be taken here.
  auto blocking_pawn = [&](Square b, bool pushes) {
    if (pushes) {
      Square ahead = b + S::forward;
      if (!(bit(ahead) & S::last_rank) && !p.board[ahead]) {
        emit(b, ahead);
        if ((bit(b) & S::second_rank) && !p.board[ahead + S::forward]) emit(b, ahead + S::forward);
      }
    }
    if (pawn_capture_toward_h[C][b] & enemy_free) emit(b, b + S::toward_h);
    if (pawn_capture_toward_a[C][b] & enemy_free) emit(b, b + S::toward_a);
  };

  // 1. Knights onto squares from which a knight attacks the king.
  for (u64 knights = piece_bb(kKnight, C); knights;) {
    Square s = pop_lowest(knights);
    emit_all_checked(s, knight_attacks[s] & knight_attacks[k] & dest);
  }
  // 2. Bishops and queens: uncover along a diagonal, or check directly.
  for (u64 sliders = piece_bb(kBishop, C) | piece_bb(kQueen, C); sliders;) {
    Square s = pop_lowest(sliders);
    const u64 sd1 = diag_a8h1_attacks(s, p.occ_diag_a8h1), sd2 = diag_a1h8_attacks(s, p.occ_diag_a1h8);
    const u64 blockers = (sd1 & kd1) | (sd2 & kd2);
    if (blockers) {
      Square b = static_cast<Square>(std::countr_zero(blockers));
      PieceCode code = p.board[b];
      candidates(b);
      if (code == make_piece(kPawn, C ^ 1)) emit_checked(s, b);
      else if (code == make_piece(kPawn, C)) blocking_pawn(b, true);
      else if (code == make_piece(kKnight, C)) emit_all(b, knight_attacks[b] & dest);
      else if (code == make_piece(kRook, C)) emit_all(b, rook_attacks(b) & dest);
      else if (code == make_piece(kKing, C)) emit_all(b, king_attacks[b] & dest & off_bishop_lines[k] & king_blocker_mask);
    } else {
      u64 to_set = (sd1 & kd2) | (sd2 & kd1);
      if (p.board[s] == make_piece(kQueen, C)) to_set |= (rook_attacks(s) & (kd1 | kd2)) | ((sd1 | sd2) & (kr | kf));
      emit_all_checked(s, to_set & dest);
    }
  }
  // 3. Rooks and queens along ranks and files.
  for (u64 sliders = piece_bb(kRook, C) | piece_bb(kQueen, C); sliders;) {
    Square s = pop_lowest(sliders);
    const u64 sr = rank_attacks(s, p.occupied), sf = file_attacks(s, p.occ_files);
    const u64 blockers = (sf & kf) | (sr & kr);
    if (blockers) {
      Square b = static_cast<Square>(std::countr_zero(blockers));
      PieceCode code = p.board[b];
      candidates(b);
      if (code == make_piece(kPawn, C ^ 1)) emit_checked(s, b);
      else if (code == make_piece(kPawn, C)) blocking_pawn(b, rank_of(b) == rank_of(s));
      else if (code == make_piece(kKnight, C)) emit_all(b, knight_attacks[b] & dest);
      else if (code == make_piece(kBishop, C)) emit_all(b, bishop_attacks(b) & dest);
      else if (code == make_piece(kKing, C)) emit_all(b, king_attacks[b] & dest & off_rook_lines[k] & king_blocker_mask);
    } else {
      emit_all_checked(s, ((sr & kf) | (sf & kr)) & dest);
    }
  }
  // 4. Pawn checks onto the two squares from which an own pawn attacks the king.
  const u64 pawn_squares = pawn_attacks[C ^ 1][k];
  const PieceCode own_pawn = make_piece(kPawn, C);
  auto on_board = [](int s) { return s >= 0 && s < 64; };
  const int h_side = int(k) - S::toward_a, a_side = int(k) - S::toward_h;
  const bool h_ok = file_of(k) != 7 && on_board(h_side) && (pawn_squares & bit(h_side));
  const bool a_ok = file_of(k) != 0 && on_board(a_side) && (pawn_squares & bit(a_side));
  auto push = [&](bool ok, int t) {
    int from = t - S::forward;
    if (ok && on_board(from) && !p.board[t] && p.board[from] == own_pawn) emit_checked(from, t);
  };
  auto capture = [&](bool ok, int t, int dir, const auto& table) {
    if (!ok || !(bit(t) & enemy_free)) return;
    int from = t - dir;
    if (on_board(from) && p.board[from] == own_pawn && (table[C][from] & bit(t))) emit(from, t);
  };
  auto double_push = [&](bool ok, int t) {
    if (!ok || p.board[t]) return;
    int mid = t - S::forward, from = mid - S::forward;
    if (!on_board(from) || !(bit(from) & S::second_rank)) return;
    if (!p.board[mid] && p.board[from] == own_pawn) emit_checked(from, t);
  };
  push(h_ok, h_side);
  push(a_ok, a_side);
  capture(h_ok, h_side, S::toward_a, pawn_capture_toward_a);
  capture(a_ok, a_side, S::toward_a, pawn_capture_toward_a);
  capture(h_ok, h_side, S::toward_h, pawn_capture_toward_h);
  capture(a_ok, a_side, S::toward_h, pawn_capture_toward_h);
  double_push(h_ok, h_side);
  double_push(a_ok, a_side);
  *m = 0;
}

template <class B, Colour C>
inline MovePair* evasions_for(MovePair* out, u64 king_free, u64 targets) {
  using S = Side<C>;
  const Colour O = C ^ 1;
  const Position& p = current_position;
  MovePair* e = out;
  auto emit = [&](Square from, Square to, u32 flags) { (e++)->move = make_move_code(from, to, flags); };
  auto emit_pawn = [&](Square from, Square to) {
    if (bit(to) & S::last_rank) {
      emit_promotions<B, C>(from, to, 0, [&](SearchMove mv, u32) { (e++)->move = mv; });
    } else {
      emit(from, to, 0);
    }
  };
  const u64 own = p.colour_bb[C];
  const Square k = static_cast<Square>(std::countr_zero(piece_bb(kKing, C)));

  u64 straight = 0, diagonal = 0;
  if constexpr (has_kind<B, O, kRook>) straight |= piece_bb(kRook, O);
  straight |= piece_bb(kQueen, O);
  if constexpr (has_kind<B, O, kBishop>) diagonal |= piece_bb(kBishop, O);
  diagonal |= piece_bb(kQueen, O);
  u64 checkers = (rook_attacks(k) & straight) | (bishop_attacks(k) & diagonal) | (pawn_attacks[C][k] & piece_bb(kPawn, O));
  if constexpr (has_kind<B, O, kKnight>) checkers |= knight_attacks[k] & piece_bb(kKnight, O);
  if (!checkers) {
    e->move = e->key = 0;
    return e - 1;
  }
  const Square c = static_cast<Square>(std::countr_zero(checkers));
  u64 king_to = king_attacks[k] & ~own & king_free & targets &
                (escape_override[p.board[c]] | evasion_lines[k][c].king_escape);
  u64 others = checkers & (checkers - 1);
  if constexpr (B::double_check) {
    if (others) {
      Square c2 = static_cast<Square>(std::countr_zero(others));
      king_to &= escape_override[p.board[c2]] | evasion_lines[k][c2].king_escape;
      while (king_to) emit(k, pop_lowest(king_to), 0);
      e->move = e->key = 0;
      return e - 1;
    }
  }
  while (king_to) emit(k, pop_lowest(king_to), 0);

  const u64 interpose = evasion_lines[k][c].interpose;
  const PieceCode own_pawn = make_piece(kPawn, C);
  // Pawn captures of the checker, the one toward the h-file first.
  if (file_of(c) != 0) {
    int from = int(c) - S::toward_h;
    if (from >= 0 && from < 64 && p.board[from] == own_pawn) emit_pawn(from, c);
  }
  if (file_of(c) != 7) {
    int from = int(c) - S::toward_a;
    if (from >= 0 && from < 64 && p.board[from] == own_pawn) emit_pawn(from, c);
  }
  // En passant of a checking pawn that has just made its double step.
  if (p.state.ep_square && p.state.ep_square == (c ^ 8)) {
    if (file_of(c) != 0 && p.board[c - 1] == own_pawn) emit(c - 1, p.state.ep_square, kMoveEnPassant);
    if (file_of(c) != 7 && p.board[c + 1] == own_pawn) emit(c + 1, p.state.ep_square, kMoveEnPassant);
  }
  const u64 block = interpose & ~bit(c) & targets;
  const u64 pawns = piece_bb(kPawn, C);
  for (u64 to_set = S::shift_forward(pawns) & block; to_set;) {
    Square to = pop_lowest(to_set);
    emit_pawn(to - S::forward, to);
  }
  const u64 empty = ~p.occupied;
  for (u64 to_set = S::shift_forward(S::shift_forward(pawns & S::second_rank) & empty) & block; to_set;) {
    Square to = pop_lowest(to_set);
    emit(to - 2 * S::forward, to, 0);
  }
  const u64 land = interpose & targets;
  auto piece_moves = [&](u64 pieces, auto attacks_of) {
    while (pieces) {
      Square from = pop_lowest(pieces);
      for (u64 to_set = attacks_of(from) & land; to_set;) emit(from, pop_lowest(to_set), 0);
    }
  };
  if constexpr (has_kind<B, C, kKnight>) piece_moves(piece_bb(kKnight, C), [](Square s) { return knight_attacks[s]; });
  u64 own_diagonal = piece_bb(kQueen, C), own_straight = piece_bb(kQueen, C);
  if constexpr (has_kind<B, C, kBishop>) own_diagonal |= piece_bb(kBishop, C);
  if constexpr (has_kind<B, C, kRook>) own_straight |= piece_bb(kRook, C);
  piece_moves(own_diagonal, [](Square s) { return bishop_attacks(s); });
  piece_moves(own_straight, [](Square s) { return rook_attacks(s); });
  e->move = e->key = 0;
  return e - 1;
}

template <class B, Colour C, class H>
inline void quiet_moves_for(SearchMove* moves, u64 attacked, const SearchMove (&skip)[5], const H& history) {
  using S = Side<C>;
  const Position& p = current_position;
  u32 keys[kMaxMoves];
  u32 n = 0;
  auto emit = [&](Square from, Square to, u32 flags, PieceCode code) {
    SearchMove mv = make_move_code(from, to, flags);
    if (mv == skip[0] || mv == skip[1] || mv == skip[2] || mv == skip[3] || mv == skip[4]) return;
    u32 key = history[(code - 2) * 64 + to];
    if constexpr (rule_halve_king_history<B>()) {
      if (code == make_piece(kKing, C) && !(flags & kMoveCastle)) key >>= 1;
    }
    // Stable insertion, highest key first.
    u32 j = n++;
    while (j > 0 && keys[j - 1] < key) {
      moves[j] = moves[j - 1];
      keys[j] = keys[j - 1];
      --j;
    }
    moves[j] = mv;
    keys[j] = key;
  };
  const u64 empty = ~p.occupied;
  const PieceCode king = make_piece(kKing, C);
  if constexpr (B::castling) {
    constexpr Square e1 = S::king_home;
    const CastlingRights rights = p.state.castling;
    if ((rights & S::short_right) && !(p.occupied & (bit(e1 + 1) | bit(e1 + 2))) &&
        !(attacked & (bit(e1 + 1) | bit(e1 + 2))))
      emit(e1, e1 + 2, kMoveCastle, king);
    if ((rights & S::long_right) && !(p.occupied & (bit(e1 - 1) | bit(e1 - 2) | bit(e1 - 3))) &&
        !(attacked & (bit(e1 - 1) | bit(e1 - 2))))
      emit(e1, e1 - 2, kMoveCastle, king);
  }
  const PieceCode pawn = make_piece(kPawn, C);
  for (u64 to_set = S::shift_forward(piece_bb(kPawn, C)) & empty & ~S::last_rank; to_set;) {
    Square to = pop_lowest(to_set);
    Square from = to - S::forward;
    if ((bit(to) & S::third_rank) && !p.board[to + S::forward]) emit(from, to + S::forward, 0, pawn);
    emit(from, to, 0, pawn);
  }
  auto piece_moves = [&](PieceType t, auto attacks_of) {
    const PieceCode code = make_piece(t, C);
    for (u64 pieces = piece_bb(t, C); pieces;) {
      Square from = pop_lowest(pieces);
      for (u64 to_set = attacks_of(from) & empty; to_set;) emit(from, pop_lowest(to_set), 0, code);
    }
  };
  if constexpr (has_kind<B, C, kKnight>) piece_moves(kKnight, [](Square s) { return knight_attacks[s]; });
  piece_moves(kQueen, [](Square s) { return queen_attacks(s); });
  if constexpr (has_kind<B, C, kBishop>) piece_moves(kBishop, [](Square s) { return bishop_attacks(s); });
  if constexpr (has_kind<B, C, kRook>) piece_moves(kRook, [](Square s) { return rook_attacks(s); });
  if constexpr (rule_king_avoids_attacks<B>()) {
    piece_moves(kKing, [attacked](Square s) { return king_attacks[s] & ~attacked; });
  } else {
    piece_moves(kKing, [](Square s) { return king_attacks[s]; });
  }
  moves[n] = 0;
}

}  // namespace movegen_detail

// Captures of enemy pieces in the target mask of the side to move, every
// promotion and every en-passant capture, with their capture keys; the moves end
// with 0, the keys are not terminated.  Returns the number of moves.
// `attacks_them` (the opponent's attack set) is read only by configurations
// whose king avoids attacked squares.
template <class B = GeneralBoard>
inline u32 generate_captures(SearchMove* moves, u32* keys, u64 targets_if_black, u64 targets_if_white,
                             u64 attacks_them = 0) {
  if (current_position.side_to_move == kWhite)
    return movegen_detail::captures_for<B, kWhite>(moves, keys, targets_if_white, attacks_them);
  return movegen_detail::captures_for<B, kBlack>(moves, keys, targets_if_black, attacks_them);
}

// Non-capturing checks (and captures of enemy pieces inside the free mask) of
// the side to move, ending with 0.  The free mask is the complement of the
// capture targets the same caller gave generate_captures.  A candidate move
// whose from-square is the single piece between an own slider and the enemy
// king is written before that piece's own moves (0 for none);
// `attacks_them` is read only by configurations whose king avoids attacks.
template <class B = GeneralBoard>
inline void generate_quiet_checks(SearchMove* moves, u64 free_if_black, u64 free_if_white, u64 attacks_them = 0,
                                  SearchMove candidate_a = 0, SearchMove candidate_b = 0) {
  if (current_position.side_to_move == kWhite)
    movegen_detail::quiet_checks_for<B, kWhite>(moves, free_if_white, attacks_them, candidate_a, candidate_b);
  else
    movegen_detail::quiet_checks_for<B, kBlack>(moves, free_if_black, attacks_them, candidate_a, candidate_b);
}

// Moves out of check for the side to move (which must be in check).  King moves
// land only on squares of king_free; king moves, pawn pushes and piece moves
// land only on squares of targets, while captures of the checker by pawns and en
// passant are written whatever it holds.  Writes only the move word of each
// pair, ends with the pair (0, 0) and returns the last pair written (one before
// out when none).
template <class B = GeneralBoard>
inline EvasionList* generate_evasions(EvasionList* out, u64 king_free, u64 targets = ~u64{0}) {
  if (current_position.side_to_move == kWhite) return movegen_detail::evasions_for<B, kWhite>(out, king_free, targets);
  return movegen_detail::evasions_for<B, kBlack>(out, king_free, targets);
}

// Castling and every other non-capturing, non-promoting move of the side to
// move, keyed by history[piece code - 2][to] and sorted by key, highest first,
// equal keys in generation order; the hash move and the four killers are left
// out.  `attacked` is the opponent's attack set (read for castling only).  Not
// for a side in check.  `history` is indexed (piece code - 2) * 64 + to.
template <class B = GeneralBoard, class H>
inline void generate_quiet_moves(SearchMove* moves, u64 attacked, SearchMove hash_move, SearchMove killer1,
                                 SearchMove killer2, SearchMove killer3, SearchMove killer4, const H& history) {
  const SearchMove skip[5] = {hash_move, killer1, killer2, killer3, killer4};
  if (current_position.side_to_move == kWhite)
    movegen_detail::quiet_moves_for<B, kWhite>(moves, attacked, skip, history);
  else
    movegen_detail::quiet_moves_for<B, kBlack>(moves, attacked, skip, history);
}

}  // namespace orvex
