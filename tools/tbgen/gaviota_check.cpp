// orvex-tbcheck TABLE_DIR GAVIOTA_DIR: reads every legal position of the five
// three-man classes from the tables in TABLE_DIR through the engine's own
// registry, cache and index functions, and compares result and distance to
// mate with the Gaviota tables of GAVIOTA_DIR (an outside truth of another
// format: it counts plies, the engine's tables count moves).
#include <gtb-probe.h>

#include <cstdio>
#include <vector>

#include "tablebases/cache.h"
#include "tablebases/registry.h"
#include "tablebases/tb_types.h"
#include "tools/tbgen/solver.h"
#include "tools/tbgen/tables.h"

using namespace orvex;
using namespace orvex::tbgen;

namespace {

// A result as (kind, moves): kind 0 draw, 1 the side to move wins, 2 it
// loses; -1 no value.
struct Verdict {
  int kind;
  u32 moves;
  bool operator==(const Verdict&) const = default;
};

Verdict from_engine(i32 v) {
  if (v == kTbUnknown) return {-1, 0};
  if (v == 0) return {0, 0};
  if (v > 0) return {1, static_cast<u32>(32767 - v)};
  return {2, static_cast<u32>(v + 32766)};
}

Verdict from_gaviota(bool ok, unsigned info, unsigned plies, u32 stm) {
  if (!ok) return {-1, 0};
  if (info == tb_DRAW) return {0, 0};
  const bool white_mates = info == tb_WMATE;
  if (!white_mates && info != tb_BMATE) return {-1, 0};
  const bool stm_wins = white_mates == (stm == 0);
  return stm_wins ? Verdict{1, (plies + 1) / 2} : Verdict{2, plies / 2};
}

}  // namespace

int main(int argc, char** argv) {
  if (argc != 3) {
    std::fprintf(stderr, "usage: orvex-tbcheck TABLE_DIR GAVIOTA_DIR\n");
    return 2;
  }
  init_tablebases(argv[1]);
  static std::vector<u8> cache(8 << 20);
  init_tb_cache(cache.data(), static_cast<u32>(cache.size()));
  const char* paths[] = {argv[2], nullptr};
  tb_init(0, tb_CP4, paths);
  tbcache_init(32 << 20, 0);
  if (!(tb_availability() & 1)) {
    std::fprintf(stderr, "orvex-tbcheck: no Gaviota tables in %s\n", argv[2]);
    return 2;
  }
  static constexpr unsigned char kGaviotaPiece[] = {tb_QUEEN, tb_ROOK, tb_BISHOP, tb_KNIGHT, tb_PAWN};
  static constexpr PieceType kType[] = {kQueen, kRook, kBishop, kKnight, kPawn};
  u64 total_differences = 0;
  for (Man man : {Man::kQueen, Man::kRook, Man::kBishop, Man::kKnight, Man::kPawn}) {
    const int cls = class_id(man);
    const TbClassDescriptor& d = tb_class_descriptors[cls];
    u64 positions = 0, differences = 0, wins = 0, losses = 0;
    u32 longest = 0;
    for (u32 i = 0; i < kThreeMenStates; ++i) {
      const ThreeMen p = state_of(i);
      if (!is_legal(man, p)) continue;
      ++positions;
      TbPieceList first{}, second{};
      first.sq[kTbKingSlot] = p.strong_king;
      first.sq[tb_first_slot(kType[static_cast<int>(man)])] = p.man;
      second.sq[kTbKingSlot] = p.weak_king;
      const u64 index = d.index_fn[p.stm](&first, &second, kTbNoEnPassant, 0);
      const Verdict ours = from_engine(probe_table(cls, p.stm, index));
      const unsigned wsq[] = {p.strong_king, p.man, tb_NOSQUARE};
      const unsigned bsq[] = {p.weak_king, tb_NOSQUARE};
      const unsigned char wpc[] = {tb_KING, kGaviotaPiece[static_cast<int>(man)], tb_NOPIECE};
      const unsigned char bpc[] = {tb_KING, tb_NOPIECE};
      unsigned info = tb_UNKNOWN, plies = 0;
      const bool ok = tb_probe_hard(p.stm == 0 ? tb_WHITE_TO_MOVE : tb_BLACK_TO_MOVE, tb_NOSQUARE, tb_NOCASTLE, wsq,
                                    bsq, wpc, bpc, &info, &plies);
      const Verdict truth = from_gaviota(ok, info, plies, p.stm);
      wins += ours.kind == 1;
      losses += ours.kind == 2;
      if (ours.kind != 0 && ours.moves > longest) longest = ours.moves;
      if (!(ours == truth)) {
        if (++differences <= 5)
          std::printf("  %s stm %u kings %u %u man %u: engine %d/%u, gaviota %d/%u\n", class_name(man), p.stm,
                      p.strong_king, p.weak_king, p.man, ours.kind, ours.moves, truth.kind, truth.moves);
      }
    }
    std::printf("%s: %llu positions (%llu won, %llu lost for the side to move, longest mate %u moves), %llu differences\n",
                class_name(man), static_cast<unsigned long long>(positions), static_cast<unsigned long long>(wins),
                static_cast<unsigned long long>(losses), longest, static_cast<unsigned long long>(differences));
    total_differences += differences;
  }
  tbcache_done();
  tb_done();
  return total_differences == 0 ? 0 : 1;
}
