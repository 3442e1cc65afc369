#include "position/keys.h"

#include <bit>

namespace orvex {
namespace {

// Fixed pseudo-random sequence (splitmix64), identical in every process.
struct KeyStream {
  u64 state;
  constexpr u64 next() {
    u64 z = (state += 0x9e3779b97f4a7c15);
    z = (z ^ (z >> 30)) * 0xbf58476d1ce4e5b9;
    z = (z ^ (z >> 27)) * 0x94d049bb133111eb;
    return z ^ (z >> 31);
  }
};
constexpr u64 kKeyStreamSeed = 0x4f72766578204b65;

constexpr Table2<u64, 12, 64> build_piece_keys() {
  KeyStream stream{kKeyStreamSeed};
  Table2<u64, 12, 64> t{};
  for (auto& row : t)
    for (auto& k : row) k = stream.next();
  t[kWhitePawn - 2][0] = kPawnKeySeed;
  return t;
}
constexpr Table<u64, 16> build_castle_keys() {
  KeyStream stream{kKeyStreamSeed ^ 0xc0ffee};
  Table<u64, 16> t{};
  u64 single[4] = {stream.next(), stream.next(), stream.next(), stream.next()};
  for (u32 rights = 0; rights < 16; ++rights)
    for (u32 b = 0; b < 4; ++b)
      if (rights & (1u << b)) t[rights] ^= single[b];
  return t;
}
constexpr Table<u64, 8> build_ep_keys() {
  KeyStream stream{kKeyStreamSeed ^ 0xe9e9};
  Table<u64, 8> t{};
  for (auto& k : t) k = stream.next();
  return t;
}

constexpr i16 pst_white(PieceType type, u32 f, u32 r, bool endgame) {
  const bool long_diagonal = f == r || f + r == 7;
  if (!endgame) {
    switch (type) {
      case kPawn: {
        constexpr i32 P[8] = {-543, -181, 0, 181, 181, 0, -181, -543};
        return static_cast<i16>(((f == 3 || f == 4) && r == 4) ? 255 : P[f]);
      }
      case kKnight: {
        constexpr i32 N[8] = {-3492, -2440, -1388, -683, -325, -314, -1366, -2418};
        constexpr i32 F[8] = {0, 694, 1388, 1735, 1735, 1388, 694, 0};
        return static_cast<i16>((r == 7 && (f == 0 || f == 7)) ? -5618 : N[r] + F[f]);
      }
      case kBishop: {
        constexpr i32 B[8] = {-441, -147, 0, 147, 147, 0, -147, -441};
        return static_cast<i16>(B[f] + B[r] + (long_diagonal ? 378 : 0) - (r == 0 ? 251 : 0));
      }
      case kRook: {
        constexpr i32 R[8] = {-208, -104, 0, 104, 104, 0, -104, -208};
        return static_cast<i16>(R[f]);
      }
      case kQueen: {
        constexpr i32 Q[8] = {-294, -98, 0, 98, 98, 0, -98, -294};
        return static_cast<i16>(Q[f] + Q[r] - (r == 0 ? 201 : 0));
      }
      default: {
        constexpr i32 K[8] = {1407, 1876, 938, 0, 0, 938, 1876, 1407};
        return static_cast<i16>(K[f]);
      }
    }
  }
  switch (type) {
    case kPawn: {
      constexpr i32 P[8] = {291, 97, 0, -97, -97, 0, 97, 291};
      return static_cast<i16>(P[f]);
    }
    case kKnight: {
      constexpr i32 M[8] = {-224, -112, 0, 56, 56, 0, -112, -224};
      return static_cast<i16>(M[f] + M[r]);
    }
    case kBishop: {
      constexpr i32 E[8] = {-147, -49, 0, 49, 49, 0, -49, -147};
      return static_cast<i16>(E[f] + E[r]);
    }
    case kRook: return 0;
    case kQueen: {
      constexpr i32 G[8] = {-324, -108, 0, 108, 108, 0, -108, -324};
      return static_cast<i16>(G[f] + G[r]);
    }
    default: {
      constexpr i32 K[8] = {-1203, -401, 0, 401, 401, 0, -401, -1203};
      return static_cast<i16>(K[f] + K[r]);
    }
  }
}

constexpr Table2<PstPair, 12, 64> build_pst() {
  Table2<PstPair, 12, 64> t{};
  for (PieceType type = 0; type < 6; ++type)
    for (Square s = 0; s < 64; ++s) {
      const u32 f = s & 7, r = s >> 3;
      const PstPair white{pst_white(type, f, r, false), pst_white(type, f, r, true)};
      t[2 * type][s] = white;
      t[2 * type + 1][s ^ 56] = PstPair{static_cast<i16>(-white.mg), static_cast<i16>(-white.eg)};
    }
  return t;
}

// Number of pieces of a code (at most 15 of any one code can matter here).
inline u32 count(const Position& p, PieceCode code) {
  return static_cast<u32>(std::popcount(p.piece_bb[code - 2]));
}

}  // namespace

constinit const Table2<u64, 12, 64> piece_keys = build_piece_keys();
constinit const Table<u64, 16> castle_keys = build_castle_keys();
constinit const Table<u64, 8> ep_keys = build_ep_keys();
constinit const Table2<PstPair, 12, 64> piece_square_table = build_pst();

u64 compute_zobrist_key(const Position& p) {
  u64 key = 0;
  for (Square s = 0; s < 64; ++s) key ^= piece_key(p.board[s], s);
  key ^= castle_keys[p.state.castling & 15];
  if (p.state.ep_square != 0) key ^= ep_keys[p.state.ep_square & 7];
  if (p.side_to_move == kWhite) key ^= kSideKey;
  return key;
}

u64 compute_pawn_key(const Position& p) {
  u64 key = kPawnKeySeed;
  for (Square s = 0; s < 64; ++s)
    if (is_pawn(p.board[s])) key ^= piece_key(p.board[s], s);
  return key;
}

u32 compute_material_index(const Position& p) {
  u32 index = 0;
  for (PieceCode code = kWhitePawn; code <= kBlackQueen; ++code)
    index += count(p, code) * material_index_weight[code - 2];
  return index;
}

i32 compute_material_balance(const Position& p) {
  i32 balance = 0;
  for (PieceCode code = kWhitePawn; code <= kBlackQueen; ++code)
    balance += static_cast<i32>(count(p, code)) * material_value[code - 2];
  return balance;
}

}  // namespace orvex
