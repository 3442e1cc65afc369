#include "position/position.h"

#include "position/keys.h"
#include "position/tables.h"

namespace orvex {

Position current_position;

void rebuild_position(Position& p) {
  PositionState& st = p.state;
  st.pst_mg = 0;
  st.pst_eg = 0;
  p.colour_bb[0] = p.colour_bb[1] = 0;
  for (u64& bb : p.piece_bb) bb = 0;
  p.occupied = p.occ_files = p.occ_diag_a8h1 = p.occ_diag_a1h8 = 0;
  u64 key = 0;
  u64 pawn_key = kPawnKeySeed;
  for (Square s = 0; s < 64; ++s) {
    const PieceCode c = p.board[s];
    if (c - 2 >= 12u) continue;
    st.pst_mg += piece_square_table[c - 2][s].mg;
    st.pst_eg += piece_square_table[c - 2][s].eg;
    p.colour_bb[c & 1] |= bit(s);
    p.piece_bb[c - 2] |= bit(s);
    p.occupied |= bit(s);
    p.occ_files |= files_bit[s];
    p.occ_diag_a8h1 |= diag_a8h1_bit[s];
    p.occ_diag_a1h8 |= diag_a1h8_bit[s];
    key ^= piece_keys[c - 2][s];
    if (is_pawn(c)) pawn_key ^= piece_keys[c - 2][s];
  }
  key ^= castle_keys[st.castling & 15];
  if (st.ep_square != 0) key ^= ep_keys[st.ep_square & 7];
  if (p.side_to_move == kWhite) key ^= kSideKey;
  st.key = key;
  st.pawn_key = pawn_key;
  st.material_index = compute_material_index(p);
  st.material_balance = compute_material_balance(p);
}

void trim_key_history(Position& p) {
  constexpr u32 kCap = kRootHistoryLimit / 2;
  PositionState& st = p.state;
  if (st.history_count > kKeyHistorySize) st.history_count = kKeyHistorySize;
  u32 keep = st.fifty;
  if (keep > st.history_count) keep = st.history_count;
  if (keep > kCap) keep = kCap;
  const u32 first = st.history_count - keep;
  if (first != 0)
    for (u32 i = 0; i < keep; ++i) p.key_history[i] = p.key_history[first + i];
  st.history_count = keep;
  if (st.fifty > kCap) st.fifty = kCap;
}

}  // namespace orvex
