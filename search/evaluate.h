// Static evaluation and attack maps.
//
// Both are templates over an evaluation traits type, so that every search
// configuration (and the second edition) compiles the one routine with its
// own choices instead of carrying a copy:
//   kMaterialScale, kFinalScale   numerators over 128 of the material term and
//                                 of the blended result
//   kRoundToTen                   cut the stored score to a multiple of 10
//   kDrawTest, kDrawTestStrict    run the rook-pawn / wrong-bishop draw test;
//                                 strict: the favoured side must also have no
//                                 knight, rook or queen
//   kOppositeBishopHalving        halve both sums with opposite-coloured bishops
//   kCastlingRights               the shelter term may use the castled zones
//   kBuildThreats                 fill the record's threat sets
//   kEndgameOnly                  only the endgame sum (the ending evaluations)
//   kKnights, kBishops, kRooks    colour masks (bit 0 white, bit 1 black) of the
//                                 piece kinds visited; queens are always visited
//   kQueenTerms                   queen mobility and seventh-rank terms
//   kTrappedBishops               colour mask of the trapped-bishop patterns
//   kTraceSums                    store the final sums in the record's trace_mg
//                                 and trace_eg (tests)
//   materials()                   the material table
//   lazy_low(), lazy_high()       the lazy window
// A record type has attacks_us, attacks_them and static_eval; with threats
// also threats_them, threats_us and threats_ready.
#pragma once
#include <algorithm>

#include "position/position.h"
#include "position/tables.h"
#include "search/eval_tables.h"
#include "search/material.h"
#include "search/pawns.h"
#include "search/search_stack.h"

