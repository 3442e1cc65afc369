// Tablebase index speed: the time from a position to its class, table side
// and number (material lookup, piece lists, index function), over a mix of
// legal positions of three to six men in both colours, some with a capture
// en passant.  Also the index functions alone on ready piece lists.
#include <algorithm>
#include <chrono>
#include <cstring>
#include <cstdio>
#include <random>
#include <vector>

#include "position/position.h"
#include "tablebases/material.h"
#include "tools/tb_positions.h"

using namespace orvex;

namespace {

constexpr int kPositions = 4096;
constexpr int kRounds = 200;

// A board of a sample, with White or Black as the class's first side.
void set_up(Position& p, const tb_positions::TbSample& s, bool black_first) {
  p = Position{};
  const u32 x = black_first ? 56 : 0;
  const TbPieceList* lists[2] = {&s.first, &s.second};
  for (int side = 0; side < 2; ++side) {
    const Colour c = static_cast<Colour>(side) ^ (black_first ? 1 : 0);
    p.board[lists[side]->sq[kTbKingSlot] ^ x] = make_piece(kKing, c);
  }
  p.side_to_move = static_cast<Colour>(s.side) ^ (black_first ? 1 : 0);
  p.state.ep_square = s.ep == kTbNoEnPassant ? 0 : s.ep ^ x;
}

}  // namespace

int main() {
  clear_material_classes();
  for (int c = 1; c < kTbClassCount; ++c) insert_material_class(tb_class_descriptors[c]);

  // Classes spread over three to six men; the men of each sample go on the
  // board from the class name's counts.
  std::mt19937_64 rng(1);
  static Position boards[kPositions];
  std::vector<tb_positions::TbSample> samples(kPositions);
  std::vector<int> classes(kPositions);
  std::vector<int> flips(kPositions);
  for (int i = 0; i < kPositions; ++i) {
    const int id = 1 + static_cast<int>(rng() % (kTbClassCount - 1));
    const char* name = tb_class_descriptors[id].name;
    const char* second = std::strchr(name + 1, 'k');
    const bool both_pawns = std::find(name, second, 'p') != second && std::strchr(second, 'p');
    const int side = static_cast<int>(rng() & 1);
    samples[i] = tb_positions::random_position(id, side, both_pawns && rng() % 4 == 0, rng);
    classes[i] = id;
    const bool black_first = rng() & 1;
    flips[i] = black_first;
    Position& p = boards[i];
    set_up(p, samples[i], black_first);
    const u32 x = black_first ? 56 : 0;
    for (int s = 0; s < 2; ++s) {
      const TbPieceList& l = s == 0 ? samples[i].first : samples[i].second;
      const Colour c = static_cast<Colour>(s) ^ (black_first ? 1 : 0);
      const char* from = s == 0 ? name + 1 : second + 1;
      const char* to = s == 0 ? second : second + std::strlen(second);
      for (PieceType t = kPawn; t <= kQueen; ++t) {
        const u32 men = static_cast<u32>(std::count(from, to, "pnbrq"[t]));
        for (u32 j = 0; j < men; ++j) p.board[l.sq[tb_first_slot(t) + j] ^ x] = make_piece(t, c);
      }
    }
    rebuild_position(p);
  }

  // Check once that the board path gives the sample's number (kpkp, not
  // symmetric, is always looked up with Black as its first side).
  for (int i = 0; i < kPositions; ++i) {
    TbProbeTarget t;
    if (!tb_locate(boards[i], &t) || t.class_id != classes[i] ||
        (t.flip == flips[i] && tb_index(t) != tb_positions::number_of(classes[i], samples[i]))) {
      std::printf("position %d (%s): the board gives another number\n", i, tb_class_descriptors[classes[i]].name);
      return 1;
    }
  }

  u64 sum = 0;
  auto t0 = std::chrono::steady_clock::now();
  for (int r = 0; r < kRounds; ++r) {
    for (int i = 0; i < kPositions; ++i) {
      TbProbeTarget t;
      if (tb_locate(boards[i], &t)) sum += tb_index(t) + t.side;
    }
  }
  auto t1 = std::chrono::steady_clock::now();
  for (int r = 0; r < kRounds; ++r) {
    for (int i = 0; i < kPositions; ++i) sum += tb_positions::number_of(classes[i], samples[i]);
  }
  auto t2 = std::chrono::steady_clock::now();
  const double n = double(kPositions) * kRounds;
  const double full = std::chrono::duration<double, std::nano>(t1 - t0).count() / n;
  const double index = std::chrono::duration<double, std::nano>(t2 - t1).count() / n;
  std::printf("positions %d (classes 1-440, both colours, en passant in a quarter of the classes with pawns on both sides)\n",
              kPositions);
  std::printf("position to class and number: %.1f ns\n", full);
  std::printf("index function alone:         %.1f ns\n", index);
  std::printf("checksum %llu\n", static_cast<unsigned long long>(sum));
  return 0;
}
