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
      // Two men against two with pawns; the last numbers of a table.
      {"knnkpp", 0, "Ka1 Nb1 Nd1", "Kc1 Pa2 Pb2", "-", 0, 0},
      {"knnkpp", 0, "Kh1 Ng1 Ne1", "Kf1 Ph2 Pg2", "-", 0, 0},
      {"knnkpp", 0, "Ka8 Nb8 Nd8", "Kc8 Pa7 Pb7", "-", 1, 0},
      {"krnkrp", 1, "Kh1 Rg1 Nh8", "Kd1 Rf1 Ph2", "-", 0, 16919868905},
      {"krnkrp", 1, "Kh1 Ra2 Nh8", "Kd1 Rf1 Ph2", "-", 0, 16919868906},
      {"kppkpp", 0, "Kd8 Pg5 Pg7", "Kh8 Ph5 Pf7", "h6", 0, 1917741812},
      // Three pieces against a lone piece.
      {"knnnkn", 0, "Ka1 Nb1 Nd1 Ne1", "Kc1 Nf1", "-", 0, 0},
      {"knnnkn", 0, "Kh8 Ng8 Ne8 Nd8", "Kf8 Nc8", "-", 0, 0},
      {"knnnkn", 0, "Ka1 Na2 Na4 Na5", "Ka3 Na6", "-", 0, 0},
      {"kbnnkn", 0, "Kd4 Be8 Nf8 Ng8", "Kh8 Nd8", "-", 0, 2560971345},
      {"krbnkn", 0, "Kd4 Rf8 Bg8 Ne8", "Kh8 Nd8", "-", 0, 5356454121},
      {"krbnkn", 1, "Kh8 Rf8 Be8 Nd8", "Kd4 Ng8", "-", 0, 5675335079},
      {"kbbnkn", 1, "Kh8 Bf8 Be8 Nd8", "Kd4 Ng8", "-", 0, 2837667537},
      {"kbbnkn", 1, "Kh8 Be8 Bd8 Nf8", "Kd4 Ng8", "-", 0, 2837667539},
      // Three men against a pawn.
      {"kpppkp", 0, "Ka1 Pa2 Pb2 Pc2", "Kc1 Pd2", "-", 0, 0},
      {"kpppkp", 0, "Kh1 Pf2 Pg2 Ph2", "Kf1 Pe2", "-", 0, 0},
      {"kpppkp", 0, "Ka8 Pa7 Pb7 Pc7", "Kc8 Pd7", "-", 1, 0},
      {"kpppkp", 0, "Kd8 Pf5 Pf7 Ph7", "Kh8 Pg5", "g6", 0, 1196695342},
      {"kpppkp", 0, "Kd8 Pg5 Pf7 Pg7", "Kh8 Ph5", "h6", 0, 1196695343},
      // Three men with pawns against a lone piece.
      {"kpppkn", 0, "Ka1 Pa2 Pb2 Pc2", "Kc1 Nb1", "-", 0, 0},
      {"kpppkn", 0, "Kh1 Pf2 Pg2 Ph2", "Kf1 Ng1", "-", 0, 0},
      {"kpppkn", 0, "Ka8 Pa7 Pb7 Pc7", "Kc8 Nb8", "-", 1, 0},
      {"kbnpkn", 0, "Kd8 Bg8 Nf8 Ph7", "Kh8 Ne8", "-", 0, 16186823400},
      {"kbnpkn", 1, "Kh8 Bf8 Ne8 Ph7", "Kd8 Ng8", "-", 0, 17458940159},
      {"kbnpkn", 1, "Kh1 Bf1 Ne1 Ph2", "Kd1 Ng1", "-", 1, 17458940159},
      {"kpppkr", 1, "Kh8 Pf7 Pg7 Ph7", "Kd8 Rc8", "-", 0, 1827875871},
  };
  for (const auto& c : cases) {
    EXPECT_EQ(tb_number(c.cls, c.side, c.first, c.second, c.ep, c.flip), c.number)
        << c.cls << " " << c.side << " " << c.first << " / " << c.second;
  }
}

// The worked steps of two six-man numbers, from the enumeration tables.
TEST(TbIndex, WorkedSteps) {
  const u32 kp_c3_e7 = static_cast<u32>(pawn_king_pair[sq("c3")][sq("e7")]);
  EXPECT_EQ(kp_c3_e7, 613u);
  const u64 block = pawn_offsets3[tb_triple_combo(kTbKnight, kTbKnight, kTbPawn)][613] + 627 * 44 + 18;
  EXPECT_EQ(tb_number("knnpkn", 0, "Kc3 Nb5 Ng5 Pd4", "Ke7 Nh2"), block * 59 + 15);
  EXPECT_EQ(tb_number("knnpkn", 0, "Kf3 Ng5 Nb5 Pe4", "Kd7 Na2"), block * 59 + 15);

  EXPECT_EQ(pawn_king_pair[sq("c3")][sq("b1")], 571);
  const u64 t = pawn_offsets1[kTbKnight][571] + 32;
  EXPECT_EQ(tb_number("knppkn", 1, "Kb1 Nf6 Pc4 Pd5", "Kc3 Ne5"), (t * 59 + 40) * 1128 + 369);
}

