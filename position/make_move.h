// Make and unmake of a pseudo-legal SearchMove on current_position, and the null
// move.  Every derived field is updated by table differences, so after a make
// the record equals what rebuild_position computes and after the matching
// unmake it is bit for bit the record before the make.  Templates over the board
// configuration (castling or not, how the promotion field is read).
#pragma once
#include "position/board_config.h"
#include "position/keys.h"
#include "position/position.h"
#include "position/tables.h"

namespace orvex {

// Squares beside the square a pawn of the moving colour reached by a double
// step, indexed [colour][file].
inline constexpr u64 ep_neighbours[2][8] = {
    {0x02ull << 24, 0x05ull << 24, 0x0Aull << 24, 0x14ull << 24, 0x28ull << 24, 0x50ull << 24, 0xA0ull << 24,
     0x40ull << 24},
    {0x02ull << 32, 0x05ull << 32, 0x0Aull << 32, 0x14ull << 32, 0x28ull << 32, 0x50ull << 32, 0xA0ull << 32,
     0x40ull << 32},
};

namespace make_detail {

inline void set_occupancy(Position& p, Square s) {
  p.occupied |= bit(s);
  p.occ_files |= files_bit[s];
  p.occ_diag_a8h1 |= diag_a8h1_bit[s];
  p.occ_diag_a1h8 |= diag_a1h8_bit[s];
}

inline void clear_occupancy(Position& p, Square s) {
  p.occupied &= clear_bit[s];
  p.occ_files &= files_clear[s];
  p.occ_diag_a8h1 &= diag_a8h1_clear[s];
  p.occ_diag_a1h8 &= diag_a1h8_clear[s];
}

inline void flip_occupancy(Position& p, Square a, Square b) {
  p.occupied ^= bit(a) | bit(b);
  p.occ_files ^= files_bit[a] | files_bit[b];
  p.occ_diag_a8h1 ^= diag_a8h1_bit[a] | diag_a8h1_bit[b];
  p.occ_diag_a1h8 ^= diag_a1h8_bit[a] | diag_a1h8_bit[b];
}

struct RookMove {
  Square from, to;
  PieceCode rook;
  i32 pst_mg;
};

// The rook's part of a castling move by the king's target square; rook 0 for
// any other square.
constexpr RookMove castling_rook(Square king_to) {
  switch (king_to) {
    case 6: return {7, 5, kWhiteRook, 208};
    case 2: return {0, 3, kWhiteRook, 312};
    case 62: return {63, 61, kBlackRook, -208};
    case 58: return {56, 59, kBlackRook, -312};
    default: return {0, 0, 0, 0};
  }
}

inline void move_rook_on_board(Position& p, const RookMove& r) {
  p.board[r.from] = 0;
  p.board[r.to] = r.rook;
  const u64 both = bit(r.from) | bit(r.to);
  p.colour_bb[colour_of(r.rook)] ^= both;
  p.piece_bb[r.rook - 2] ^= both;
  flip_occupancy(p, r.from, r.to);
}

}  // namespace make_detail

// The rook's part of castling: moves the rook for the king's target square g1,
// c1, g8 or c8 and resets the fifty-move counter (only that for other squares).
inline void make_castling_rook(Square king_to) {
  using namespace make_detail;
  Position& p = current_position;
  p.state.fifty = 0;
  const RookMove r = castling_rook(king_to);
  if (!r.rook) return;
  move_rook_on_board(p, r);
  p.state.key ^= piece_keys[r.rook - 2][r.from] ^ piece_keys[r.rook - 2][r.to];
  p.state.pst_mg += r.pst_mg;
}

// Puts the castling rook back; key and sums come back with the state block.
inline void unmake_castling_rook(Square king_to) {
  using namespace make_detail;
  Position& p = current_position;
  const RookMove r = castling_rook(king_to);
  if (!r.rook) return;
  move_rook_on_board(p, RookMove{r.to, r.from, r.rook, 0});
}

template <class B = GeneralBoard>
inline void make_move(SearchMove m, UndoRecord& u) {
  using namespace make_detail;
  Position& p = current_position;
  PositionState& st = p.state;
  const Square from = move_from(m), to = move_to(m);
  const PieceCode piece = p.board[from];
  const Colour c = p.side_to_move;

  u = st;
  p.key_history[st.history_count] = st.key;
  ++st.history_count;
  ++st.fifty;
  if constexpr (B::castling) {
    const CastlingRights rights = st.castling & castle_mask[from] & castle_mask[to];
    st.key ^= castle_keys[st.castling ^ rights];
    st.castling = rights;
  }
  if (st.ep_square) {
    st.key ^= ep_keys[st.ep_square & 7];
    st.ep_square = 0;
  }

  // Lift the mover.
  p.board[from] = 0;
  p.colour_bb[c] &= clear_bit[from];
  p.piece_bb[piece - 2] &= clear_bit[from];
  clear_occupancy(p, from);
  const PstPair& pst_from = piece_square_table[piece - 2][from];
  const PstPair& pst_to = piece_square_table[piece - 2][to];
  st.pst_mg += pst_to.mg - pst_from.mg;
  st.pst_eg += pst_to.eg - pst_from.eg;
  const u64 move_key = piece_keys[piece - 2][from] ^ piece_keys[piece - 2][to];
  st.key ^= move_key;

  const PieceCode victim = p.board[to];
  u.captured = victim;
  if (victim) {
    p.colour_bb[c ^ 1] &= clear_bit[to];
    p.piece_bb[victim - 2] &= clear_bit[to];
    const PstPair& pv = piece_square_table[victim - 2][to];
    st.pst_mg -= pv.mg;
    st.pst_eg -= pv.eg;
    st.key ^= piece_keys[victim - 2][to];
    if (is_pawn(victim)) st.pawn_key ^= piece_keys[victim - 2][to];
    st.fifty = 0;
    st.material_index -= material_index_weight[victim - 2];
    st.material_balance -= material_value[victim - 2];
  } else {
    set_occupancy(p, to);
    if constexpr (B::castling) {
      if (m & kMoveCastle) make_castling_rook(to);
    }
  }

  p.board[to] = piece;
  p.colour_bb[c] |= bit(to);
  p.piece_bb[piece - 2] |= bit(to);

  if (is_pawn(piece)) {
    st.fifty = 0;
    st.pawn_key ^= move_key;
    if (m & kMoveEnPassant) {
      const Square e = to ^ 8;
      const PieceCode taken = make_piece(kPawn, c ^ 1);
      p.board[e] = 0;
      p.colour_bb[c ^ 1] &= clear_bit[e];
      p.piece_bb[taken - 2] &= clear_bit[e];
      clear_occupancy(p, e);
      const PstPair& pe = piece_square_table[taken - 2][e];
      st.pst_mg -= pe.mg;
      st.pst_eg -= pe.eg;
      st.pawn_key ^= piece_keys[taken - 2][e];
      st.key ^= piece_keys[taken - 2][e];
      st.material_index -= material_index_weight[taken - 2];
      st.material_balance -= material_value[taken - 2];
    } else if (m & kMovePromoMask) {
      const PieceCode made = promoted_piece<B>(m, c);
      p.board[to] = made;
      p.piece_bb[piece - 2] &= clear_bit[to];
      p.piece_bb[made - 2] |= bit(to);
      const PstPair& pm = piece_square_table[made - 2][to];
      st.pst_mg += pm.mg - pst_to.mg;
      st.pst_eg += pm.eg - pst_to.eg;
      st.pawn_key ^= piece_keys[piece - 2][to];
      st.key ^= piece_keys[piece - 2][to] ^ piece_keys[made - 2][to];
      st.material_index += material_index_weight[made - 2] - material_index_weight[piece - 2];
      st.material_balance += material_value[made - 2] - material_value[piece - 2];
    } else if ((from ^ to) == 16 && (p.piece_bb[c ^ 1] & ep_neighbours[c][to & 7])) {
      st.ep_square = (from + to) / 2;
      st.key ^= ep_keys[st.ep_square & 7];
    }
  }

  p.side_to_move = c ^ 1;
  st.key ^= kSideKey;
}

template <class B = GeneralBoard>
inline void unmake_move(SearchMove m, const UndoRecord& u) {
  using namespace make_detail;
  Position& p = current_position;
  const Square from = move_from(m), to = move_to(m);
  const Colour c = p.side_to_move ^ 1;
  p.side_to_move = c;

  PieceCode piece = p.board[to];
  if (m & kMovePromoMask) {
    p.piece_bb[piece - 2] &= clear_bit[to];
    piece = make_piece(kPawn, c);
  }
  p.board[from] = piece;
  const PieceCode victim = u.captured;
  p.board[to] = victim;
  p.colour_bb[c] = (p.colour_bb[c] | bit(from)) & clear_bit[to];
  p.piece_bb[piece - 2] = (p.piece_bb[piece - 2] | bit(from)) & clear_bit[to];
  set_occupancy(p, from);
  if (victim) {
    p.colour_bb[c ^ 1] |= bit(to);
    p.piece_bb[victim - 2] |= bit(to);
  } else {
    clear_occupancy(p, to);
    if constexpr (B::castling) {
      if (m & kMoveCastle) unmake_castling_rook(to);
    }
    if (m & kMoveEnPassant) {
      const Square e = to ^ 8;
      const PieceCode taken = make_piece(kPawn, c ^ 1);
      p.board[e] = taken;
      p.colour_bb[c ^ 1] |= bit(e);
      p.piece_bb[taken - 2] |= bit(e);
      set_occupancy(p, e);
    }
  }
  // The whole block comes back; the live `captured` then holds this move's
  // victim, which means nothing outside an undo record.
  p.state = u;
}

// Passes the turn.  The caller undoes it: side_to_move ^= 1, history_count -= 1,
// and ep_square, fifty and key restored from u.
inline void make_null_move(NullMoveUndo& u) {
  Position& p = current_position;
  PositionState& st = p.state;
  u.ep_square = st.ep_square;
  u.fifty = st.fifty;
  u.key = st.key;
  p.key_history[st.history_count] = st.key;
  ++st.history_count;
  p.side_to_move ^= 1;
  st.key ^= kSideKey;
  if (st.ep_square) {
    st.key ^= ep_keys[st.ep_square & 7];
    st.ep_square = 0;
  }
}

// Undoes make_null_move.
inline void unmake_null_move(const NullMoveUndo& u) {
  Position& p = current_position;
  p.side_to_move ^= 1;
  --p.state.history_count;
  p.state.ep_square = u.ep_square;
  p.state.fifty = u.fifty;
  p.state.key = u.key;
}

}  // namespace orvex
