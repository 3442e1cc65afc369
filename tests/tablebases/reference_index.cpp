// The reference numbering: see reference_index.h.  Written for plainness, not
// speed: squares are counted, not looked up in masks.
#include "reference_index.h"

#include <algorithm>
#include <cstdlib>
#include <map>

namespace orvex::tbref {
namespace {

// Kinds of the enumeration: a pawn restricted only by the ranks and the king's
// square, a pawn that must not attack the other king, and the four pieces.
constexpr int kFree = 0, kP = 1, kN = 2, kB = 3, kR = 4, kQ = 5;
constexpr int kNoKind = -1;

int file(Square s) { return static_cast<int>(s & 7); }
int rank(Square s) { return static_cast<int>(s >> 3); }
int fdist(Square a, Square b) { return std::abs(file(a) - file(b)); }
int rdist(Square a, Square b) { return std::abs(rank(a) - rank(b)); }
bool touching(Square a, Square b) { return a != b && fdist(a, b) <= 1 && rdist(a, b) <= 1; }
bool knight_apart(Square a, Square b) {
  return (fdist(a, b) == 1 && rdist(a, b) == 2) || (fdist(a, b) == 2 && rdist(a, b) == 1);
}

// The enumeration kind of one man of piece type t that belongs to the mover.
int kind_of_type(int t) { return t + 1; }

u64 choose(u64 n, u64 k) {
  if (k > n) return 0;
  u64 r = 1;
  for (u64 i = 1; i <= k; ++i) r = r * (n - k + i) / i;
  return r;
}

// Sum of choose(v_j, j) over the values in ascending order (j from 1): the
// rank of a set of values among all sets of its size.
u64 set_rank(std::vector<int> v) {
  std::sort(v.begin(), v.end());
  u64 r = 0;
  for (size_t j = 0; j < v.size(); ++j) r += choose(static_cast<u64>(v[j]), j + 1);
  return r;
}

// s minus the number of squares of `occupied` below it.
int free_number(Square s, const std::vector<Square>& occupied) {
  int below = 0;
  for (Square o : occupied)
    if (o < s) ++below;
  return static_cast<int>(s) - below;
}

// Whether a man of kind k on s is kept off its square with the other king on
// king: the king's own square, and the contact squares from which it would
// capture that king.
bool closed(int k, Square king, Square s) {
  if (s == king) return true;
  switch (k) {
    case kFree: return false;
    case kP:  // advances toward the eighth rank, captures one rank up
      return (s + 7 == king && file(s) != 0) || (s + 9 == king && file(s) != 7);
    case kN: return knight_apart(s, king);
    case kB: return fdist(s, king) == 1 && rdist(s, king) == 1;
    case kR: return (fdist(s, king) + rdist(s, king)) == 1;
    case kQ: return touching(s, king);
  }
  return true;
}

bool considered(int k, Square s) { return k > kP || (s >= 8 && s <= 55); }

// Counted tables: number[k][king][s] (-1 where s is not open), count[k][king],
// and the two king-pair numberings (-1 where a pair is not numbered).
struct Counted {
  int number[6][64][64];
  int count[6][64];
  int pawn_pair[64][64];
  int pawnless_pair[64][64];
};

bool pawn_pair_ok(Square k1, Square k2) { return file(k1) <= 3 && k1 != k2 && !touching(k1, k2); }
bool in_triangle(Square s) { return file(s) <= 3 && rank(s) <= file(s); }
bool pawnless_pair_ok(Square k1, Square k2) {
  if (!in_triangle(k1) || k1 == k2 || touching(k1, k2)) return false;
  if (file(k1) == rank(k1) && file(k2) < rank(k2)) return false;
  return true;
}

const Counted& counted() {
  static const Counted* c = [] {
    auto* t = new Counted;
    for (int k = 0; k < 6; ++k)
      for (Square king = 0; king < 64; ++king) {
        int n = 0;
        for (Square s = 0; s < 64; ++s) {
          t->number[k][king][s] = -1;
          if (considered(k, s) && !closed(k, king, s)) t->number[k][king][s] = n++;
        }
        t->count[k][king] = n;
      }
    int pn = 0, qn = 0;
    for (Square a = 0; a < 64; ++a)
      for (Square b = 0; b < 64; ++b) {
        t->pawn_pair[a][b] = pawn_pair_ok(a, b) ? pn++ : -1;
        t->pawnless_pair[a][b] = pawnless_pair_ok(a, b) ? qn++ : -1;
      }
    return t;
  }();
  return *c;
}

// Set when a call meets something the contract rules out.
thread_local bool g_bad = false;

int checked(int v) {
  if (v < 0) g_bad = true;
  return v < 0 ? 0 : v;
}

int king_pair(bool pawns, Square k1, Square k2) {
  const Counted& c = counted();
  return checked(pawns ? c.pawn_pair[k1][k2] : c.pawnless_pair[k1][k2]);
}

// Squares open to a man of kind k of the mover (king k1) with the other king on k2.
bool own_king_open(int k, Square k1, Square k2) { return counted().number[k][k2][k1] >= 0; }
int open_count(int k, Square k1, Square k2) {
  return counted().count[k][k2] - (own_king_open(k, k1, k2) ? 1 : 0);
}
int man_number(int k, Square k1, Square k2, Square s) {
  int n = checked(counted().number[k][k2][s]);
  if (own_king_open(k, k1, k2) && s > k1) --n;
  return n;
}

// Block offsets for a combination of kinds (in non-increasing order) over the
// pawn or the pawnless king pairs: entry i is the number of placements of all
// pairs numbered below i; the last entry is the total.
const std::vector<u64>& offsets(bool pawns, const std::vector<int>& kinds) {
  static std::map<std::pair<bool, std::vector<int>>, std::vector<u64>> memo;
  auto key = std::make_pair(pawns, kinds);
  auto it = memo.find(key);
  if (it != memo.end()) return it->second;
  std::vector<u64> v;
  u64 sum = 0;
  for (Square a = 0; a < 64; ++a)
    for (Square b = 0; b < 64; ++b) {
      if (!(pawns ? pawn_pair_ok(a, b) : pawnless_pair_ok(a, b))) continue;
      v.push_back(sum);
      u64 placements = 1;
      for (size_t i = 0; i < kinds.size();) {
        size_t j = i;
        while (j < kinds.size() && kinds[j] == kinds[i]) ++j;
        placements *= choose(static_cast<u64>(open_count(kinds[i], a, b)), j - i);
        i = j;
      }
      sum += placements;
    }
  v.push_back(sum);
  return memo.emplace(key, std::move(v)).first->second;
}
u64 offset_at(bool pawns, const std::vector<int>& kinds, int kp) { return offsets(pawns, kinds)[kp]; }
u64 offset_total(bool pawns, const std::vector<int>& kinds) { return offsets(pawns, kinds).back(); }

// A square transformation: XOR, then (for pawnless classes) maybe the
// reflection in the a1-h8 diagonal.
struct Frame {
  u32 x = 0;
  bool reflect = false;
  Square operator()(Square s) const {
    s ^= x;
    return reflect ? static_cast<Square>(file(s) * 8 + rank(s)) : s;
  }
  std::vector<Square> all(const std::vector<Square>& v) const {
    std::vector<Square> r;
    for (Square s : v) r.push_back((*this)(s));
    std::sort(r.begin(), r.end());
    return r;
  }
};

u32 file_mirror(Square s) { return file(s) >= 4 ? 7 : 0; }
u32 rank_flip(int flip) { return flip ? 56 : 0; }

// The eight-fold frame of a pawnless class: the mover's king into a1-d4 by the
// two mirrors, then into the triangle a1-d1-d4 by the diagonal reflection
// (when it stands above the diagonal, or on it with the other king above it).
Frame pawnless_frame(Square mover_king, Square other_king) {
  Frame f;
  f.x = (file(mover_king) >= 4 ? 7u : 0u) ^ (rank(mover_king) >= 4 ? 56u : 0u);
  Square k1 = mover_king ^ f.x, k2 = other_king ^ f.x;
  bool above = file(k1) < rank(k1);
  bool on_diag = file(k1) == rank(k1);
  if (above || (on_diag && file(k2) < rank(k2))) f.reflect = true;
  return f;
}

std::vector<Square> all_men(const SideMen& s) {
  std::vector<Square> v;
  for (const auto& g : s.men) v.insert(v.end(), g.begin(), g.end());
  return v;
}

constexpr int kTypesHighFirst[5] = {4, 3, 2, 1, 0};  // queen, rook, bishop, knight, pawn

// Mixed-radix accumulation, most significant digit first.
struct Number {
  u64 value = 0, range = 1;
  void push(u64 digit, u64 radix) {
    if (digit >= radix) g_bad = true;
    value = value * radix + digit;
    range *= radix;
  }
};

// ---------------------------------------------------------------------------
// Classes 1-200: the block of the mover's men over the king-pair offsets, the
// other side's men as digits queens first, en-passant numbers after all others.

struct Split {
  const SideMen& mover;
  const SideMen& other;
};

// The en-passant part of kpkp, kppkp and kXpkp: A * 14 + d, and its size.
u64 general_ep(const RefPosition& p, const Split& s, u64* size) {
  Frame x;
  x.x = file_mirror(s.mover.king) ^ rank_flip(p.flip);
  Square e = x(p.ep);
  Square k1 = x(s.mover.king), k2 = x(s.other.king);
  int kp = king_pair(true, k1, k2);
  bool first_moves = p.side == 0;
  Square pushed = first_moves ? e - 8 : e + 8;
  Square start = first_moves ? e + 8 : e - 8;
  std::vector<Square> mp = x.all(s.mover.men[0]);
  std::vector<Square> op = x.all(s.other.men[0]);
  Square c;
  if (mp.size() == 2) {
    Square lo = mp[0];
    bool lo_captures = (lo + 7 == e && file(lo) != 0) || (lo + 9 == e && file(lo) != 7);
    c = lo_captures ? lo : mp[1];
  } else {
    c = mp[0];
  }
  bool toward_lower = first_moves ? (c + 7 == e) : (c - 9 == e);
  if (!toward_lower && !(first_moves ? c + 9 == e : c - 7 == e)) g_bad = true;
  int d = toward_lower ? file(c) - 1 : file(c) + 7;
  std::vector<Square> fixed = {c, pushed, start, e};
  int mover_pieces = s.mover.count() - static_cast<int>(mp.size());
  int other_pieces = s.other.count() - static_cast<int>(op.size());
  u64 a = 0;
  if (mover_pieces == 0 && other_pieces == 0 && mp.size() == 1 && op.size() == 1) {  // kpkp
    a = kp;
    *size = 1806 * 14;
  } else if (mover_pieces == 0 && other_pieces == 0) {  // kppkp
    Square r_sq = 0;
    bool found = false;
    const std::vector<Square>& pool = mp.size() == 2 ? mp : op;
    for (Square q : pool)
      if (q != c && q != pushed) r_sq = q, found = true;
    if (!found) g_bad = true;
    a = static_cast<u64>(kp) * 44 + (free_number(r_sq, fixed) - 8);
    *size = 1806 * 44 * 14;
  } else if (first_moves) {  // kXpkp, the piece's side to move
    int t = 0;
    for (int q = 1; q < 5; ++q)
      if (!s.mover.men[q].empty()) t = q;
    int k = kind_of_type(t);
    a = offset_at(true, {k}, kp) + man_number(k, k1, k2, x(s.mover.men[t][0]));
    *size = offset_total(true, {k}) * 14;
  } else {  // kXpkp, the lone pawn's side to move
    int t = 0;
    for (int q = 1; q < 5; ++q)
      if (!s.other.men[q].empty()) t = q;
    std::vector<Square> ex = fixed;
    ex.push_back(k1);
    ex.push_back(k2);
    a = static_cast<u64>(kp) * 58 + free_number(x(s.other.men[t][0]), ex);
    *size = 1806 * 58 * 14;
  }
  return a * 14 + d;
}

u64 general_index(const RefPosition& p, u64* range) {
  Split s{p.side == 0 ? p.first : p.second, p.side == 0 ? p.second : p.first};
  bool pawn_class = !p.first.men[0].empty() || !p.second.men[0].empty();
  bool both_pawns = !p.first.men[0].empty() && !p.second.men[0].empty();
  Frame fx, fy;
  if (pawn_class) {
    fx.x = file_mirror(s.mover.king) ^ rank_flip(p.flip);
    fy = fx;
    if (p.side == 1 && (!s.mover.men[0].empty() || s.mover.count() == 0)) fy.x ^= 56;
  } else {
    fx = pawnless_frame(s.mover.king, s.other.king);
    fy = fx;
  }
  Square k1 = fy(s.mover.king), k2 = fy(s.other.king);
  int kp = king_pair(pawn_class, k1, k2);

  Number n;
  bool other_pawns_in_block = false;
  if (s.mover.count() == 0) {
    if (!pawn_class) {
      n.value = kp;
      n.range = 462;
    } else {
      std::vector<int> nums, kinds;
      for (Square q : fy.all(s.other.men[0])) {
        nums.push_back(man_number(kFree, k1, k2, q));
        kinds.push_back(kFree);
      }
      n.value = offset_at(true, kinds, kp) + set_rank(nums);
      n.range = offset_total(true, kinds);
      other_pawns_in_block = true;
    }
  } else {
    std::vector<int> group_types;
    for (int t : kTypesHighFirst)
      if (!s.mover.men[t].empty()) group_types.push_back(t);
    if (s.mover.count() == 3 && group_types.size() == 2 && s.mover.men[group_types[1]].size() == 2)
      std::swap(group_types[0], group_types[1]);  // the like pair leads
    u64 value = 0;
    std::vector<int> kinds;
    for (int t : group_types) {
      int k = kind_of_type(t);
      std::vector<int> nums;
      for (Square q : fy.all(s.mover.men[t])) nums.push_back(man_number(k, k1, k2, q));
      value = value * choose(open_count(k, k1, k2), nums.size()) + set_rank(nums);
    }
    for (int t : kTypesHighFirst)
      for (size_t i = 0; i < s.mover.men[t].size(); ++i) kinds.push_back(kind_of_type(t));
    n.value = offset_at(pawn_class, kinds, kp) + value;
    n.range = offset_total(pawn_class, kinds);
  }

  // The other side's men in frame X: singles exclude each other in the order
  // queen, rook, bishop, knight, then the like groups; the digits follow in
  // kind order, pawns last.
  std::vector<Square> excluded = {fx(s.mover.king), fx(s.other.king)};
  for (Square q : all_men(s.mover)) excluded.push_back(fx(q));
  for (Square q : s.other.men[0]) excluded.push_back(fx(q));
  std::array<std::vector<int>, 5> nums;
  std::array<int, 5> ranges{};
  for (int pass = 0; pass < 2; ++pass)
    for (int t = 4; t >= 1; --t) {
      const auto& g = s.other.men[t];
      if (g.empty() || (pass == 0) != (g.size() == 1)) continue;
      ranges[t] = 64 - static_cast<int>(excluded.size());
      for (Square q : fx.all(g)) nums[t].push_back(free_number(q, excluded));
      for (Square q : fx.all(g)) excluded.push_back(q);
    }
  if (!other_pawns_in_block && !s.other.men[0].empty()) {
    std::vector<Square> mover_pawns = fx.all(s.mover.men[0]);
    ranges[0] = 48 - static_cast<int>(mover_pawns.size());
    for (Square q : fx.all(s.other.men[0])) nums[0].push_back(free_number(q, mover_pawns) - 8);
  }
  for (int t : kTypesHighFirst)
    if (!nums[t].empty()) n.push(set_rank(nums[t]), choose(ranges[t], nums[t].size()));

  *range = n.range;
  if (both_pawns) {
    u64 ep_size = 0;
    u64 ep_number = 0;
    if (p.ep != 127) {
      ep_number = general_ep(p, s, &ep_size);
    } else {
      // The size of the en-passant part by its rule, without a position.
      int mp = static_cast<int>(s.mover.men[0].size()), op = static_cast<int>(s.other.men[0].size());
      int mover_pieces = s.mover.count() - mp, other_pieces = s.other.count() - op;
      if (mover_pieces == 0 && other_pieces == 0)
        ep_size = (mp + op == 2) ? 1806 * 14 : 1806 * 44 * 14;
      else if (p.side == 0) {
        int t = 1;
        for (int q = 1; q < 5; ++q)
          if (!s.mover.men[q].empty()) t = q;
        ep_size = offset_total(true, {kind_of_type(t)}) * 14;
      } else {
        ep_size = 1806 * 58 * 14;
      }
    }
    *range = n.range + ep_size;
    if (p.ep != 127) return n.range + ep_number;
  }
  return n.value;
}

// ---------------------------------------------------------------------------
// Classes 201-265: two men against two with pawns.  The mover's two men over
// the two-man offsets; the other side's digits pawns first, then pieces from
// the knight up; en-passant numbers in a second region.

bool same_men(const SideMen& a, const SideMen& b) {
  for (int t = 0; t < 5; ++t)
    if (a.men[t].size() != b.men[t].size()) return false;
  return true;
}

u64 two_two_index(const RefPosition& p, u64* range);

u64 two_two_ep(const RefPosition& p, const Split& s, u64* size) {
  // In this region every square takes the plain normalising mask.
  Frame m;
  m.x = file_mirror(s.mover.king) ^ rank_flip(p.flip);
  bool up = p.side == 0;  // the mover's pawns advance toward the eighth rank
  Square e = m(p.ep);
  Square pushed = up ? e - 8 : e + 8;
  Square start = up ? e + 8 : e - 8;
  auto capture_square = [&](Square q) { return rank(q) == rank(pushed) && fdist(q, e) == 1; };
  std::vector<Square> mp = m.all(s.mover.men[0]);
  int ci = -1;
  for (int i = 0; i < static_cast<int>(mp.size()); ++i)
    if (ci < 0 && capture_square(mp[i])) ci = i;
  if (ci < 0) {
    g_bad = true;
    ci = 0;
  }
  Square c = mp[ci];
  // The mover's other man: its second pawn, or its piece.
  int mover_other_type = -1;
  Square mover_other = 0;
  if (mp.size() == 2) {
    mover_other_type = 0;
    mover_other = mp[1 - ci];
  } else {
    for (int t = 1; t < 5; ++t)
      if (!s.mover.men[t].empty()) mover_other_type = t, mover_other = m(s.mover.men[t][0]);
  }
  std::vector<Square> op = m.all(s.other.men[0]);
  int other_other_type = -1;
  Square other_other = 0;
  bool pushed_found = false;
  for (Square q : op) {
    if (q == pushed && !pushed_found)
      pushed_found = true;
    else
      other_other_type = 0, other_other = q;
  }
  if (!pushed_found) g_bad = true;
  if (op.size() == 1)
    for (int t = 1; t < 5; ++t)
      if (!s.other.men[t].empty()) other_other_type = t, other_other = m(s.other.men[t][0]);

  Square a = m(s.mover.king), b = m(s.other.king);
  int kp = king_pair(true, a, b);
  Number n;
  if (mover_other_type == 0) {
    n.value = kp;
    n.range = 1806;
  } else {
    int k = kind_of_type(mover_other_type);
    n.value = offset_at(true, {k}, kp) + man_number(k, a, b, mover_other);
    n.range = offset_total(true, {k});
  }
  std::vector<Square> fixed = {start, e, pushed, c};
  if (other_other_type == 0) {
    std::vector<Square> against = fixed;
    if (mover_other_type == 0) against.push_back(mover_other);
    n.push(free_number(other_other, against) - 8, 48 - against.size());
  } else {
    std::vector<Square> against = fixed;
    against.push_back(a);
    against.push_back(b);
    against.push_back(mover_other);
    n.push(free_number(other_other, against), 64 - against.size());
  }
  if (mover_other_type == 0) n.push(free_number(mover_other, fixed) - 8, 44);
  bool capturer_after = file(c) == file(e) + 1;  // on the file after e's
  n.push(capturer_after ? file(c) - 1 : file(c) + 7, 14);
  *size = n.range;
  return n.value;
}

u64 two_two_index(const RefPosition& p, u64* range) {
  bool symmetric = same_men(p.first, p.second);
  if (symmetric && p.side == 1) {
    RefPosition q = p;
    std::swap(q.first, q.second);
    q.side = 0;
    q.flip = 1 - p.flip;
    return two_two_index(q, range);
  }
  Split s{p.side == 0 ? p.first : p.second, p.side == 0 ? p.second : p.first};
  int mover_pawns = static_cast<int>(s.mover.men[0].size());
  Frame m;
  m.x = file_mirror(s.mover.king) ^ rank_flip(p.flip);
  Frame t = m;
  if (p.side == 1 && mover_pawns >= 1) t.x ^= 56;
  Square a = t(s.mover.king), b = t(s.other.king);
  int kp = king_pair(true, a, b);

  // The mover's two men.
  std::vector<int> types;
  for (int ty : kTypesHighFirst)
    for (size_t i = 0; i < s.mover.men[ty].size(); ++i) types.push_back(ty);
  Number n;
  if (types[0] == types[1]) {
    int k = kind_of_type(types[0]);
    std::vector<int> nums;
    for (Square q : t.all(s.mover.men[types[0]])) nums.push_back(man_number(k, a, b, q));
    n.value = offset_at(true, {k, k}, kp) + set_rank(nums);
    n.range = offset_total(true, {k, k});
  } else {
    int kx = kind_of_type(types[0]), ky = kind_of_type(types[1]);
    u64 ox = man_number(kx, a, b, t(s.mover.men[types[0]][0]));
    u64 oy = man_number(ky, a, b, t(s.mover.men[types[1]][0]));
    n.value = offset_at(true, {kx, ky}, kp) + ox * open_count(ky, a, b) + oy;
    n.range = offset_total(true, {kx, ky});
  }

  // The other side's men, all squares with the plain mask: pawns first, then
  // pieces from the knight up.
  std::vector<Square> mover_pawns_m = m.all(s.mover.men[0]);
  std::vector<Square> occupied = {m(s.mover.king), m(s.other.king)};
  for (Square q : all_men(s.mover)) occupied.push_back(m(q));
  if (!s.other.men[0].empty()) {
    std::vector<int> nums;
    for (Square q : m.all(s.other.men[0])) {
      nums.push_back(free_number(q, mover_pawns_m) - 8);
      occupied.push_back(q);
    }
    n.push(set_rank(nums), choose(48 - mover_pawns, nums.size()));
  }
  for (int ty = 1; ty <= 4; ++ty) {
    if (s.other.men[ty].empty()) continue;
    std::vector<int> nums;
    std::vector<Square> sq = m.all(s.other.men[ty]);
    for (Square q : sq) nums.push_back(free_number(q, occupied));
    n.push(set_rank(nums), choose(64 - occupied.size(), nums.size()));
    occupied.insert(occupied.end(), sq.begin(), sq.end());
  }
  *range = n.range;
  bool both_pawns = !p.first.men[0].empty() && !p.second.men[0].empty();
  if (!both_pawns) return n.value;
  u64 ep_size = 0;
  u64 ep_number = 0;
  if (p.ep != 127) {
    ep_number = two_two_ep(p, s, &ep_size);
  } else {
    // The second region's size by the shape table.
    bool mover_two_pawns = s.mover.men[0].size() == 2;
    bool other_two_pawns = s.other.men[0].size() == 2;
    u64 lead = 1806;
    if (!mover_two_pawns) {
      for (int ty = 1; ty < 5; ++ty)
        if (!s.mover.men[ty].empty()) lead = offset_total(true, {kind_of_type(ty)});
    }
    u64 per = mover_two_pawns ? (other_two_pawns ? 43 * 44 * 14 : 57 * 44 * 14)
                              : (other_two_pawns ? 44 * 14 : 57 * 14);
    ep_size = lead * per;
  }
  *range = n.range + ep_size;
  return p.ep != 127 ? n.range + ep_number : n.value;
}

// ---------------------------------------------------------------------------
// Classes 266-345: three pieces against a lone piece, no pawns.

u64 three_lone_pawnless(const RefPosition& p, u64* range) {
  const SideMen& f = p.first;
  const SideMen& g = p.second;
  Square mover_king = p.side == 0 ? f.king : g.king;
  Square other_king = p.side == 0 ? g.king : f.king;
  Frame fr = pawnless_frame(mover_king, other_king);
  Square k1 = fr(mover_king), k2 = fr(other_king);
  int kp = king_pair(false, k1, k2);
  int lone_type = 0;
  for (int t = 1; t < 5; ++t)
    if (!g.men[t].empty()) lone_type = t;
  Square lone = fr(g.men[lone_type][0]);
  std::vector<int> groups;  // the first side's piece types, by its shape
  for (int t = 4; t >= 1; --t)
    if (!f.men[t].empty()) groups.push_back(t);
  Number n;
  if (p.side == 0) {
    if (groups.size() == 2 && f.men[groups[1]].size() == 2) std::swap(groups[0], groups[1]);
    u64 r = 0;
    std::vector<int> kinds;
    for (int t : groups) {
      int k = kind_of_type(t);
      std::vector<int> nums;
      for (Square q : fr.all(f.men[t])) nums.push_back(man_number(k, k1, k2, q));
      r = r * choose(open_count(k, k1, k2), nums.size()) + set_rank(nums);
    }
    for (int t = 4; t >= 1; --t)
      for (size_t i = 0; i < f.men[t].size(); ++i) kinds.push_back(kind_of_type(t));
    n.value = offset_at(false, kinds, kp) + r;
    n.range = offset_total(false, kinds);
    std::vector<Square> five = {k1, k2};
    for (Square q : all_men(f)) five.push_back(fr(q));
    n.push(free_number(lone, five), 59);
  } else {
    int kl = kind_of_type(lone_type);
    n.value = offset_at(false, {kl}, kp) + man_number(kl, k1, k2, lone);
    n.range = offset_total(false, {kl});
    std::vector<Square> e = {lone, k1, k2};
    if (groups.size() == 1) {  // three like pieces
      std::vector<int> nums;
      for (Square q : fr.all(f.men[groups[0]])) nums.push_back(free_number(q, e));
      n.push(set_rank(nums), choose(61, 3));
    } else if (groups.size() == 2) {  // a pair and a single piece
      int pair_t = f.men[groups[0]].size() == 2 ? groups[0] : groups[1];
      int single_t = pair_t == groups[0] ? groups[1] : groups[0];
      Square single = fr(f.men[single_t][0]);
      u64 y = free_number(single, e);
      std::vector<Square> e2 = e;
      e2.push_back(single);
      std::vector<int> nums;
      for (Square q : fr.all(f.men[pair_t])) nums.push_back(free_number(q, e2));
      u64 pr = set_rank(nums);
      if (single_t > pair_t) {
        n.push(y, 61);
        n.push(pr, 1770);
      } else {
        n.push(pr, 1770);
        n.push(y, 61);
      }
    } else {  // three unlike pieces
      std::vector<Square> occ = e;
      int radix = 61;
      for (int t : groups) {
        Square q = fr(f.men[t][0]);
        n.push(free_number(q, occ), radix--);
        occ.push_back(q);
      }
    }
  }
  *range = n.range;
  return n.value;
}

// ---------------------------------------------------------------------------
// Classes 346-380: three men against a lone pawn.

// The first side's groups in the order of function 0: larger groups first,
// equal sizes from the queen down to the pawn.
std::vector<int> groups_large_first(const SideMen& f) {
  std::vector<int> order;
  for (int size = 3; size >= 1; --size)
    for (int t : kTypesHighFirst)
      if (static_cast<int>(f.men[t].size()) == size) order.push_back(t);
  return order;
}

u64 three_vs_pawn(const RefPosition& p, u64* range) {
  const SideMen& f = p.first;
  const SideMen& g = p.second;
  Frame m;
  m.x = file_mirror(p.side == 0 ? f.king : g.king) ^ rank_flip(p.flip);
  int np = static_cast<int>(f.men[0].size());
  Square gp = m(g.men[0][0]);
  bool with_ep = p.ep != 127 && np >= 1;
  Square e = with_ep ? m(p.ep) : 0;
  std::vector<Square> fp = m.all(f.men[0]);
  std::vector<int> kinds3;  // the first side's kinds, highest first
  for (int t : kTypesHighFirst)
    for (size_t i = 0; i < f.men[t].size(); ++i) kinds3.push_back(kind_of_type(t));

  // Sizes of both regions, by the rules without a position.
  auto sets = [](int m_, int k) { return choose(m_, k); };
  if (p.side == 0) {
    Square a = m(f.king), b = m(g.king);
    int kp = king_pair(true, a, b);
    u64 first_region = offset_total(true, kinds3) * (48 - np);
    u64 second_region = 0;
    std::vector<int> piece_kinds;
    for (int t = 4; t >= 1; --t)
      for (size_t i = 0; i < f.men[t].size(); ++i) piece_kinds.push_back(kind_of_type(t));
    if (np >= 1) {
      u64 lead = piece_kinds.empty() ? 1806 : offset_total(true, piece_kinds);
      second_region = lead * sets(44, np - 1) * 14;
    }
    *range = first_region + second_region;
    if (!with_ep) {
      Number n;
      u64 r = 0;
      for (int t : groups_large_first(f)) {
        int k = kind_of_type(t);
        std::vector<int> nums;
        for (Square q : m.all(f.men[t])) nums.push_back(man_number(k, a, b, q));
        r = r * choose(open_count(k, a, b), nums.size()) + set_rank(nums);
      }
      n.value = offset_at(true, kinds3, kp) + r;
      n.range = offset_total(true, kinds3);
      n.push(free_number(gp, fp) - 8, 48 - np);
      return n.value;
    }
    // A first-side pawn captures en passant.
    int ci = -1;
    for (int i = 0; i < np; ++i) {
      Square q = fp[i];
      bool on_after = q == e - 7 && file(q) != 0;
      bool on_before = q == e - 9 && file(q) != 7;
      if (ci < 0 && (on_after || on_before)) ci = i;
    }
    if (ci < 0) {
      g_bad = true;
      return kRefBad;
    }
    Square c = fp[ci];
    int code = c == e - 7 ? file(c) - 1 : file(c) + 7;
    std::vector<Square> fixed = {e - 8, c, e, e + 8};
    std::vector<int> others;
    for (int i = 0; i < np; ++i)
      if (i != ci) others.push_back(free_number(fp[i], fixed) - 8);
    u64 piece_part;
    if (piece_kinds.empty()) {
      piece_part = kp;
    } else {
      std::vector<int> types;
      for (int t = 4; t >= 1; --t)
        for (size_t i = 0; i < f.men[t].size(); ++i) types.push_back(t);
      if (types.size() == 1) {
        int k = kind_of_type(types[0]);
        piece_part = offset_at(true, {k}, kp) + man_number(k, a, b, m(f.men[types[0]][0]));
      } else if (types[0] == types[1]) {
        int k = kind_of_type(types[0]);
        std::vector<int> nums;
        for (Square q : m.all(f.men[types[0]])) nums.push_back(man_number(k, a, b, q));
        piece_part = offset_at(true, {k, k}, kp) + set_rank(nums);
      } else {
        int kx = kind_of_type(types[0]), ky = kind_of_type(types[1]);
        piece_part = offset_at(true, {kx, ky}, kp) +
                     static_cast<u64>(man_number(kx, a, b, m(f.men[types[0]][0]))) * open_count(ky, a, b) +
                     man_number(ky, a, b, m(f.men[types[1]][0]));
      }
    }
    return first_region + (piece_part * sets(44, np - 1) + set_rank(others)) * 14 + code;
  }

  // Second side to move.
  Square a = m(g.king), b = m(f.king);
  // Piece rank and count against an occupied set, group by group from the queen down.
  auto pieces = [&](std::vector<Square> occ, u64* count) {
    u64 rank_ = 0, cnt = 1;
    for (int t = 4; t >= 1; --t) {
      if (f.men[t].empty()) continue;
      std::vector<Square> sq = m.all(f.men[t]);
      std::vector<int> nums;
      for (Square q : sq) nums.push_back(free_number(q, occ));
      u64 size = choose(64 - occ.size(), sq.size());
      rank_ = rank_ * size + set_rank(nums);
      cnt *= size;
      occ.insert(occ.end(), sq.begin(), sq.end());
    }
    *count = cnt;
    return rank_;
  };
  std::vector<Square> base = {a, b, gp};
  base.insert(base.end(), fp.begin(), fp.end());
  u64 piece_count = 0;
  u64 piece_rank = pieces(base, &piece_count);
  u64 pawn_count = sets(47, np);
  u64 first_region = 81664 * piece_count * pawn_count;
  u64 piece_count_ep = 0;
  {
    // The count with two more occupied squares does not depend on where they are.
    std::vector<Square> probe = base;
    probe.push_back(64);
    probe.push_back(65);
    pieces(probe, &piece_count_ep);
  }
  *range = first_region + (np >= 1 ? 1806 * piece_count_ep * sets(44, np - 1) * 14 : 0);
  if (!with_ep) {
    Square a2 = a ^ 56, b2 = b ^ 56, g2 = gp ^ 56;
    int kp2 = king_pair(true, a2, b2);
    u64 t = offset_at(true, {kP}, kp2) + man_number(kP, a2, b2, g2);
    std::vector<int> pawn_nums;
    for (Square q : fp) pawn_nums.push_back(static_cast<int>(q) - 8 - (q > gp ? 1 : 0));
    return (t * piece_count + piece_rank) * pawn_count + set_rank(pawn_nums);
  }
  bool from_after = gp == e + 9 && file(gp) != 0;
  int code = from_after ? file(gp) - 1 : file(gp) + 7;
  if (!from_after && gp != e + 7) g_bad = true;
  std::vector<Square> fixed = {e - 8, e, e + 8, gp};
  std::vector<int> others;
  bool pushed_found = false;
  for (Square q : fp) {
    if (q == e + 8 && !pushed_found)
      pushed_found = true;
    else
      others.push_back(free_number(q, fixed) - 8);
  }
  if (!pushed_found) g_bad = true;
  std::vector<Square> occ_ep = base;
  occ_ep.push_back(e - 8);
  occ_ep.push_back(e);
  u64 cnt_ep = 0;
  u64 rank_ep = pieces(occ_ep, &cnt_ep);
  int kp = king_pair(true, a, b);
  return first_region + ((kp * cnt_ep + rank_ep) * sets(44, np - 1) + set_rank(others)) * 14 + code;
}

// ---------------------------------------------------------------------------
// Classes 381-440: three men with pawns against a lone piece.

u64 three_pawns_lone(const RefPosition& p, u64* range) {
  const SideMen& f = p.first;
  const SideMen& g = p.second;
  Frame m;
  m.x = file_mirror(p.side == 0 ? f.king : g.king) ^ rank_flip(p.flip);
  int lone_type = 0;
  for (int t = 1; t < 5; ++t)
    if (!g.men[t].empty()) lone_type = t;
  Square lone = m(g.men[lone_type][0]);
  std::vector<Square> fp = m.all(f.men[0]);
  Number n;
  if (p.side == 0) {
    Square k1 = m(f.king), k2 = m(g.king);
    int kp = king_pair(true, k1, k2);
    std::vector<int> kinds3;
    for (int t : kTypesHighFirst)
      for (size_t i = 0; i < f.men[t].size(); ++i) kinds3.push_back(kind_of_type(t));
    u64 r = 0;
    for (int t : groups_large_first(f)) {
      int k = kind_of_type(t);
      std::vector<int> nums;
      for (Square q : m.all(f.men[t])) nums.push_back(man_number(k, k1, k2, q));
      r = r * choose(open_count(k, k1, k2), nums.size()) + set_rank(nums);
    }
    n.value = offset_at(true, kinds3, kp) + r;
    n.range = offset_total(true, kinds3);
    std::vector<Square> five = {k1, k2};
    for (Square q : all_men(f)) five.push_back(m(q));
    n.push(free_number(lone, five), 59);
  } else {
    Square k1 = m(g.king), k2 = m(f.king);
    int kp = king_pair(true, k1, k2);
    int kl = kind_of_type(lone_type);
    n.value = offset_at(true, {kl}, kp) + man_number(kl, k1, k2, lone);
    n.range = offset_total(true, {kl});
    std::vector<Square> occ = {k1, k2, lone};
    occ.insert(occ.end(), fp.begin(), fp.end());
    // Pieces from the queen down; the lower of two unlike pieces also
    // excludes the higher one.
    for (int t = 4; t >= 1; --t) {
      if (f.men[t].empty()) continue;
      std::vector<Square> sq = m.all(f.men[t]);
      std::vector<int> nums;
      for (Square q : sq) nums.push_back(free_number(q, occ));
      n.push(set_rank(nums), choose(64 - occ.size(), sq.size()));
      occ.insert(occ.end(), sq.begin(), sq.end());
    }
    std::vector<int> pawn_nums;
    for (Square q : fp) pawn_nums.push_back(static_cast<int>(q) - 8);
    n.push(set_rank(pawn_nums), choose(48, fp.size()));
  }
  *range = n.range;
  return n.value;
}

// Which family numbers a class: by the men of its two sides.
enum class Family { kGeneral, kTwoTwoPawns, kThreeLonePawnless, kThreeVsPawn, kThreePawnsLone };

Family family_of(const std::array<std::array<int, 5>, 2>& c) {
  int f = 0, s = 0;
  for (int t = 0; t < 5; ++t) f += c[0][t], s += c[1][t];
  if (f + s <= 3) return Family::kGeneral;
  bool pawns = c[0][0] + c[1][0] > 0;
  if (f == 2 && s == 2) return pawns ? Family::kTwoTwoPawns : Family::kGeneral;
  if (c[1][0] == 1) return Family::kThreeVsPawn;
  return c[0][0] > 0 ? Family::kThreePawnsLone : Family::kThreeLonePawnless;
}

u64 dispatch(const RefPosition& p, u64* range) {
  std::array<std::array<int, 5>, 2> c;
  if (!class_men(p.name, &c)) {
    g_bad = true;
    return kRefBad;
  }
  switch (family_of(c)) {
    case Family::kGeneral: return general_index(p, range);
    case Family::kTwoTwoPawns: return two_two_index(p, range);
    case Family::kThreeLonePawnless: return three_lone_pawnless(p, range);
    case Family::kThreeVsPawn: return three_vs_pawn(p, range);
    case Family::kThreePawnsLone: return three_pawns_lone(p, range);
  }
  return kRefBad;
}

// ---------------------------------------------------------------------------
// Legality on a plain board.

int type_of_letter(char ch) {
  switch (ch) {
    case 'p': return 0;
    case 'n': return 1;
    case 'b': return 2;
    case 'r': return 3;
    case 'q': return 4;
  }
  return -1;
}

// Whether a man of type t (colour white when white_man) on s attacks target,
// with `occupied` blocking the sliders.
bool attacks(int t, bool white_man, Square s, Square target, u64 occupied) {
  int df = file(target) - file(s), dr = rank(target) - rank(s);
  switch (t) {
    case 0: return std::abs(df) == 1 && dr == (white_man ? 1 : -1);
    case 1: return knight_apart(s, target);
    default: break;
  }
  bool diag = std::abs(df) == std::abs(dr) && df != 0;
  bool straight = (df == 0) != (dr == 0);
  if (t == 2 && !diag) return false;
  if (t == 3 && !straight) return false;
  if (t == 4 && !diag && !straight) return false;
  int sf = (df > 0) - (df < 0), sr = (dr > 0) - (dr < 0);
  int f = file(s) + sf, r = rank(s) + sr;
  while (f != file(target) || r != rank(target)) {
    if (occupied & (u64{1} << (r * 8 + f))) return false;
    f += sf;
    r += sr;
  }
  return true;
}

}  // namespace

int SideMen::count() const {
  int n = 0;
  for (const auto& g : men) n += static_cast<int>(g.size());
  return n;
}

bool class_men(const std::string& name, std::array<std::array<int, 5>, 2>* counts) {
  *counts = {};
  if (name.size() < 3 || name[0] != 'k') return false;
  int side = 0, total = 0;
  for (size_t i = 1; i < name.size(); ++i) {
    if (name[i] == 'k') {
      if (side == 1) return false;
      side = 1;
      continue;
    }
    int t = type_of_letter(name[i]);
    if (t < 0) return false;
    ++(*counts)[side][t];
    ++total;
  }
  return side == 1 && total >= 1 && total <= 4;
}

u64 reference_index(const RefPosition& p) {
  g_bad = false;
  u64 range = 0;
  u64 v = dispatch(p, &range);
  return g_bad ? kRefBad : v;
}

u64 reference_range(const std::string& name, int side) {
  std::mt19937_64 rng(12345);
  RefPosition p = random_position(name, side, false, rng);
  g_bad = false;
  u64 range = 0;
  dispatch(p, &range);
  return range;
}

bool ep_possible(const RefPosition& p, u32 ep) {
  if (ep > 63) return false;
  bool first_white = p.flip == 0;
  const SideMen& mover = p.side == 0 ? p.first : p.second;
  const SideMen& other = p.side == 0 ? p.second : p.first;
  bool mover_white = (p.side == 0) == first_white;
  // White to move takes on the sixth rank, the black pawn having come from the seventh.
  if (rank(ep) != (mover_white ? 5 : 2)) return false;
  Square pushed = mover_white ? ep - 8 : ep + 8;
  Square start = mover_white ? ep + 8 : ep - 8;
  bool pushed_there = std::count(other.men[0].begin(), other.men[0].end(), pushed) == 1;
  bool capturer = false;
  for (Square q : mover.men[0])
    if (rank(q) == rank(pushed) && fdist(q, ep) == 1) capturer = true;
  u64 occ = bit(p.first.king) | bit(p.second.king);
  for (Square q : all_men(p.first)) occ |= bit(q);
  for (Square q : all_men(p.second)) occ |= bit(q);
  return pushed_there && capturer && !(occ & bit(ep)) && !(occ & bit(start));
}

bool is_legal(const RefPosition& p) {
  std::array<std::array<int, 5>, 2> c;
  if (!class_men(p.name, &c)) return false;
  for (int t = 0; t < 5; ++t)
    if (static_cast<int>(p.first.men[t].size()) != c[0][t] || static_cast<int>(p.second.men[t].size()) != c[1][t])
      return false;
  u64 occ = 0;
  int n = 0;
  auto put = [&](Square s) {
    if (s < 64) occ |= bit(s);
    ++n;
  };
  put(p.first.king);
  put(p.second.king);
  for (Square q : all_men(p.first)) put(q);
  for (Square q : all_men(p.second)) put(q);
  if (__builtin_popcountll(occ) != n) return false;
  for (Square q : p.first.men[0])
    if (q < 8 || q > 55) return false;
  for (Square q : p.second.men[0])
    if (q < 8 || q > 55) return false;
  if (touching(p.first.king, p.second.king)) return false;
  const SideMen& mover = p.side == 0 ? p.first : p.second;
  const SideMen& other = p.side == 0 ? p.second : p.first;
  bool mover_white = (p.side == 0) == (p.flip == 0);
  for (int t = 0; t < 5; ++t)
    for (Square q : mover.men[t])
      if (attacks(t, mover_white, q, other.king, occ)) return false;
  if (p.ep != 127 && !ep_possible(p, p.ep)) return false;
  return true;
}

RefPosition random_position(const std::string& name, int side, bool want_ep, std::mt19937_64& rng) {
  std::array<std::array<int, 5>, 2> c;
  RefPosition p;
  p.name = name;
  p.side = side;
  if (!class_men(name, &c)) return p;
  auto rnd = [&](u32 n) { return static_cast<u32>(rng() % n); };
  for (;;) {
    p.flip = static_cast<int>(rnd(2));
    p.ep = 127;
    u64 occ = 0;
    auto take = [&](Square s) {
      occ |= bit(s);
      return s;
    };
    auto free_square = [&](bool pawn) {
      for (;;) {
        Square s = pawn ? 8 + rnd(48) : rnd(64);
        if (!(occ & bit(s))) return take(s);
      }
    };
    // Kings: mostly anywhere, sometimes on a long diagonal or an edge.
    auto king_square = [&]() {
      u32 mode = rnd(8);
      for (;;) {
        Square s;
        if (mode == 0) {
          u32 i = rnd(8);
          s = rnd(2) ? i * 9 : 7 * (i + 1);
        } else if (mode == 1) {
          u32 i = rnd(8);
          s = rnd(2) ? (rnd(2) ? i : 56 + i) : (rnd(2) ? i * 8 : i * 8 + 7);
        } else {
          s = rnd(64);
        }
        if (!(occ & bit(s))) return take(s);
      }
    };
    p.first = SideMen{};
    p.second = SideMen{};
    p.first.king = king_square();
    p.second.king = king_square();
    SideMen& mover = side == 0 ? p.first : p.second;
    SideMen& other = side == 0 ? p.second : p.first;
    std::array<std::array<int, 5>, 2> left = c;
    if (want_ep) {
      bool mover_white = (side == 0) == (p.flip == 0);
      u32 f = rnd(8);
      Square ep = make_square(f, mover_white ? 5 : 2);
      Square pushed = mover_white ? ep - 8 : ep + 8;
      Square start = mover_white ? ep + 8 : ep - 8;
      int cf = static_cast<int>(f) + (rnd(2) ? 1 : -1);
      if (cf < 0 || cf > 7) continue;
      Square capturer = make_square(cf, rank(pushed));
      if (occ & (bit(ep) | bit(pushed) | bit(start) | bit(capturer))) continue;
      other.men[0].push_back(take(pushed));
      mover.men[0].push_back(take(capturer));
      occ |= bit(ep) | bit(start);  // kept empty while the rest is placed
      --left[side == 0 ? 1 : 0][0];
      --left[side == 0 ? 0 : 1][0];
      if (left[0][0] < 0 || left[1][0] < 0) return p;  // no pawns on both sides
      for (int s = 0; s < 2; ++s)
        for (int t = 0; t < 5; ++t)
          for (int i = 0; i < left[s][t]; ++i) (s == 0 ? p.first : p.second).men[t].push_back(free_square(t == 0));
      occ &= ~(bit(ep) | bit(start));
      p.ep = ep;
    } else {
      for (int s = 0; s < 2; ++s)
        for (int t = 0; t < 5; ++t)
          for (int i = 0; i < left[s][t]; ++i) (s == 0 ? p.first : p.second).men[t].push_back(free_square(t == 0));
    }
    if (is_legal(p)) return p;
  }
}

std::array<u32, 16> piece_list(const SideMen& s, u32 filler) {
  std::array<u32, 16> l;
  l.fill(filler);
  for (int t = 0; t < 5; ++t)
    for (size_t i = 0; i < s.men[t].size(); ++i) l[t * 3 + i] = s.men[t][i];
  l[15] = s.king;
  return l;
}

}  // namespace orvex::tbref

