#include "search/material.h"

#include <algorithm>
#include <cmath>
#include <cstdlib>
#include <map>
#include <tuple>
#include <vector>

namespace orvex {

MaterialEntry material_table[kMaterialTableSize];

MaterialCounts decode_material_index(u32 i) {
  MaterialCounts c{};
  c.queens[0] = i % 2;
  c.queens[1] = (i / 2) % 2;
  c.rooks[0] = (i / 4) % 3;
  c.rooks[1] = (i / 12) % 3;
  c.bishops[0] = (i / 36) % 3;
  c.bishops[1] = (i / 108) % 3;
  c.knights[0] = (i / 324) % 3;
  c.knights[1] = (i / 972) % 3;
  c.pawns[0] = (i / 2916) % 9;
  c.pawns[1] = i / 26244;
  return c;
}

namespace {

// ---------------------------------------------------------------------------
// The material model.
//
// Values are in fine units (3399 per pawn of material_balance).  Let n be the
// phase weight of the pieces on the board (minor 1, rook 2, queen 4; 24 with
// everything on) and t = n / 24, so t = 1 in the opening and 0 in a pawn ending.
// Each side's material is the sum of
//   - pawns, worth Pm at t = 1 rising linearly to Pe at t = 0: a pawn gains
//     weight as the pieces that could stop it come off;
//   - knights, N(t) + 100 per own pawn above five (knights want blocked,
//     crowded boards and lose value as the board empties);
//   - bishops, B(t), slowly rising toward the ending, plus a bishop-pair bonus
//     that also grows as the board opens;
//   - rooks, R(t) - 150 per own pawn above five (rooks want open lines);
//   - queens, Q(t);
//   - redundancy of the major pieces: a second rook costs 97, and a queen
//     loses 400 for every rook beside it (they do the same work).
// The difference white minus black is then multiplied by the trade-down
// factor 1 + 0.15 * max(0, 0.75 - t): once a quarter of the pieces are gone an
// advantage is worth more the fewer pieces are left to resist it, which is
// why the side ahead trades pieces and the side behind avoids it.  Huge
// advantages (beyond 100000, three queens or so) count at half rate above
// that, since a won game cannot get more won.
//
// The linear piece values are fitted to the middlegame worth of the pieces:
// taking one white piece from the full board loses 28682 (queen),
// 14852 (rook; both 29833), 12481 (bishop, with the pair; both 23454), 11677
// (knight; both 23257) and 2595 per pawn.  Pawn endings count 3152 per pawn;
// endings of one bishop each with few pawns keep only 3015 per pawn (753 for
// a single pawn), as opposite-coloured bishops draw so often.  The basic
// mates against a bare king and a few well-known endings carry the values
// calibrated for them (pinned below).
//
// Material-only entries.  A material that is drawn or nearly so is scored by
// the table alone (the evaluation skips its positional terms there):
//   - without pawns, a small advantage (up to a minor piece of balance, three
//     minors against a rook, a rook and three minors against a queen, or two
//     bare knights) is hard or impossible to convert when little material
//     remains;
//   - a side without pawns whose extra pieces just cover the opponent's one to
//     five pawns (balance 0 to 2 in its favour) usually cannot win either,
//     and the pawns are not enough for the other side.
// For each kind of imbalance the materials are ranked by winning chances,
// least first: by the pieces left (fewer pieces, fewer mating nets), then by
// the model's score (its size, where the pawnless side may be behind), then
// by index so that the order is total; the first k of each kind are marked,
// k being the calibrated count of drawn materials of that kind
// (kPawnlessQuota, kPawnQuota).  Their value is a tenth of the model's score,
// at most 2206, and exactly 0 when the side the model favours has no pawn and
// only one minor piece or two knights (it cannot force mate).
// ---------------------------------------------------------------------------

constexpr double kKnightPawnBonus = 100.0;
constexpr double kRookPawnMalus = 150.0;
constexpr double kRookPairRedundancy = 97.0;
constexpr double kQueenRookRedundancy = 400.0;
constexpr double kTradeDownStart = 0.75;
constexpr double kTradeDownRate = 0.15;
constexpr double kCompressKnee = 100000.0;
constexpr double kCompressRate = 0.5;

// A value linear in t, given at t = 1 (mg) and t = 0 (eg).
struct Line {
  double mg, eg;
  constexpr double at(double t) const { return eg + (mg - eg) * t; }
};
constexpr Line through(double t1, double v1, double t2, double v2) {
  double slope = (v1 - v2) / (t1 - t2);
  double at0 = v1 - slope * t1;
  return Line{at0 + slope, at0};
}

constexpr double kTradeDownAtZero = 1.0 + kTradeDownRate * kTradeDownStart;
// Pawn: 2594.875 per pawn on the full board once the knight and rook pawn
// adjustments of both pieces of each kind are counted; 3152 in pawn endings.
constexpr Line kPawn{2594.875 - 2 * kKnightPawnBonus + 2 * kRookPawnMalus, 3152.0 / kTradeDownAtZero};
constexpr Line kKnight = through(23.0 / 24, 11677.0 - 3 * kKnightPawnBonus, 22.0 / 24,
                                 23257.0 / 2 - 3 * kKnightPawnBonus);
constexpr Line kBishopPair{1580.0, 1980.0};
constexpr Line kBishop = through(23.0 / 24, 12481.0 - kBishopPair.at(23.0 / 24), 22.0 / 24,
                                 (23454.0 - kBishopPair.at(22.0 / 24)) / 2);
constexpr Line kRook = through(22.0 / 24, 14852.0 + 3 * kRookPawnMalus + kRookPairRedundancy + kQueenRookRedundancy,
                               20.0 / 24,
                               (29833.0 + kRookPairRedundancy + 2 * kQueenRookRedundancy) / 2 + 3 * kRookPawnMalus);
// The queen gains 20 per phase step toward the ending.
constexpr Line kQueen{28682.0 + 2 * kQueenRookRedundancy - 4 * 20.0,
                      28682.0 + 2 * kQueenRookRedundancy + 20 * 20.0};

int phase_weight(const MaterialCounts& c) {
  return static_cast<int>(c.knights[0] + c.knights[1] + c.bishops[0] + c.bishops[1] +
                          2 * (c.rooks[0] + c.rooks[1]) + 4 * (c.queens[0] + c.queens[1]));
}

int balance_of(const MaterialCounts& c) {
  return static_cast<int>(c.pawns[0]) - static_cast<int>(c.pawns[1]) +
         3 * (static_cast<int>(c.knights[0] + c.bishops[0]) - static_cast<int>(c.knights[1] + c.bishops[1])) +
         5 * (static_cast<int>(c.rooks[0]) - static_cast<int>(c.rooks[1])) +
         10 * (static_cast<int>(c.queens[0]) - static_cast<int>(c.queens[1]));
}

int piece_balance(const MaterialCounts& c) { return balance_of(c) - (static_cast<int>(c.pawns[0]) - static_cast<int>(c.pawns[1])); }

double side_value(const MaterialCounts& c, int s, double t) {
  double p = c.pawns[s];
  double v = p * kPawn.at(t);
  v += c.knights[s] * (kKnight.at(t) + kKnightPawnBonus * (p - 5));
  v += c.bishops[s] * kBishop.at(t);
  if (c.bishops[s] >= 2) v += kBishopPair.at(t);
  v += c.rooks[s] * (kRook.at(t) - kRookPawnMalus * (p - 5));
  if (c.rooks[s] >= 2) v -= kRookPairRedundancy * (c.rooks[s] - 1);
  v += c.queens[s] * kQueen.at(t);
  v -= kQueenRookRedundancy * c.queens[s] * c.rooks[s];
  return v;
}

// The model's material score, white's view, before rounding.
double model_score(const MaterialCounts& c) {
  double t = phase_weight(c) / 24.0;
  double d = side_value(c, 0, t) - side_value(c, 1, t);
  d *= 1.0 + kTradeDownRate * std::max(0.0, kTradeDownStart - t);
  double a = std::fabs(d);
  if (a > kCompressKnee) a = kCompressKnee + (a - kCompressKnee) * kCompressRate;
  return d < 0 ? -a : a;
}

i32 round_fine(double v) { return static_cast<i32>(std::lround(v)); }

bool pawnless_pieces(const MaterialCounts& c) {
  for (int s = 0; s < 2; ++s)
    if (c.queens[s] | c.rooks[s] | c.bishops[s] | c.knights[s]) return false;
  return true;
}

// A side without pawns that has only one minor piece, or two knights, cannot
// force mate.
bool cannot_mate(const MaterialCounts& c, int s) {
  if (c.pawns[s] || c.queens[s] || c.rooks[s]) return false;
  u32 minors = c.knights[s] + c.bishops[s];
  return minors <= 1 || (c.bishops[s] == 0 && c.knights[s] == 2);
}

MaterialCounts mirror(const MaterialCounts& c) {
  MaterialCounts m{};
  for (int s = 0; s < 2; ++s) {
    m.queens[s] = c.queens[1 - s];
    m.rooks[s] = c.rooks[1 - s];
    m.bishops[s] = c.bishops[1 - s];
    m.knights[s] = c.knights[1 - s];
    m.pawns[s] = c.pawns[1 - s];
  }
  return m;
}

u32 encode(const MaterialCounts& c) {
  return c.queens[0] + 2 * c.queens[1] + 4 * c.rooks[0] + 12 * c.rooks[1] + 36 * c.bishops[0] +
         108 * c.bishops[1] + 324 * c.knights[0] + 972 * c.knights[1] + 2916 * c.pawns[0] + 26244 * c.pawns[1];
}

// Material-only counts per kind of pawnless imbalance, as seen from the side
// ahead: (balance, queen difference, rook difference, minor difference).
struct Quota {
  int balance, queens, rooks, minors, count;
};
constexpr Quota kPawnlessQuota[] = {
    {1, -1, 1, 2, 20}, {1, 0, -1, 2, 25}, {1, 1, 0, -3, 2},  {2, -1, 0, 4, 3},  {2, 0, -2, 4, 2},
    {2, 0, 1, -1, 31}, {2, 1, -1, -1, 12}, {3, -1, 2, 1, 16}, {3, 0, 0, 1, 63}, {3, 1, -2, 1, 16},
    {4, -1, 1, 3, 8},  {4, 0, -1, 3, 12}, {6, 0, 0, 2, 1},
};
// Material-only counts where white has no pawn and black has 1..5 pawns.
constexpr int kPawnQuota[6] = {0, 153, 115, 44, 20, 10};

// Marks the material-only signatures with white the side named by the rules
// (ahead without pawns, or pawnless against pawns); the caller mirrors them.
std::vector<u32> material_only_white_side(const std::vector<double>& model) {
  using Key = std::tuple<int, double, u32>;
  std::map<std::tuple<int, int, int, int>, std::vector<Key>> pawnless;
  std::vector<Key> with_pawns[6];
  for (u32 i = 0; i < 236196; ++i) {
    MaterialCounts c = decode_material_index(i);
    int n = phase_weight(c);
    if (c.pawns[0] == 0 && c.pawns[1] == 0) {
      int bal = balance_of(c);
      if (bal <= 0) continue;
      int dq = static_cast<int>(c.queens[0]) - static_cast<int>(c.queens[1]);
      int dr = static_cast<int>(c.rooks[0]) - static_cast<int>(c.rooks[1]);
      int dm = static_cast<int>(c.knights[0] + c.bishops[0]) - static_cast<int>(c.knights[1] + c.bishops[1]);
      pawnless[{bal, dq, dr, dm}].push_back({n, model[i], i});
    } else if (c.pawns[0] == 0 && c.pawns[1] <= 5) {
      int k = static_cast<int>(c.pawns[1]);
      int d = piece_balance(c);
      if (d >= 1 && d - k >= 0 && d - k <= 2) with_pawns[k].push_back({n, std::fabs(model[i]), i});
    }
  }
  std::vector<u32> marked;
  for (const Quota& q : kPawnlessQuota) {
    auto& v = pawnless[{q.balance, q.queens, q.rooks, q.minors}];
    std::sort(v.begin(), v.end());
    for (int j = 0; j < q.count && j < static_cast<int>(v.size()); ++j) marked.push_back(std::get<2>(v[j]));
  }
  for (int k = 1; k <= 5; ++k) {
    auto& v = with_pawns[k];
    std::sort(v.begin(), v.end());
    for (int j = 0; j < kPawnQuota[k] && j < static_cast<int>(v.size()); ++j) marked.push_back(std::get<2>(v[j]));
  }
  return marked;
}

// Material scores calibrated for particular endings (white ahead; mirrored).
struct Pinned {
  u32 white_q, white_r, white_b, white_n, black_q, black_r, black_b, black_n;
  i32 material_score;
};
constexpr Pinned kPinned[] = {
    {0, 1, 0, 0, 0, 0, 0, 0, 17071},  // KR-K
    {1, 0, 0, 0, 0, 0, 0, 0, 32508},  // KQ-K
    {0, 0, 2, 0, 0, 0, 0, 0, 21508},  // KBB-K
    {0, 0, 1, 1, 0, 0, 0, 0, 19282},  // KBN-K
    {1, 0, 0, 0, 0, 1, 0, 0, 15509},  // KQ-KR
    {0, 1, 0, 0, 0, 0, 1, 0, 873},    // KR-KB
    {0, 1, 0, 0, 0, 0, 0, 1, 941},    // KR-KN
    {0, 1, 1, 0, 0, 1, 0, 0, 1241},   // KRB-KR
    {1, 0, 1, 0, 1, 0, 0, 0, 1241},   // KQB-KQ
};

constexpr i32 kMaxScore = 20394;
constexpr i32 kMaxMaterialScore = 121177;
constexpr i32 kMaterialOnlyLimit = 2206;

}  // namespace

void build_material_table(MaterialEntry* out) {
  std::vector<double> model(kMaterialTableSize);
  for (u32 i = 0; i < kMaterialTableSize; ++i) model[i] = model_score(decode_material_index(i));

  std::vector<u8> only(kMaterialTableSize, 0);
  for (u32 i : material_only_white_side(model)) {
    only[i] = 1;
    only[encode(mirror(decode_material_index(i)))] = 1;
  }

  for (u32 i = 0; i < kMaterialTableSize; ++i) {
    MaterialCounts c = decode_material_index(i);
    int n = phase_weight(c);
    int bal = balance_of(c);
    u32 phase = static_cast<u32>(8 * (24 - n) / 3);

    u32 attack = 0;
    if (c.queens[0] == 1 && c.rooks[0] + c.bishops[0] + c.knights[0] >= 1) attack |= kMatWhiteAttacks;
    if (c.queens[1] == 1 && c.rooks[1] + c.bishops[1] + c.knights[1] >= 1) attack |= kMatBlackAttacks;

    u32 draw = 0;
    for (int s = 0; s < 2; ++s)
      if (c.knights[s] + c.rooks[s] + c.queens[s] == 0 && c.bishops[s] <= 1 && c.pawns[s] <= 2) draw |= kMatDrawPatterns;
    bool one_bishop_each = c.bishops[0] == 1 && c.bishops[1] == 1 && c.knights[0] + c.knights[1] + c.rooks[0] +
                                                                            c.rooks[1] + c.queens[0] + c.queens[1] ==
                                                                        0;
    int pawn_diff = static_cast<int>(c.pawns[0]) - static_cast<int>(c.pawns[1]);
    if (one_bishop_each && std::abs(pawn_diff) <= 2) draw |= kMatOppositeBishops;

    i32 ms;
    if (pawnless_pieces(c)) {
      ms = 3152 * pawn_diff;
    } else if (draw & kMatOppositeBishops) {
      if (pawn_diff == 1 && c.pawns[1] == 0)
        ms = 753;
      else if (pawn_diff == -1 && c.pawns[0] == 0)
        ms = -753;
      else
        ms = 3015 * pawn_diff;
    } else if (only[i]) {
      double m = model[i];
      int favoured = m >= 0 ? 0 : 1;
      if (cannot_mate(c, favoured)) {
        ms = 0;
      } else {
        ms = std::clamp(round_fine(m / 10.0), -kMaterialOnlyLimit, kMaterialOnlyLimit);
      }
    } else {
      ms = std::clamp(round_fine(model[i]), -kMaxMaterialScore, kMaxMaterialScore);
    }
    if (c.pawns[0] == 0 && c.pawns[1] == 0) {
      for (const Pinned& p : kPinned) {
        if (c.queens[0] == p.white_q && c.rooks[0] == p.white_r && c.bishops[0] == p.white_b &&
            c.knights[0] == p.white_n && c.queens[1] == p.black_q && c.rooks[1] == p.black_r &&
            c.bishops[1] == p.black_b && c.knights[1] == p.black_n)
          ms = p.material_score;
        if (c.queens[1] == p.white_q && c.rooks[1] == p.white_r && c.bishops[1] == p.white_b &&
            c.knights[1] == p.white_n && c.queens[0] == p.black_q && c.rooks[0] == p.black_r &&
            c.bishops[0] == p.black_b && c.knights[0] == p.black_n)
          ms = -p.material_score;
      }
    }
    i32 score = std::clamp(ms - kMaterialPawnWeight * bal, -kMaxScore, kMaxScore);
    out[i] = make_material_entry(draw, attack, phase, only[i], score);
  }
}

namespace {
struct MaterialTableInit {
  MaterialTableInit() { build_material_table(material_table); }
} material_table_init;
}  // namespace

}  // namespace orvex
