// Properties every index function must have: numbers below the class's
// count; the same number for the board symmetries the numbering removes (file
// mirror and colour swap with pawns, the eight symmetries without, except the
// diagonal reflection when both kings stand on the a1-h8 diagonal); and the
// same number whatever the order of like men in the lists.  Exhaustive for
// three men, sampled for four to six.
#include <gtest/gtest.h>

#include <algorithm>
#include <cstring>
#include <random>

#include "tools/tb_positions.h"

namespace orvex::testing {
namespace {

using tb_positions::number_of;
using tb_positions::TbSample;
using tb_positions::transformed;

bool has_pawns(int id) {
  for (const char* c = tb_class_descriptors[id].name; *c; ++c) {
    if (*c == 'p') return true;
  }
  return false;
}

bool pawns_on_both_sides(int id) {
  const char* name = tb_class_descriptors[id].name;
  const char* second = std::strchr(name + 1, 'k');
  return std::find(name, second, 'p') != second && std::strchr(second, 'p') != nullptr;
}

// The quadrant mirror of the side to move's king, then: do both kings stand
// on the a1-h8 diagonal?
bool kings_on_diagonal(const TbSample& p) {
  const Square mine = p.side == 0 ? p.first.sq[kTbKingSlot] : p.second.sq[kTbKingSlot];
  const Square theirs = p.side == 0 ? p.second.sq[kTbKingSlot] : p.first.sq[kTbKingSlot];
  const u32 x = quadrant_xor[mine];
  return !off_diagonal[mine ^ x] && !off_diagonal[theirs ^ x];
}

// Every property for one position of class id; returns the failures found.
int check_position(int id, const TbSample& p) {
  const TbClassDescriptor& d = tb_class_descriptors[id];
  const u64 n = number_of(id, p);
  int failures = 0;
  auto expect = [&](bool ok, const char* what, u64 other) {
    if (!ok && ++failures <= 3) {
      ADD_FAILURE() << d.name << " side " << p.side << " " << what << ": " << n << " vs " << other << " kings "
                    << p.first.sq[kTbKingSlot] << " " << p.second.sq[kTbKingSlot] << " ep " << p.ep;
    }
  };
  expect(n < d.position_count[p.side], "below the count", d.position_count[p.side]);
  if (has_pawns(id)) {
    const u64 mirrored = number_of(id, transformed(p, [](Square s) { return s ^ 7; }));
    expect(mirrored == n, "file mirror", mirrored);
    const u64 swapped = number_of(id, transformed(p, [](Square s) { return s ^ 56; }), 1);
    expect(swapped == n, "colour swap", swapped);
  } else {
    for (u32 x : {7u, 56u, 63u}) {
      const u64 turned = number_of(id, transformed(p, [x](Square s) { return s ^ x; }));
      expect(turned == n, "quadrant mirror", turned);
    }
    if (!kings_on_diagonal(p)) {
      for (u32 x : {0u, 7u, 56u, 63u}) {
        const u64 turned = number_of(id, transformed(p, [x](Square s) { return diagonal_reflect[s] ^ x; }));
        expect(turned == n, "diagonal reflection", turned);
      }
    }
  }
  // Like men in the other order within their slots.
  TbSample like = p;
  const char* second_k = std::strchr(d.name + 1, 'k');
  for (int side = 0; side < 2; ++side) {
    TbPieceList& l = side == 0 ? like.first : like.second;
    const char* from = side == 0 ? d.name + 1 : second_k + 1;
    const char* to = side == 0 ? second_k : second_k + std::strlen(second_k);
    for (u32 t = kPawn; t <= kQueen; ++t) {
      const u32 men = static_cast<u32>(std::count(from, to, "pnbrq"[t]));
      std::reverse(l.sq + 3 * t, l.sq + 3 * t + men);
      std::fill(l.sq + 3 * t + men, l.sq + 3 * t + 3, 63u);  // unused slots hold anything
    }
  }
  const u64 reordered = number_of(id, like);
  expect(reordered == n, "like men reordered, unused slots filled", reordered);
  return failures;
}

// Every legal position of the three-man classes, both sides to move.
TEST(TbIndexProperties, AllThreeManPositions) {
  for (int id = 1; id <= 5; ++id) {
    const bool pawn = has_pawns(id);
    for (int side = 0; side < 2; ++side) {
      for (Square k1 = 0; k1 < 64; ++k1) {
        for (Square k2 = 0; k2 < 64; ++k2) {
          if (k1 == k2 || tb_count_search::adjacent(k1, k2)) continue;
          for (Square s = pawn ? 8 : 0; s < (pawn ? 56u : 64u); ++s) {
            if (s == k1 || s == k2) continue;
            TbSample p{};
            p.side = side;
            p.ep = kTbNoEnPassant;
            p.first.sq[kTbKingSlot] = k1;
            p.second.sq[kTbKingSlot] = k2;
            const PieceType t = id == 1 ? kPawn : static_cast<PieceType>(id - 1);
            p.first.sq[tb_first_slot(t)] = s;
            // The man of the side to move may not attack the other king.
            if (side == 0 && tb_count_search::attacks(t, kWhite, s, k2, bit(k1) | bit(k2) | bit(s))) continue;
            ASSERT_EQ(check_position(id, p), 0);
          }
        }
      }
    }
  }
}

// Random legal positions of every class of four to six men, both sides to
// move, with capture en passant where the class has pawns on both sides.
TEST(TbIndexProperties, SampledPositionsOfFourToSixMen) {
  std::mt19937_64 rng(20261210);
  for (int id = 6; id < kTbClassCount; ++id) {
    const int samples = id < 146 ? 400 : 100;
    for (int side = 0; side < 2; ++side) {
      for (int i = 0; i < samples; ++i) {
        const bool ep = pawns_on_both_sides(id) && i % 3 == 0;
        ASSERT_EQ(check_position(id, tb_positions::random_position(id, side, ep, rng)), 0);
      }
    }
  }
}

// Lists that break the contract (kings side by side or on one square, men
// on one square or on the first and eighth ranks, an en-passant square with
// no capture) give some number but read nothing outside the tables; the
// sanitizer build checks the reads.
TEST(TbIndexProperties, InputOutsideTheContractStaysInTheTables) {
  std::mt19937_64 rng(7);
  u64 sum = 0;
  for (int id = 1; id < kTbClassCount; ++id) {
    for (int side = 0; side < 2; ++side) {
      for (int i = 0; i < 40; ++i) {
        TbPieceList a, b;
        for (u32 j = 0; j < 16; ++j) {
          a.sq[j] = static_cast<Square>(rng() % 64);
          b.sq[j] = i % 4 == 0 ? a.sq[j] : static_cast<Square>(rng() % 64);
        }
        const u32 ep = i % 2 ? kTbNoEnPassant : static_cast<u32>((rng() & 1 ? 16 : 40) + rng() % 8);
        sum += tb_class_descriptors[id].index_fn[side](&a, &b, ep, static_cast<i32>(rng() & 1));
      }
    }
  }
  EXPECT_NE(sum, 0u);
}

}  // namespace
}  // namespace orvex::testing