namespace orvex::tbref {
namespace {

struct Man {
  int side;  // 0 first, 1 second
  int type;
};

// Every placement of `todo` (like men of one side in ascending squares) onto
// the free squares, calling visit for each complete one.
template <typename Visit>
void place(RefPosition& p, const std::vector<Man>& todo, size_t i, u64 occ, Visit&& visit) {
  if (i == todo.size()) {
    visit();
    return;
  }
  const Man& m = todo[i];
  auto& group = (m.side == 0 ? p.first : p.second).men[m.type];
  Square lo = m.type == 0 ? 8 : 0, hi = m.type == 0 ? 55 : 63;
  bool after_like = i > 0 && todo[i - 1].side == m.side && todo[i - 1].type == m.type;
  if (after_like) lo = std::max<Square>(lo, group.back() + 1);
  for (Square s = lo; s <= hi; ++s) {
    if (occ & bit(s)) continue;
    group.push_back(s);
    place(p, todo, i + 1, occ | bit(s), visit);
    group.pop_back();
  }
}

std::vector<Man> men_of(const std::array<std::array<int, 5>, 2>& c, int only_side = -1) {
  std::vector<Man> v;
  for (int s = 0; s < 2; ++s)
    for (int t = 0; t < 5; ++t)
      for (int i = 0; i < c[s][t]; ++i)
        if (only_side < 0 || only_side == s) v.push_back({s, t});
  return v;
}

// The legal numbers of p with every en-passant square it allows, and without.
template <typename Take>
void numbers_of(RefPosition& p, bool both_pawns, Take&& take) {
  p.ep = 127;
  if (!is_legal(p)) return;
  take(reference_index(p));
  if (!both_pawns) return;
  const SideMen& other = p.side == 0 ? p.second : p.first;
  for (Square q : other.men[0]) {
    for (Square e : {q + 8, q - 8}) {
      if (e > 63 || !ep_possible(p, e)) continue;
      p.ep = e;
      if (is_legal(p)) take(reference_index(p));
    }
  }
  p.ep = 127;
}

}  // namespace

u64 largest_legal_number(const std::string& name, int side) {
  std::array<std::array<int, 5>, 2> c;
  if (!class_men(name, &c)) return kRefBad;
  bool pawns = c[0][0] + c[1][0] > 0;
  bool both_pawns = c[0][0] > 0 && c[1][0] > 0;
  std::vector<std::pair<Square, Square>> kings;  // mover's king, other king
  if (pawns)
    kings = {{59, 63}, {3, 7}};
  else
    kings = {{27, 63}};
  RefPosition p;
  p.name = name;
  p.side = side;
  u64 best = 0;
  bool any = false;
  auto take = [&](u64 v) {
    if (v == kRefBad) return;
    if (!any || v > best) best = v;
    any = true;
  };
  int first_men = 0, second_men = 0;
  for (int t = 0; t < 5; ++t) first_men += c[0][t], second_men += c[1][t];
  bool pawnless_two_two = !pawns && first_men == 2 && second_men == 2;
  for (auto [mk, ok] : kings) {
    p.first = SideMen{};
    p.second = SideMen{};
    (side == 0 ? p.first : p.second).king = mk;
    (side == 0 ? p.second : p.first).king = ok;
    u64 occ = bit(mk) | bit(ok);
    if (!pawnless_two_two) {
      place(p, men_of(c), 0, occ, [&] { numbers_of(p, both_pawns, take); });
      continue;
    }
    // The number is block * radix + the other side's digits: find the blocks
    // of the mover's placements (with any other placement), then complete
    // the highest blocks first.
    const auto& oc = c[side == 0 ? 1 : 0];
    bool other_like = false;
    for (int t = 0; t < 5; ++t) other_like = other_like || oc[t] == 2;
    u64 radix = other_like ? 1770 : 3540;
    std::vector<std::pair<u64, std::array<Square, 2>>> blocks;
    int mover_index = side == 0 ? 0 : 1;
    place(p, men_of(c, mover_index), 0, occ, [&] {
      // Any placement of the other men fixes the block.
      RefPosition q = p;
      u64 o2 = 0;
      for (Square s : all_men(q.first)) o2 |= bit(s);
      for (Square s : all_men(q.second)) o2 |= bit(s);
      o2 |= occ;
      SideMen& om = side == 0 ? q.second : q.first;
      for (int t = 0; t < 5; ++t)
        for (int i = 0; i < oc[t]; ++i) {
          Square s = 0;
          while (o2 & bit(s)) ++s;
          om.men[t].push_back(s);
          o2 |= bit(s);
        }
      std::array<Square, 2> sq{};
      int n = 0;
      const SideMen& mm = side == 0 ? p.first : p.second;
      for (int t = 0; t < 5; ++t)
        for (Square s : mm.men[t]) sq[n++] = s;
      blocks.push_back({reference_index(q) / radix, sq});
    });
    std::sort(blocks.begin(), blocks.end(), [](const auto& a, const auto& b) { return a.first > b.first; });
    std::vector<Man> mover_men = men_of(c, mover_index);
    std::vector<Man> other_men = men_of(c, 1 - mover_index);
    u64 top_block = 0;
    bool found = false;
    for (const auto& [block, sq] : blocks) {
      if (found && block < top_block) break;
      SideMen& mm = side == 0 ? p.first : p.second;
      mm.men = {};
      for (size_t i = 0; i < mover_men.size(); ++i) mm.men[mover_men[i].type].push_back(sq[i]);
      u64 o2 = occ | bit(sq[0]) | bit(sq[1]);
      place(p, other_men, 0, o2, [&] {
        p.ep = 127;
        if (!is_legal(p)) return;
        take(reference_index(p));
        found = true;
        top_block = block;
      });
      mm.men = {};
    }
  }
  return any ? best : kRefBad;
}

}  // namespace orvex::tbref