// Pairs of positions that the numbering makes equal, or keeps apart.
TEST(TbIndex, GivenPairs) {
  struct Pos {
    const char* first;
    const char* second;
    const char* ep;
    int flip;
  };
  const struct {
    const char* cls;
    int side;
    Pos a, b;
    bool same;
  } cases[] = {
      {"knnkpp", 1, {"Ke2 Nc3 Nf5", "Kg7 Pb4 Ph6", "-", 0}, {"Ke7 Nc6 Nf4", "Kg2 Pb5 Ph3", "-", 1}, true},
      {"kbbkbp", 0, {"Kc2 Bd3 Bf3", "Kh7 Ba1 Pf4", "-", 0}, {"Kf2 Bc3 Be3", "Ka7 Bh1 Pc4", "-", 0}, true},
      {"kbpkbp", 1, {"Kc1 Bf1 Pb4", "Kh8 Be7 Pa4", "b3", 0}, {"Kc8 Bf8 Pb5", "Kh1 Be2 Pa5", "b6", 1}, true},
      {"krbnkn", 0, {"Kc2 Ra8 Bh1 Nf6", "Ke3 Nd7", "-", 0}, {"Kb3 Rh1 Ba8 Nf6", "Kc5 Ng4", "-", 0}, true},
      {"kbnpkp", 1, {"Kg1 Bc1 Nb1 Pe4", "Kg8 Pd4", "e3", 0}, {"Kg8 Bc8 Nb8 Pe5", "Kg1 Pd5", "e6", 1}, true},
      {"kqqqkq", 1, {"Kd4 Qa5 Qc7 Qh2", "Kb2 Qe1", "-", 0}, {"Kd4 Qe1 Qg3 Qb8", "Kb2 Qa5", "-", 0}, false},
  };
  for (const auto& c : cases) {
    const u64 a = tb_number(c.cls, c.side, c.a.first, c.a.second, c.a.ep, c.a.flip);
    const u64 b = tb_number(c.cls, c.side, c.b.first, c.b.second, c.b.ep, c.b.flip);
    EXPECT_EQ(a == b, c.same) << c.cls << " " << a << " " << b;
  }
}

// Capture en passant: which pawn captures, and in which region the number lies.
TEST(TbIndex, EnPassantRegions) {
  const u64 first_region = u64{pawn_total2[tb_pair_combo(kTbPawn, kTbPawn)]} * 1035;
  const u64 with = tb_number("kppkpp", 0, "Ke1 Pa2 Pd5", "Ke8 Pe5 Ph7", "e6");
  const u64 without = tb_number("kppkpp", 0, "Ke1 Pa2 Pd5", "Ke8 Pe5 Ph7");
  EXPECT_GE(with, first_region);
  EXPECT_LT(without, first_region);
  // Both pawns beside the pushed one.  The king on e1 mirrors the board, so
  // f5 becomes c5, the lower of the two, and captures toward the higher file:
  // code 2 + 7.  With the king on d1 there is no mirror and d5 captures: 3 + 7.
  const u64 both = tb_number("kppkpp", 0, "Ke1 Pd5 Pf5", "Ke8 Pe5 Ph7", "e6");
  EXPECT_EQ((both - first_region) % 14, 9u);
  const u64 unmirrored = tb_number("kppkpp", 0, "Kd1 Pd5 Pf5", "Ke8 Pe5 Ph7", "e6");
  EXPECT_EQ((unmirrored - first_region) % 14, 10u);

  const u64 ordinary = u64{pawn_total3[tb_triple_combo(kTbPawn, kTbPawn, kTbPawn)]} * 45;
  EXPECT_GE(tb_number("kpppkp", 0, "Ke1 Pa2 Pb2 Pe5", "Ke8 Pd5", "d6"), ordinary);
  EXPECT_LT(tb_number("kpppkp", 0, "Ke1 Pa2 Pb2 Pe5", "Ke8 Pd5"), ordinary);
  // The file mirror puts the e5 pawn on d5, the lower of the two: it captures
  // toward the higher file, code 3 + 7.
  const u64 knpp = tb_number("knppkp", 0, "Kg1 Na1 Pc5 Pe5", "Kg8 Pd5", "d6");
  const u64 knpp_ordinary = u64{pawn_total3[tb_triple_combo(kTbKnight, kTbPawn, kTbPawn)]} * 46;
  EXPECT_EQ((knpp - knpp_ordinary) % 14, 3u + 7u);
}

}  // namespace
}  // namespace orvex::testing
