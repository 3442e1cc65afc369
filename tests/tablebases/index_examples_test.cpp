// The worked numbers of the tablebase numbering: enumeration tables, ranges
// and the numbers of given positions, each exact.
#include <gtest/gtest.h>

#include "tablebases/index_standard.h"
#include "tests/tablebases/index_test_util.h"

namespace orvex::testing {
namespace {

TEST(TbTables, KingPairsAndOpenSquares) {
  EXPECT_EQ(pawn_king_pair[sq("a1")][sq("c1")], 0);
  EXPECT_EQ(pawn_king_pair[sq("a1")][sq("d1")], 1);
  EXPECT_EQ(pawn_king_pair[sq("d8")][sq("h8")], 1805);
  EXPECT_EQ(pawn_king_pair[sq("d1")][sq("d8")], 229);
  EXPECT_EQ(pawnless_king_pair[sq("a1")][sq("c1")], 0);
  EXPECT_EQ(pawnless_king_pair[sq("d4")][sq("h8")], 461);
  EXPECT_EQ(pawnless_king_pair[sq("a1")][sq("f3")], 15);
  EXPECT_EQ(pawnless_king_pair[sq("a1")][sq("a3")], kNoKingPair);  // the other king above the diagonal
  int per_square[64] = {};
  for (Square k1 = 0; k1 < 64; ++k1) {
    for (Square k2 = 0; k2 < 64; ++k2) per_square[k1] += pawnless_king_pair[k1][k2] != kNoKingPair;
  }
  EXPECT_EQ(per_square[sq("a1")], 33);
  EXPECT_EQ(per_square[sq("b2")], 30);
  EXPECT_EQ(per_square[sq("c3")], 30);
  EXPECT_EQ(per_square[sq("d4")], 30);

  const struct {
    TbManKind kind;
    const char* king;
    u32 open;
  } counts[] = {{kTbPawn, "e5", 45}, {kTbFreePawn, "e5", 47}, {kTbKnight, "e5", 55}, {kTbRook, "e5", 59},
                {kTbQueen, "e5", 55}, {kTbKnight, "a1", 61}, {kTbBishop, "a1", 62}, {kTbQueen, "a1", 60}};
  for (const auto& c : counts) EXPECT_EQ(square_count[c.kind][sq(c.king)], c.open) << c.kind << " " << c.king;
}

TEST(TbTables, OffsetTotals) {
  EXPECT_EQ(pawn_total1[kTbPawn], 81664u);
  EXPECT_EQ(pawn_total1[kTbFreePawn], 84012u);
  EXPECT_EQ(pawn_offsets1[kTbPawn][229], 10484u);
  EXPECT_EQ(pawn_total1[kTbKnight], 102748u);
  EXPECT_EQ(pawn_total1[kTbBishop], 106500u);
  EXPECT_EQ(pawn_total1[kTbRook], 105684u);
  EXPECT_EQ(pawn_total1[kTbQueen], 100212u);
  EXPECT_EQ(pawnless_total1[kTbKnight], 26282u);
  EXPECT_EQ(pawnless_total1[kTbBishop], 27243u);
  EXPECT_EQ(pawnless_total1[kTbRook], 27036u);
  EXPECT_EQ(pawnless_total1[kTbQueen], 25635u);
  EXPECT_EQ(pawn_total2[tb_pair_combo(kTbPawn, kTbPawn)], 1806671u);
  EXPECT_EQ(pawn_total2[tb_pair_combo(kTbFreePawn, kTbFreePawn)], 1912372u);
  EXPECT_EQ(pawn_total2[tb_pair_combo(kTbKnight, kTbPawn)], 4648581u);
  const struct {
    TbManKind t1, t2;
    u32 total;
  } pairs[] = {{kTbKnight, kTbKnight, 735304}, {kTbBishop, kTbBishop, 789885}, {kTbRook, kTbRook, 777639},
               {kTbQueen, kTbQueen, 699072},   {kTbBishop, kTbKnight, 1550621}, {kTbRook, kTbKnight, 1538479},
               {kTbRook, kTbBishop, 1594560},  {kTbQueen, kTbKnight, 1459616},  {kTbQueen, kTbBishop, 1512507},
               {kTbQueen, kTbRook, 1500642}};
  for (const auto& p : pairs) EXPECT_EQ(pawnless_total2[tb_pair_combo(p.t1, p.t2)], p.total) << p.t1 << p.t2;
}

// The number of positions of each side without en passant, from the shapes
// of the classes of three to six men.
TEST(TbIndex, RangesOfTheShapes) {
  using tb_detail::standard_range;
  using tb_detail::tb_material;
  constexpr auto P = tb_material(1, 0, 0, 0, 0), PP = tb_material(2, 0, 0, 0, 0), N = tb_material(0, 1, 0, 0, 0),
                 B = tb_material(0, 0, 1, 0, 0), R = tb_material(0, 0, 0, 1, 0), Q = tb_material(0, 0, 0, 0, 1),
                 NN = tb_material(0, 2, 0, 0, 0), BN = tb_material(0, 1, 1, 0, 0), NP = tb_material(1, 1, 0, 0, 0),
                 BB = tb_material(0, 0, 2, 0, 0), PPP = tb_material(3, 0, 0, 0, 0), NPP = tb_material(2, 1, 0, 0, 0),
                 NNP = tb_material(1, 2, 0, 0, 0), NNN = tb_material(0, 3, 0, 0, 0), BNP = tb_material(1, 1, 1, 0, 0),
                 BNN = tb_material(0, 2, 1, 0, 0), BBN = tb_material(0, 1, 2, 0, 0), RBN = tb_material(0, 1, 1, 1, 0),
                 QR = tb_material(0, 0, 0, 1, 1), K = tb_material(0, 0, 0, 0, 0);
  const struct {
    const char* name;
    u64 first, second;
  } ranges[] = {
      {"kpk", standard_range<P, K, 0>(), standard_range<P, K, 1>()},
      {"knk", standard_range<N, K, 0>(), standard_range<N, K, 1>()},
      {"krk", standard_range<R, K, 0>(), standard_range<R, K, 1>()},
      {"kqk", standard_range<Q, K, 0>(), standard_range<Q, K, 1>()},
      {"kpkp", standard_range<P, P, 0>() + 25284, standard_range<P, P, 1>() + 25284},
      {"knkp", standard_range<N, P, 0>(), standard_range<N, P, 1>()},
      {"kbkn", standard_range<B, N, 0>(), standard_range<B, N, 1>()},
      {"krkp", standard_range<R, P, 0>(), standard_range<R, P, 1>()},
      {"kqkp", standard_range<Q, P, 0>(), standard_range<Q, P, 1>()},
      {"kppk", standard_range<PP, K, 0>(), standard_range<PP, K, 1>()},
      {"knpk", standard_range<NP, K, 0>(), standard_range<NP, K, 1>()},
      {"kbnk", standard_range<BN, K, 0>(), standard_range<BN, K, 1>()},
      {"kbbk", standard_range<BB, K, 0>(), standard_range<BB, K, 1>()},
      {"kqrk", standard_range<QR, K, 0>(), standard_range<QR, K, 1>()},
      {"kppkp", standard_range<PP, P, 0>() + 1806 * 44 * 14, standard_range<PP, P, 1>() + 1806 * 44 * 14},
      {"kppkn", standard_range<PP, N, 0>(), standard_range<PP, N, 1>()},
      {"knpkp", standard_range<NP, P, 0>() + 102748 * 14, standard_range<NP, P, 1>() + 1806 * 58 * 14},
      {"knpkn", standard_range<NP, N, 0>(), standard_range<NP, N, 1>()},
      {"knnkp", standard_range<NN, P, 0>(), standard_range<NN, P, 1>()},
      {"knnkn", standard_range<NN, N, 0>(), standard_range<NN, N, 1>()},
      {"kbnkp", standard_range<BN, P, 0>(), standard_range<BN, P, 1>()},
      {"kbnkn", standard_range<BN, N, 0>(), standard_range<BN, N, 1>()},
      {"kpppk", standard_range<PPP, K, 0>(), standard_range<PPP, K, 1>()},
      {"knppk", standard_range<NPP, K, 0>(), standard_range<NPP, K, 1>()},
      {"knnpk", standard_range<NNP, K, 0>(), standard_range<NNP, K, 1>()},
      {"knnnk", standard_range<NNN, K, 0>(), standard_range<NNN, K, 1>()},
      {"kbnpk", standard_range<BNP, K, 0>(), standard_range<BNP, K, 1>()},
      {"kbnnk", standard_range<BNN, K, 0>(), standard_range<BNN, K, 1>()},
      {"kbbnk", standard_range<BBN, K, 0>(), standard_range<BBN, K, 1>()},
      {"krbnk", standard_range<RBN, K, 0>(), standard_range<RBN, K, 1>()},
      {"kbbknn", standard_range<BB, NN, 0>(), standard_range<BB, NN, 1>()},
      {"kbnknn", standard_range<BN, NN, 0>(), standard_range<BN, NN, 1>()},
      {"kbbkbn", standard_range<BB, BN, 0>(), standard_range<BB, BN, 1>()},
      {"kbnkbn", standard_range<BN, BN, 0>(), standard_range<BN, BN, 1>()},
  };
  const struct {
    const char* name;
    u64 first, second;
  } expected[] = {
      {"kpk", 81664, 84012},
      {"knk", 26282, 28644},
      {"krk", 27036, 28644},
      {"kqk", 25635, 28644},
      {"kpkp", 3863492, 3863492},
      {"knkp", 4931904, 4981504},
      {"kbkn", 1661823, 1603202},
      {"krkp", 5072832, 4981504},
      {"kqkp", 4810176, 4981504},
      {"kppk", 1806671, 1912372},
      {"knpk", 4648581, 5124732},
      {"kbnk", 1550621, 1747284},
      {"kbbk", 789885, 873642},
      {"kqrk", 1500642, 1747284},
      {"kppkp", 84219362, 89391280},
      {"kppkn", 108400260, 115899744},
      {"knpkp", 219921779, 231758952},
      {"knpkn", 278914860, 295914240},
      {"knnkp", 137991648, 149445120},
      {"knnkn", 44118240, 48096060},
      {"kbnkp", 290989632, 298890240},
      {"kbnkn", 93037260, 96192120},
      {"kpppk", 26061704, 28388716},
      {"knppk", 102898651, 114742320},
      {"knnpk", 130135501, 153741960},
      {"knnnk", 13486227, 17472840},
      {"kbnpk", 274352986, 307483920},
      {"kbnnk", 43406296, 52418520},
      {"kbbnk", 44983620, 52418520},
      {"krbnk", 90787360, 104837040},
      {"kbbknn", 1398096450, 1301488080},
      {"kbnknn", 2744599170, 2602976160},
      {"kbbkbn", 2796192900, 2744599170},
      {"kbnkbn", 5489198340, 5489198340},
  };
  static_assert(std::size(ranges) == std::size(expected));
  for (std::size_t i = 0; i < std::size(ranges); ++i) {
    EXPECT_EQ(ranges[i].first, expected[i].first) << ranges[i].name;
    EXPECT_EQ(ranges[i].second, expected[i].second) << ranges[i].name;
  }
}

// Given positions and their numbers.
TEST(TbIndex, WorkedNumbers) {
  const struct {
    const char* cls;
    int side;
    const char* first;
    const char* second;
    const char* ep;
    int flip;
    u64 number;
  } cases[] = {
      {"kpk", 0, "Ke1 Pe2", "Ke8", "-", 0, 10487},
      {"kpk", 0, "Ke8 Pe7", "Ke1", "-", 1, 10487},  // Black is the first side
      {"krk", 1, "Kc3 Rd5", "Ka8", "-", 0, 955},
      {"knk", 1, "Kc3 Nd5", "Ka8", "-", 0, 955},
      {"kpkp", 0, "Ke1 Pe5", "Ke8 Pd5", "d6", 0, 3841424},
      {"kppkp", 0, "Ke1 Pd5 Pf5", "Ke8 Pe5", "e6", 0, 83248303},
      {"kbbnk", 1, "Kc1 Bc4 Bf5 Ng2", "Ka8", "-", 0, 1980890},
      {"kbnnk", 1, "Kc1 Bc4 Nf5 Ng2", "Ka8", "-", 0, 1964905},
      {"knppk", 0, "Kb1 Nc3 Pa2 Pb2", "Kh8", "-", 0, 6803112},
      {"kbnkbn", 0, "Kd4 Ba6 Nh6", "Kh8 Bf1 Na1", "-", 0, 5484685135},
      {"kbnkbn", 0, "Kg1 Bf4 Nh3", "Ka8 Bc6 Ne7", "-", 0, 1066409825},
      {"kqqkqr", 1, "Kb1 Qd1 Qh5", "Kg8 Qa5 Rb8", "-", 0, 512090938},
  };
  for (const auto& c : cases) {
    EXPECT_EQ(tb_number(c.cls, c.side, c.first, c.second, c.ep, c.flip), c.number)
        << c.cls << " " << c.side << " " << c.first << " / " << c.second;
  }
}

}  // namespace
}  // namespace orvex::testing