namespace orvex {

// The lazy window, in pawns of material_balance: the full evaluation runs only
// strictly between the two bounds.
extern i32 lazy_low;
extern i32 lazy_high;

struct GeneralEval {
  static constexpr i32 kMaterialScale = 140;
  static constexpr i32 kFinalScale = 116;
  static constexpr bool kRoundToTen = false;
  static constexpr bool kDrawTest = true;
  static constexpr bool kDrawTestStrict = true;
  static constexpr bool kOppositeBishopHalving = true;
  static constexpr bool kCastlingRights = true;
  static constexpr bool kBuildThreats = false;
  static constexpr bool kEndgameOnly = false;
  static constexpr u32 kKnights = 3, kBishops = 3, kRooks = 3;
  static constexpr bool kQueenTerms = true;
  static constexpr u32 kTrappedBishops = 3;
  static constexpr bool kTraceSums = false;
  static const MaterialEntry* materials() { return material_table; }
  static i32 lazy_low() { return orvex::lazy_low; }
  static i32 lazy_high() { return orvex::lazy_high; }
};
// The worker configuration evaluates exactly as the general one.
using WorkerEval = GeneralEval;
// No draw test and no opposite-bishop halving.
struct CastlingRightsEval : GeneralEval {
  static constexpr bool kDrawTest = false;
  static constexpr bool kOppositeBishopHalving = false;
};
// As castling_rights, and the castling rights are never read (none remain in
// the positions it searches), so the shelter term is the king zone's own.
struct MixedEval : CastlingRightsEval {
  static constexpr bool kCastlingRights = false;
};

namespace eval_detail {

inline u64 white_pawn_captures(u64 pawns) { return ((pawns & ~kFileH) << 9) | ((pawns & ~kFileA) << 7); }
inline u64 black_pawn_captures(u64 pawns) { return ((pawns & ~kFileA) >> 9) | ((pawns & ~kFileH) >> 7); }
inline u64 pawn_captures(Colour c, u64 pawns) {
  return c == kWhite ? white_pawn_captures(pawns) : black_pawn_captures(pawns);
}
inline Square lowest(u64 b) { return static_cast<Square>(__builtin_ctzll(b)); }
inline Square highest(u64 b) { return static_cast<Square>(63 - __builtin_clzll(b)); }
// The king's square; h8 for a side without a king, which no searched position
// has, so that a malformed record never reads outside the tables.
inline Square king_square(u64 kings) { return lowest(kings | (u64{1} << 63)); }
// Squares adjacent to the kings of a set (one king in every real position).
inline u64 king_zone(u64 kings) {
  u64 z = 0;
  for (; kings; kings &= kings - 1) z |= king_attacks[lowest(kings)];
  return z;
}
inline u64 files_of(u64 b) {
  b |= b >> 32;
  b |= b >> 16;
  b |= b >> 8;
  return b & 0xFF;
}
inline int popcount(u64 b) { return __builtin_popcountll(b); }

template <class T>
constexpr bool visits(u32 mask, Colour c) {
  return (mask >> c) & 1;
}

// The rook-pawn and wrong-bishop draw test for the favoured side.
template <class T>
inline bool draw_pattern(const Position& p, bool white_favoured) {
  const u64 wk = p.piece_bb[kWhiteKing - 2], bk = p.piece_bb[kBlackKing - 2];
  if (white_favoured) {
    const u64 pawns = p.piece_bb[kWhitePawn - 2], bishops = p.piece_bb[kWhiteBishop - 2];
    if constexpr (T::kDrawTestStrict) {
      if (p.piece_bb[kWhiteKnight - 2] | p.piece_bb[kWhiteRook - 2] | p.piece_bb[kWhiteQueen - 2]) return false;
    }
    const u64 a_corner = bit(48) | bit(49) | bit(56) | bit(57);
    const u64 h_corner = bit(54) | bit(55) | bit(62) | bit(63);
    if (!(pawns & ~kFileA) && (bk & a_corner) && !(bishops & kLightSquares)) return true;
    return !(pawns & ~kFileH) && (bk & h_corner) && !(bishops & kDarkSquares);
  }
  const u64 pawns = p.piece_bb[kBlackPawn - 2], bishops = p.piece_bb[kBlackBishop - 2];
  if constexpr (T::kDrawTestStrict) {
    if (p.piece_bb[kBlackKnight - 2] | p.piece_bb[kBlackRook - 2] | p.piece_bb[kBlackQueen - 2]) return false;
  }
  const u64 a_corner = bit(0) | bit(1) | bit(8) | bit(9);
  const u64 h_corner = bit(6) | bit(7) | bit(14) | bit(15);
  if (!(pawns & ~kFileA) && (wk & a_corner) && !(bishops & kDarkSquares)) return true;
  return !(pawns & ~kFileH) && (wk & h_corner) && !(bishops & kLightSquares);
}

// Attack set and lower-valued threats of one colour.
template <class T>
inline void side_attacks(const Position& p, Colour c, u64& attacks, u64& lower) {
  const Colour o = c ^ 1;
  const u64 their_rq = p.piece_bb[kWhiteRook - 2 + o] | p.piece_bb[kWhiteQueen - 2 + o];
  const u64 their_q = p.piece_bb[kWhiteQueen - 2 + o];
  u64 a = pawn_captures(c, p.piece_bb[kWhitePawn - 2 + c]);
  u64 l = 0;
  if constexpr (T::kBuildThreats)
    l = a & (p.piece_bb[kWhiteKnight - 2 + o] | p.piece_bb[kWhiteBishop - 2 + o] | their_rq);
  if (visits<T>(T::kKnights, c))
    for (u64 b = p.piece_bb[kWhiteKnight - 2 + c]; b; b &= b - 1) {
      const u64 k = knight_attacks[lowest(b)];
      a |= k;
      if constexpr (T::kBuildThreats) l |= k & their_rq;
    }
  if (visits<T>(T::kBishops, c))
    for (u64 b = p.piece_bb[kWhiteBishop - 2 + c]; b; b &= b - 1) {
      const u64 k = bishop_attacks(lowest(b), p);
      a |= k;
      if constexpr (T::kBuildThreats) l |= k & their_rq;
    }
  if (visits<T>(T::kRooks, c))
    for (u64 b = p.piece_bb[kWhiteRook - 2 + c]; b; b &= b - 1) {
      const u64 k = rook_attacks(lowest(b), p);
      a |= k;
      if constexpr (T::kBuildThreats) l |= k & their_q;
    }
  for (u64 b = p.piece_bb[kWhiteQueen - 2 + c]; b; b &= b - 1) a |= queen_attacks(lowest(b), p);
  a |= king_zone(p.piece_bb[kWhiteKing - 2 + c]);
  attacks = a;
  lower = l;
}

// Stores the attack sets (and threats) for the side to move; returns whether
// it is in check.
template <class T, class R>
inline bool store_attacks(R& rec, const Position& p, const u64 (&att)[2], const u64 (&low)[2]) {
  const Colour s = p.side_to_move & 1, o = s ^ 1;
  rec.attacks_us = att[s];
  rec.attacks_them = att[o];
  if constexpr (T::kBuildThreats) {
    rec.threats_them = (p.colour_bb[o] & att[s] & ~att[o]) | low[s];
    rec.threats_us = (p.colour_bb[s] & att[o] & ~att[s]) | low[o];
  }
  return (p.piece_bb[kWhiteKing - 2 + s] & att[o]) != 0;
}

}  // namespace eval_detail

// Squares attacked by each side into the record; whether the side to move is
// in check.
template <class T, class R>
bool compute_attacks_with(R& rec) {
  const Position& p = current_position;
  u64 att[2], low[2];
  eval_detail::side_attacks<T>(p, kWhite, att[0], low[0]);
  eval_detail::side_attacks<T>(p, kBlack, att[1], low[1]);
  if constexpr (T::kBuildThreats) rec.threats_ready = 1;
  return eval_detail::store_attacks<T>(rec, p, att, low);
}

// Static evaluation of current_position for the side to move into the record
// (score with tempo, attack sets); whether the side to move is in check.
template <class T, class R>
bool evaluate_with(R& rec) {
  using namespace eval_detail;
  const Position& p = current_position;
  const MaterialEntry entry = T::materials()[p.state.material_index & kMaterialIndexMask];
  const i32 balance = p.state.material_balance;
  const i32 material = mat_score(entry) + kMaterialPawnWeight * balance;
  const u32 draw_flags = mat_draw_flags(entry);
  const Colour stm = p.side_to_move & 1;

  if (balance <= T::lazy_low() || balance >= T::lazy_high() || mat_material_only(entry)) {
    const i32 v = material >> 5;
    rec.static_eval = stm == kWhite ? v + 10 : 10 - v;
    if constexpr (T::kDrawTest) {
      if ((draw_flags & kMatDrawPatterns) && draw_pattern<T>(p, material > 0)) rec.static_eval = 0;
    }
    if constexpr (T::kRoundToTen) rec.static_eval = rec.static_eval / 10 * 10;
    return compute_attacks_with<T>(rec);
  }

  prefetch_pawn_hash(p.state.pawn_key);
  const u32 attack_flags = mat_king_attack_flags(entry);
  const i32 base = (material * T::kMaterialScale) / 128;
  i32 mg = base + p.state.pst_mg;
  i32 eg = base + p.state.pst_eg;

  const u64 occ[2] = {p.colour_bb[0], p.colour_bb[1]};
  const u64 pawns[2] = {p.piece_bb[kWhitePawn - 2], p.piece_bb[kBlackPawn - 2]};
  const u64 kings[2] = {p.piece_bb[kWhiteKing - 2], p.piece_bb[kBlackKing - 2]};
  const Square king_sq[2] = {king_square(kings[0]), king_square(kings[1])};
  const u64 zones[2] = {king_zone(kings[0]), king_zone(kings[1])};
  u64 att[2], low[2] = {0, 0};
  i32 attackers[2] = {0, 0}, attack_sum[2] = {0, 0};

  // The colour loops are unrolled: each colour's pass then works with
  // constant masks, directions and signs.
#pragma GCC unroll 2
  for (Colour c = 0; c < 2; ++c) {
    const Colour o = c ^ 1;
    const i32 sign = c == kWhite ? 1 : -1;
    const u64 zone = zones[o];
    const u64 own = occ[c];
    const u64 their_rq = p.piece_bb[kWhiteRook - 2 + o] | p.piece_bb[kWhiteQueen - 2 + o];
    const u64 seventh = c == kWhite ? kRank7 : kRank2;
    const u64 eighth = c == kWhite ? kRank8 : kRank1;
    const bool seventh_target = (pawns[o] & seventh) || (kings[o] & eighth);
    i32 cmg = 0, ceg = 0, count = 0, sum = 0;
    u64 a = pawn_captures(c, pawns[c]);
    u64 l = 0;
    if constexpr (T::kBuildThreats)
      l = a & (p.piece_bb[kWhiteKnight - 2 + o] | p.piece_bb[kWhiteBishop - 2 + o] | their_rq);
    if (a & zone) count = 1;

    if (visits<T>(T::kKnights, c))
      for (u64 b = p.piece_bb[kWhiteKnight - 2 + c]; b; b &= b - 1) {
        const u64 k = knight_attacks[lowest(b)];
        a |= k;
        if constexpr (T::kBuildThreats) l |= k & their_rq;
        if (k & zone) ++count, sum += 941;
        const int m = popcount(k & ~own);
        cmg += 14 * m;
        ceg += 121 * m;
      }
    if (visits<T>(T::kBishops, c))
      for (u64 b = p.piece_bb[kWhiteBishop - 2 + c]; b; b &= b - 1) {
        const u64 k = bishop_attacks(lowest(b), p);
        a |= k;
        if constexpr (T::kBuildThreats) l |= k & their_rq;
        if (k & zone) ++count, sum += 418;
        const int m = popcount(k & ~own);
        cmg += 149 * m;
        ceg += 116 * m;
      }
    if (visits<T>(T::kRooks, c))
      for (u64 b = p.piece_bb[kWhiteRook - 2 + c]; b; b &= b - 1) {
        const Square s = lowest(b);
        const u64 k = rook_attacks(s, p);
        a |= k;
        if constexpr (T::kBuildThreats) l |= k & p.piece_bb[kWhiteQueen - 2 + o];
        if (k & zone) ++count, sum += 666;
        const int m = popcount(k & ~own);
        cmg += 84 * m;
        ceg += 79 * m;
        const u64 ahead = file_ahead[c][s];
        if (!(ahead & pawns[c])) {
          cmg += 64;
          ceg += 256;
          if (!(ahead & pawns[o])) cmg += 971, ceg += 172;
          if constexpr (!T::kEndgameOnly) {
            const u32 attacks_flag = c == kWhite ? kMatWhiteAttacks : kMatBlackAttacks;
            if ((attack_flags & attacks_flag) && (ahead & zone)) {
              cmg += 121;
              if (ahead & kings[o]) cmg += 853;
            }
          }
        }
        if ((bit(s) & seventh) && seventh_target) cmg += 246, ceg += 1026;
      }
    for (u64 b = p.piece_bb[kWhiteQueen - 2 + c]; b; b &= b - 1) {
      const Square s = lowest(b);
      const u64 k = queen_attacks(s, p);
      a |= k;
      if constexpr (T::kQueenTerms) {
        if (k & zone) ++count, sum += 532;
        const int m = popcount(k & ~own);
        cmg += 54 * m;
        ceg += 37 * m;
        if ((bit(s) & seventh) && seventh_target) ceg += 1420;
      }
    }
    a |= zones[c];
    att[c] = a;
    low[c] = l;
    attackers[c] = count;
    attack_sum[c] = sum;
    mg += sign * cmg;
    eg += sign * ceg;
  }

  const PawnHashEntry* pe = pawn_entry(p.state.pawn_key, pawns[0], pawns[1]);
  mg += pe->score_mg;
  eg += pe->score_eg;

  if constexpr (!T::kEndgameOnly) {
    // King attack and shelter of the attacked king.
#pragma GCC unroll 2
    for (Colour c = 0; c < 2; ++c) {
      const Colour o = c ^ 1;
      const u32 attacks_flag = c == kWhite ? kMatWhiteAttacks : kMatBlackAttacks;
      if (!(attack_flags & attacks_flag)) continue;
      i32 v = (king_attack_weight[std::min(attackers[c], 15)] * attack_sum[c]) >> 5;
      const u32 base_zone = 3 * o;
      const u32 cur = pe->shelter[base_zone + king_zone_of_file[king_sq[o] & 7]];
      u32 best = cur;
      if constexpr (T::kCastlingRights) {
        const u32 short_right = o == kWhite ? kCastleWhiteShort : kCastleBlackShort;
        const u32 long_right = o == kWhite ? kCastleWhiteLong : kCastleBlackLong;
        if (p.state.castling & short_right) best = std::min<u32>(best, pe->shelter[base_zone + 2]);
        if (p.state.castling & long_right) best = std::min<u32>(best, pe->shelter[base_zone + 0]);
      }
      v += static_cast<i32>((cur + best) / 2);
      mg += c == kWhite ? v : -v;
    }
  }

  // Passed pawns, with both attack sets complete.
#pragma GCC unroll 2
  for (Colour c = 0; c < 2; ++c) {
    const Colour o = c ^ 1;
    const i32 sign = c == kWhite ? 1 : -1;
    u64 their_pieces = p.piece_bb[kWhiteQueen - 2 + o];
    if (visits<T>(T::kKnights, o)) their_pieces |= p.piece_bb[kWhiteKnight - 2 + o];
    if (visits<T>(T::kBishops, o)) their_pieces |= p.piece_bb[kWhiteBishop - 2 + o];
    if (visits<T>(T::kRooks, o)) their_pieces |= p.piece_bb[kWhiteRook - 2 + o];
    // Only files that hold a pawn of the colour (a foreign entry cannot
    // send the lookup to an empty file).
    u32 files = (c == kWhite ? pe->passed_white : pe->passed_black) & static_cast<u32>(files_of(pawns[c]));
    i32 pmg = 0, peg = 0;
    for (; files; files &= files - 1) {
      const u64 on_file = pawns[c] & (kFileA << __builtin_ctz(files));
      const Square s = c == kWhite ? highest(on_file) : lowest(on_file);
      const u32 r = c == kWhite ? (s >> 3) : 7 - (s >> 3);
      const u64 ahead = file_ahead[c][s];
      pmg += passed_mg[r];
      peg += passed_eg[r];
      if (their_pieces) {
        if (!(ahead & occ[c])) peg += passed_free_own[r];
        if (!(ahead & occ[o])) peg += passed_free_their[r];
        if (!(ahead & att[o] & ~att[c])) peg += passed_safe[r];
      } else {
        if (!(ahead & occ[c]) && (kings[o] & unstoppable_zone[c][s][stm])) peg += 25600;
        if (kings[c] & key_squares[c][s]) peg += 25600;
      }
      const Square front = pawn_front[c][s];
      peg += square_distance[front][king_sq[o]] * passed_their_king[r] -
             square_distance[front][king_sq[c]] * passed_own_king[r];
    }
    mg += sign * pmg;
    eg += sign * peg;
  }

  // Fixed patterns.
  {
    const u64 wb = p.piece_bb[kWhiteBishop - 2], bb = p.piece_bb[kBlackBishop - 2];
    const u64 wp = pawns[0], bp = pawns[1];
    auto on = [](u64 set, Square s) { return (set >> s) & 1; };
    if constexpr ((T::kTrappedBishops & 1) != 0) {
      const bool trapped = (on(wb, 48) && on(bp, 41)) || (on(wb, 40) && on(bp, 33)) || (on(wb, 57) && on(bp, 50)) ||
                           (on(wb, 55) && on(bp, 46)) || (on(wb, 47) && on(bp, 38)) || (on(wb, 62) && on(bp, 53));
      if (trapped) mg -= 1802, eg -= 1802;
    }
    if constexpr ((T::kTrappedBishops & 2) != 0) {
      const bool trapped = (on(bb, 1) && on(wp, 10)) || (on(bb, 8) && on(wp, 17)) || (on(bb, 16) && on(wp, 25)) ||
                           (on(bb, 6) && on(wp, 13)) || (on(bb, 15) && on(wp, 22)) || (on(bb, 23) && on(wp, 30));
      if (trapped) mg += 1802, eg += 1802;
    }
    if constexpr (!T::kEndgameOnly) {
      const u64 all = p.occupied;
      if (on(wb, 2) && on(wp, 11) && on(all, 19)) mg -= 1920;
      if (on(wb, 5) && on(wp, 12) && on(all, 20)) mg -= 1920;
      if (on(bb, 58) && on(bp, 51) && on(all, 43)) mg += 1920;
      if (on(bb, 61) && on(bp, 52) && on(all, 44)) mg += 1920;
      const u64 wr = p.piece_bb[kWhiteRook - 2], br = p.piece_bb[kBlackRook - 2];
      if ((wr & (bit(0) | bit(1) | bit(8))) && (kings[0] & (bit(1) | bit(2)))) mg -= 1920;
      if ((wr & (bit(6) | bit(7) | bit(15))) && (kings[0] & (bit(5) | bit(6)))) mg -= 1920;
      if ((br & (bit(56) | bit(57) | bit(48))) && (kings[1] & (bit(57) | bit(58)))) mg += 1920;
      if ((br & (bit(62) | bit(63) | bit(55))) && (kings[1] & (bit(61) | bit(62)))) mg += 1920;
    }
  }

  if constexpr (T::kOppositeBishopHalving) {
    const u64 bishops = p.piece_bb[kWhiteBishop - 2] | p.piece_bb[kBlackBishop - 2];
    if ((draw_flags & kMatOppositeBishops) && (bishops & kLightSquares) && (bishops & kDarkSquares)) {
      mg /= 2;
      eg /= 2;
    }
  }

  if constexpr (T::kTraceSums) {
    rec.trace_mg = mg;
    rec.trace_eg = eg;
  }

  i32 v;
  if constexpr (T::kEndgameOnly) {
    v = eg >> 5;
  } else {
    const PhaseWeight w = phase_weights[mat_phase(entry)];
    v = static_cast<i32>((static_cast<i64>(w.mg) * mg + static_cast<i64>(w.eg) * eg) >> 13);
  }
  if (v > 0)
    v -= (std::min(v, 100) * pe->scale_up) >> 8;
  else
    v -= (std::max(v, -100) * pe->scale_down) >> 8;
  v = (v * T::kFinalScale) / 128;

  rec.static_eval = stm == kWhite ? v + 10 : 10 - v;
  if constexpr (T::kDrawTest) {
    if ((draw_flags & kMatDrawPatterns) && draw_pattern<T>(p, eg > 0)) rec.static_eval = 0;
  }
  if constexpr (T::kRoundToTen) rec.static_eval = rec.static_eval / 10 * 10;
  if constexpr (T::kBuildThreats) rec.threats_ready = 0;
  return store_attacks<T>(rec, p, att, low);
}

// The configurations' evaluations over the search's ply records.  Each writes
// static_eval, attacks_us and attacks_them and returns whether the side to move
// is in check; compute_attacks fills only the attack sets.
bool evaluate(PlyRecord& rec);                    // general and worker
bool evaluate_castling_rights(PlyRecord& rec);
bool evaluate_mixed(PlyRecord& rec);
bool compute_attacks(PlyRecord& rec);

}  // namespace orvex
