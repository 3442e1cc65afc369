// The order and keys of the generated moves, the exchange test and the picker's
// sequence, compared position by position with a slow, literal rendering of
// the ordering rules on a plain 64-square board (rays walked square by square,
// no shared tables).  Perft proves the move sets; this proves the order the
// search sees them in.
#include <gtest/gtest.h>

#include <algorithm>
#include <random>
#include <string>
#include <vector>

#include "position/fen.h"
#include "position/legality.h"
#include "position/make_move.h"
#include "position/move_picker.h"
#include "position/perft.h"
#include "position/see.h"
#include "tests/position/move_helpers.h"
#include "tests/position/perft_cases.h"
#include "tests/position/reference_board.h"

namespace orvex {
namespace {

namespace literal {

struct Board {
  PieceCode sq[64];
  Colour stm;
  CastlingRights castling;
  int ep;  // -1 for none
};

Board from_engine() {
  const Position& p = current_position;
  Board b{};
  for (int s = 0; s < 64; ++s) b.sq[s] = p.board[s];
  b.stm = p.side_to_move;
  b.castling = p.state.castling;
  b.ep = p.state.ep_square ? int(p.state.ep_square) : -1;
  return b;
}

bool on(int f, int r) { return f >= 0 && f < 8 && r >= 0 && r < 8; }
int file(int s) { return s & 7; }
int rank(int s) { return s >> 3; }
u64 one(int s) { return u64{1} << s; }

// Line kinds: 0 the a8-h1 direction (file + rank constant), 1 the a1-h8
// direction, 2 rank, 3 file.
constexpr int kLineDirs[4][2] = {{1, -1}, {1, 1}, {1, 0}, {0, 1}};

// Squares a slider on s sees along line kind k: each way up to and including
// the first occupied square.
u64 line_set(const Board& b, int s, int k) {
  u64 set = 0;
  for (int sign : {1, -1}) {
    const int df = kLineDirs[k][0] * sign, dr = kLineDirs[k][1] * sign;
    for (int f = file(s) + df, r = rank(s) + dr; on(f, r); f += df, r += dr) {
      set |= one(r * 8 + f);
      if (b.sq[r * 8 + f]) break;
    }
  }
  return set;
}
u64 diagonals(const Board& b, int s) { return line_set(b, s, 0) | line_set(b, s, 1); }
u64 straights(const Board& b, int s) { return line_set(b, s, 2) | line_set(b, s, 3); }

u64 leaper(int s, const int (&d)[8][2]) {
  u64 set = 0;
  for (auto& x : d)
    if (on(file(s) + x[0], rank(s) + x[1])) set |= one((rank(s) + x[1]) * 8 + file(s) + x[0]);
  return set;
}
constexpr int kKnight8[8][2] = {{1, 2}, {2, 1}, {2, -1}, {1, -2}, {-1, -2}, {-2, -1}, {-2, 1}, {-1, 2}};
constexpr int kKing8[8][2] = {{1, 1}, {1, 0}, {1, -1}, {0, -1}, {-1, -1}, {-1, 0}, {-1, 1}, {0, 1}};
u64 knight_set(int s) { return leaper(s, kKnight8); }
u64 king_set(int s) { return leaper(s, kKing8); }

// Squares a pawn of colour c on s attacks.
u64 pawn_hits(Colour c, int s) {
  const int r = rank(s) + (c == kWhite ? 1 : -1);
  u64 set = 0;
  for (int df : {-1, 1})
    if (on(file(s) + df, r)) set |= one(r * 8 + file(s) + df);
  return set;
}

u64 attack_set(const Board& b, PieceType t, int s) {
  switch (t) {
    case kKnight: return knight_set(s);
    case kBishop: return diagonals(b, s);
    case kRook: return straights(b, s);
    case kQueen: return diagonals(b, s) | straights(b, s);
    case kKing: return king_set(s);
    default: return 0;
  }
}

u64 of(const Board& b, PieceType t, Colour c) {
  u64 set = 0;
  for (int s = 0; s < 64; ++s)
    if (b.sq[s] == make_piece(t, c)) set |= one(s);
  return set;
}
u64 colour_set(const Board& b, Colour c) {
  u64 set = 0;
  for (int s = 0; s < 64; ++s)
    if (b.sq[s] && colour_of(b.sq[s]) == c) set |= one(s);
  return set;
}
u64 occupied(const Board& b) { return colour_set(b, kWhite) | colour_set(b, kBlack); }

u64 attacked_by(const Board& b, Colour by) {
  u64 set = 0;
  for (int s = 0; s < 64; ++s)
    if (b.sq[s] && colour_of(b.sq[s]) == by)
      set |= is_pawn(b.sq[s]) ? pawn_hits(by, s) : attack_set(b, type_of(b.sq[s]), s);
  return set;
}

std::vector<int> squares(u64 set) {
  std::vector<int> out;
  for (int s = 0; s < 64; ++s)
    if (set & one(s)) out.push_back(s);
  return out;
}

int lowest(u64 set) { return squares(set).front(); }

struct Dirs {
  int forward, toward_a, toward_h, second_rank, seventh_rank, last_rank, third_rank;
};
Dirs dirs(Colour c) {
  return c == kWhite ? Dirs{8, 7, 9, 1, 6, 7, 2} : Dirs{-8, -9, -7, 6, 1, 0, 5};
}

// The capture toward the a-file (file - 1) or the h-file (file + 1) from s, -1
// when it leaves the board.
int pawn_capture(Colour c, int s, bool toward_a) {
  const int f = file(s) + (toward_a ? -1 : 1), r = rank(s) + (c == kWhite ? 1 : -1);
  return on(f, r) ? r * 8 + f : -1;
}

struct Keyed {
  std::vector<u32> moves, keys;
  void add(u32 m, u32 k) {
    moves.push_back(m);
    keys.push_back(k);
  }
};

u32 capture_key(PieceCode victim, PieceType mover) { return 6 * type_of(victim) + 22 - mover; }

// Captures with their keys for target set T of the side to move.
Keyed captures(const Board& b, u64 T) {
  const Colour c = b.stm;
  const Dirs d = dirs(c);
  Keyed out;
  for (PieceType t : {kKnight, kBishop, kRook, kQueen, kKing})
    for (int s : squares(of(b, t, c)))
      for (int to : squares(attack_set(b, t, s) & T)) out.add(make_move_code(s, to), capture_key(b.sq[to], t));
  auto promotions = [&](int from, int to, u32 queen_key) {
    out.add(make_move_code(from, to, kMovePromoQueen), queen_key);
    out.add(make_move_code(from, to, kMovePromoKnight), 0);
    out.add(make_move_code(from, to, kMovePromoRook), 0);
  };
  for (int s : squares(of(b, kPawn, c))) {
    if (rank(s) != d.seventh_rank) continue;
    if (!b.sq[s + d.forward]) promotions(s, s + d.forward, 15);
    for (bool toward_a : {true, false}) {
      const int to = pawn_capture(c, s, toward_a);
      if (to >= 0 && (T & one(to))) promotions(s, to, capture_key(b.sq[to], kPawn));
    }
  }
  for (bool toward_a : {true, false})
    for (int to = 0; to < 64; ++to) {
      if (!(T & one(to))) continue;
      for (int from : squares(of(b, kPawn, c)))
        if (rank(from) != d.seventh_rank && pawn_capture(c, from, toward_a) == to)
          out.add(make_move_code(from, to), capture_key(b.sq[to], kPawn));
    }
  if (b.ep >= 0)
    for (bool toward_a : {true, false})
      for (int from : squares(of(b, kPawn, c)))
        if (pawn_capture(c, from, toward_a) == b.ep) out.add(make_move_code(from, b.ep, kMoveEnPassant), 22);
  return out;
}

// Quiet moves keyed by history and sorted, highest key first, ties in
// generation order; the skipped moves left out.
std::vector<u32> quiets(const Board& b, u64 attacked, const std::vector<u32>& skip, const u32* history) {
  const Colour c = b.stm;
  const Dirs d = dirs(c);
  Keyed out;
  auto add = [&](int from, int to, u32 flags) {
    const u32 m = make_move_code(from, to, flags);
    if (std::find(skip.begin(), skip.end(), m) == skip.end()) out.add(m, history[(b.sq[from] - 2) * 64 + to]);
  };
  const int home = c == kWhite ? 4 : 60;
  const CastlingRights s_right = c == kWhite ? kCastleWhiteShort : kCastleBlackShort;
  const CastlingRights l_right = c == kWhite ? kCastleWhiteLong : kCastleBlackLong;
  if ((b.castling & s_right) && !b.sq[home + 1] && !b.sq[home + 2] && !(attacked & (one(home + 1) | one(home + 2))))
    add(home, home + 2, kMoveCastle);
  if ((b.castling & l_right) && !b.sq[home - 1] && !b.sq[home - 2] && !b.sq[home - 3] &&
      !(attacked & (one(home - 1) | one(home - 2))))
    add(home, home - 2, kMoveCastle);
  for (int to = 0; to < 64; ++to) {
    const int from = to - d.forward;
    if (from < 0 || from > 63 || b.sq[from] != make_piece(kPawn, c) || b.sq[to] || rank(to) == d.last_rank) continue;
    if (rank(to) == d.third_rank && !b.sq[to + d.forward]) add(from, to + d.forward, 0);
    add(from, to, 0);
  }
  for (PieceType t : {kKnight, kQueen, kBishop, kRook, kKing})
    for (int s : squares(of(b, t, c)))
      for (int to : squares(attack_set(b, t, s) & ~occupied(b))) add(s, to, 0);
  std::vector<size_t> order(out.moves.size());
  for (size_t i = 0; i < order.size(); ++i) order[i] = i;
  std::stable_sort(order.begin(), order.end(), [&](size_t x, size_t y) { return out.keys[x] > out.keys[y]; });
  std::vector<u32> sorted;
  for (size_t i : order) sorted.push_back(out.moves[i]);
  return sorted;
}

// Squares strictly between k and x plus x when they share a line, else x; and
// the square next to k on the far side from x (-1 when none).
u64 interpose(int k, int x) {
  const int df = file(x) - file(k), dr = rank(x) - rank(k);
  if (!(df == 0 || dr == 0 || df == dr || df == -dr)) return one(x);
  const int sf = (df > 0) - (df < 0), sr = (dr > 0) - (dr < 0);
  u64 set = one(x);
  for (int f = file(k) + sf, r = rank(k) + sr; r * 8 + f != x; f += sf, r += sr) set |= one(r * 8 + f);
  return set;
}
u64 escape(const Board& b, int k, int x) {
  if (is_pawn(b.sq[x])) return ~u64{0};
  const int df = file(x) - file(k), dr = rank(x) - rank(k);
  if (!(df == 0 || dr == 0 || df == dr || df == -dr)) return ~u64{0};
  const int f = file(k) - ((df > 0) - (df < 0)), r = rank(k) - ((dr > 0) - (dr < 0));
  return on(f, r) ? ~one(r * 8 + f) : ~u64{0};
}

std::vector<u32> evasions(const Board& b, u64 king_free) {
  const Colour c = b.stm, o = c ^ 1;
  const Dirs d = dirs(c);
  const int k = lowest(of(b, kKing, c));
  std::vector<u32> out;
  auto pawn_to = [&](int from, int to) {
    if (rank(to) == d.last_rank) {
      out.push_back(make_move_code(from, to, kMovePromoQueen));
      out.push_back(make_move_code(from, to, kMovePromoKnight));
      out.push_back(make_move_code(from, to, kMovePromoRook));
    } else {
      out.push_back(make_move_code(from, to));
    }
  };
  const u64 checkers = (straights(b, k) & (of(b, kRook, o) | of(b, kQueen, o))) |
                       (diagonals(b, k) & (of(b, kBishop, o) | of(b, kQueen, o))) |
                       (knight_set(k) & of(b, kKnight, o)) | (pawn_hits(c, k) & of(b, kPawn, o));
  const std::vector<int> cs = squares(checkers);
  const int x = cs.at(0);
  u64 king_to = king_set(k) & ~colour_set(b, c) & king_free & escape(b, k, x);
  if (cs.size() > 1) king_to &= escape(b, k, cs[1]);
  for (int to : squares(king_to)) out.push_back(make_move_code(k, to));
  if (cs.size() > 1) return out;
  for (bool toward_a : {false, true})
    for (int from : squares(of(b, kPawn, c)))
      if (pawn_capture(c, from, toward_a) == x) pawn_to(from, x);
  if (b.ep >= 0 && b.ep == x + d.forward)
    for (bool toward_a : {false, true})
      for (int from : squares(of(b, kPawn, c)))
        if (pawn_capture(c, from, toward_a) == b.ep) out.push_back(make_move_code(from, b.ep, kMoveEnPassant));
  const u64 I = interpose(k, x), block = I & ~one(x);
  for (int from : squares(of(b, kPawn, c)))
    if (block & one(from + d.forward)) pawn_to(from, from + d.forward);
  for (int from : squares(of(b, kPawn, c)))
    if (rank(from) == d.second_rank && !b.sq[from + d.forward] && (block & one(from + 2 * d.forward)))
      out.push_back(make_move_code(from, from + 2 * d.forward));
  for (int s : squares(of(b, kKnight, c)))
    for (int to : squares(knight_set(s) & I)) out.push_back(make_move_code(s, to));
  for (int s : squares(of(b, kBishop, c) | of(b, kQueen, c)))
    for (int to : squares(diagonals(b, s) & I)) out.push_back(make_move_code(s, to));
  for (int s : squares(of(b, kRook, c) | of(b, kQueen, c)))
    for (int to : squares(straights(b, s) & I)) out.push_back(make_move_code(s, to));
  return out;
}

// Squares on neither line of kinds k1, k2 through s (s excluded).
u64 off_lines(int s, int k1, int k2) {
  Board empty{};
  return ~(line_set(empty, s, k1) | line_set(empty, s, k2) | one(s));
}

std::vector<u32> quiet_checks(const Board& b, u64 F) {
  const Colour c = b.stm, o = c ^ 1;
  const Dirs d = dirs(c);
  const u64 own = colour_set(b, c), D = F & ~own, N = colour_set(b, o) & F;
  const int k = lowest(of(b, kKing, o));
  const u64 KD1 = line_set(b, k, 0) & F, KD2 = line_set(b, k, 1) & F, KR = line_set(b, k, 2) & F,
            KF = line_set(b, k, 3) & F;
  std::vector<u32> out;
  auto all = [&](int from, u64 set) {
    for (int to : squares(set)) out.push_back(make_move_code(from, to));
  };
  auto pawn_blocker = [&](int s, bool pushes) {
    if (pushes && rank(s + d.forward) != d.last_rank && !b.sq[s + d.forward]) {
      out.push_back(make_move_code(s, s + d.forward));
      if (rank(s) == d.second_rank && !b.sq[s + 2 * d.forward])
        out.push_back(make_move_code(s, s + 2 * d.forward));
    }
    for (bool toward_a : {false, true}) {
      const int to = pawn_capture(c, s, toward_a);
      if (to >= 0 && (N & one(to))) out.push_back(make_move_code(s, to));
    }
  };
  for (int s : squares(of(b, kKnight, c))) all(s, knight_set(s) & knight_set(k) & D);
  for (int s : squares(of(b, kBishop, c) | of(b, kQueen, c))) {
    const u64 SD1 = line_set(b, s, 0), SD2 = line_set(b, s, 1);
    const u64 B = (SD1 & KD1) | (SD2 & KD2);
    if (B) {
      const int x = lowest(B);
      const PieceCode code = b.sq[x];
      if (code == make_piece(kPawn, o)) out.push_back(make_move_code(s, x));
      else if (code == make_piece(kPawn, c)) pawn_blocker(x, true);
      else if (code == make_piece(kKnight, c)) all(x, knight_set(x) & D);
      else if (code == make_piece(kRook, c)) all(x, straights(b, x) & D);
      else if (code == make_piece(kKing, c)) all(x, king_set(x) & D & off_lines(k, 0, 1));
    } else {
      u64 to = (SD1 & KD2) | (SD2 & KD1);
      if (b.sq[s] == make_piece(kQueen, c)) to |= (straights(b, s) & (KD1 | KD2)) | ((SD1 | SD2) & (KR | KF));
      all(s, to & D);
    }
  }
  for (int s : squares(of(b, kRook, c) | of(b, kQueen, c))) {
    const u64 SR = line_set(b, s, 2), SF = line_set(b, s, 3);
    const u64 B = (SF & KF) | (SR & KR);
    if (B) {
      const int x = lowest(B);
      const PieceCode code = b.sq[x];
      if (code == make_piece(kPawn, o)) out.push_back(make_move_code(s, x));
      else if (code == make_piece(kPawn, c)) pawn_blocker(x, rank(x) == rank(s));
      else if (code == make_piece(kKnight, c)) all(x, knight_set(x) & D);
      else if (code == make_piece(kBishop, c)) all(x, diagonals(b, x) & D);
      else if (code == make_piece(kKing, c)) all(x, king_set(x) & D & off_lines(k, 2, 3));
    } else {
      all(s, ((SR & KF) | (SF & KR)) & D);
    }
  }
  // The squares from which an own pawn attacks k: the h-side one (file + 1)
  // and the a-side one (file - 1), one rank behind k as seen by the mover.
  const int behind = rank(k) - (c == kWhite ? 1 : -1);
  const int h_side = on(file(k) + 1, behind) ? behind * 8 + file(k) + 1 : -1;
  const int a_side = on(file(k) - 1, behind) ? behind * 8 + file(k) - 1 : -1;
  const PieceCode pawn = make_piece(kPawn, c);
  auto pawn_at = [&](int s) { return s >= 0 && s < 64 && b.sq[s] == pawn; };
  for (int t : {h_side, a_side})
    if (t >= 0 && !b.sq[t] && pawn_at(t - d.forward)) out.push_back(make_move_code(t - d.forward, t));
  for (bool toward_a : {true, false})
    for (int t : {h_side, a_side}) {
      if (t < 0 || !(N & one(t))) continue;
      for (int from : squares(of(b, kPawn, c)))
        if (pawn_capture(c, from, toward_a) == t) out.push_back(make_move_code(from, t));
    }
  for (int t : {h_side, a_side}) {
    const int mid = t - d.forward, from = t - 2 * d.forward;
    if (t < 0 || from < 0 || from >= 64 || b.sq[t] || b.sq[mid]) continue;
    if (pawn_at(from) && rank(from) == d.second_rank) out.push_back(make_move_code(from, t));
  }
  return out;
}

int see_value(PieceCode p) {
  static const int v[6] = {1, 3, 3, 5, 10, 9999};
  return p ? v[type_of(p)] : 0;
}

int line_kind(int a, int t) {
  if (a == t) return -1;
  const int df = file(t) - file(a), dr = rank(t) - rank(a);
  if (df + dr == 0) return 0;
  if (df == dr) return 1;
  if (dr == 0) return 2;
  if (df == 0) return 3;
  return -1;
}

bool see_safe(const Board& b, u32 m) {
  const Colour c = b.stm, o = c ^ 1;
  const int from = move_from(m), to = move_to(m);
  const PieceCode a = b.sq[from], v = b.sq[to];
  if (see_value(v) >= see_value(a) || (m & kMoveEnPassant)) return true;
  if (of(b, kPawn, o) & pawn_hits(c, to)) return false;
  const int d = see_value(a) - see_value(v);
  if (d >= 4 && (of(b, kKnight, o) & knight_set(to))) return false;
  if (d >= 4 && (of(b, kBishop, o) & diagonals(b, to))) return false;
  if (of(b, kPawn, c) & pawn_hits(o, to)) return true;

  u64 U = ~(one(from) | one(to));
  auto both = [&](PieceType t) { return of(b, t, kWhite) | of(b, t, kBlack); };
  auto xray = [&](int s) -> u64 {
    const int k = line_kind(s, to);
    if (k < 0) return 0;
    const u64 sliders = both(kQueen) | (k <= 1 ? both(kBishop) : both(kRook));
    return line_set(b, s, k) & U & sliders;
  };
  u64 A = U & ((both(kKnight) & knight_set(to)) | ((both(kBishop) | both(kQueen)) & diagonals(b, to)) |
               ((both(kRook) | both(kQueen)) & straights(b, to)) | (both(kKing) & king_set(to)));
  A |= xray(from);
  int balance = see_value(v) - see_value(a);
  auto cheapest = [&](Colour side) {
    const std::pair<PieceType, int> kinds[4] = {{kKnight, 3}, {kBishop, 3}, {kRook, 5}, {kQueen, 10}};
    for (auto [t, value] : kinds) {
      const u64 set = A & of(b, t, side);
      if (!set) continue;
      const int s = lowest(set);
      A &= ~one(s);
      if (t != kKnight) A |= xray(s);
      return value;
    }
    return 0;
  };
  for (;;) {
    U &= ~A;
    int value = cheapest(o);
    if (!value) {
      if (!(A & of(b, kKing, o))) return true;
      value = 1999;
    }
    balance += value;
    if (balance < 0) return false;
    value = cheapest(c);
    if (!value) {
      if (!(A & of(b, kKing, c))) return false;
      if (balance > 1000) return true;
      value = 2999;
    }
    balance -= value;
    if (balance >= 0) return true;
  }
}

}  // namespace literal

using Rec = testing::PickerRecord;

std::string text(const std::vector<u32>& moves) {
  std::string s;
  for (u32 m : moves) {
    if (!s.empty()) s += ' ';
    s += reference::move_text(m);
    if (m & kMoveCastle) s += '+';
    if (m & kMoveEnPassant) s += '*';
  }
  return s;
}
// FEN text of current_position (for failure messages).
std::string fen_text() {
  const Position& p = current_position;
  std::string s;
  for (int r = 7; r >= 0; --r) {
    int gap = 0;
    for (int f = 0; f < 8; ++f) {
      const PieceCode code = p.board[r * 8 + f];
      if (!code) {
        ++gap;
        continue;
      }
      if (gap) s += char('0' + gap), gap = 0;
      s += "PpNnBbRrQqKk"[code - 2];
    }
    if (gap) s += char('0' + gap);
    if (r) s += '/';
  }
  s += p.side_to_move == kWhite ? " w " : " b ";
  const char* rights = "KQkq";
  std::string r;
  for (int i = 0; i < 4; ++i)
    if (p.state.castling & (1u << i)) r += rights[i];
  s += r.empty() ? "-" : r;
  s += ' ';
  if (p.state.ep_square) {
    s += char('a' + (p.state.ep_square & 7));
    s += char('1' + (p.state.ep_square >> 3));
  } else {
    s += '-';
  }
  return s;
}

std::string keys_text(const std::vector<u32>& keys) {
  std::string s;
  for (u32 k : keys) s += std::to_string(k) + ' ';
  return s;
}

class OrderCheck {
 public:
  explicit OrderCheck(u32 seed) : rng_(seed) {}

  // Compares everything at the current position; returns false after the
  // first difference (reported through gtest).
  bool check(const std::string& where) {
    const Position& p = current_position;
    const literal::Board b = literal::from_engine();
    const Colour c = p.side_to_move;
    const u64 attacks_them = attack_set(c ^ 1);
    EXPECT_EQ(attacks_them, literal::attacked_by(b, c ^ 1)) << where;
    const u64 pawns = p.piece_bb[kWhitePawn - 2] | p.piece_bb[kBlackPawn - 2];
    if (king_attacked(c)) {
      MovePair list[kMaxMoves / 2];
      const MovePair* last = generate_evasions(list, ~attacks_them);
      std::vector<u32> got;
      for (const MovePair* e = list; e <= last; ++e) got.push_back(e->move);
      const std::string want = text(literal::evasions(b, ~attacks_them));
      EXPECT_EQ(text(got), want) << where << " evasions";
      return text(got) == want;
    }
    bool same = true;
    // Captures and their keys, with the full target sets and without pawns.
    for (bool without_pawns : {false, true}) {
      const u64 t_black = p.colour_bb[kWhite] & ~(without_pawns ? pawns : 0);
      const u64 t_white = p.colour_bb[kBlack] & ~(without_pawns ? pawns : 0);
      SearchMove moves[kMaxMoves];
      u32 keys[kMaxCaptures];
      generate_captures(moves, keys, t_black, t_white);
      std::vector<u32> got_moves, got_keys;
      for (u32 i = 0; moves[i]; ++i) got_moves.push_back(moves[i]), got_keys.push_back(keys[i]);
      const literal::Keyed want = literal::captures(b, c == kWhite ? t_white : t_black);
      EXPECT_EQ(text(got_moves), text(want.moves)) << where << " captures";
      EXPECT_EQ(keys_text(got_keys), keys_text(want.keys)) << where << " capture keys";
      same = same && got_moves == want.moves && got_keys == want.keys;
      SearchMove checks[kMaxMoves];
      generate_quiet_checks(checks, ~t_black, ~t_white);
      std::vector<u32> got_checks(checks, std::find(checks, checks + kMaxMoves, 0u));
      const std::vector<u32> want_checks = literal::quiet_checks(b, ~(c == kWhite ? t_white : t_black));
      EXPECT_EQ(text(got_checks), text(want_checks)) << where << " quiet checks";
      same = same && got_checks == want_checks;
      for (u32 m : got_checks) EXPECT_EQ(is_see_safe(m), literal::see_safe(b, m)) << where << " see " << text({m});
    }
    // Quiet moves by a random history with many ties, some left out.
    for (u32& h : history_) h = rng_() % 3;
    std::vector<u32> all;
    {
      SearchMove moves[kMaxMoves];
      generate_all_moves(moves);
      for (SearchMove* m = moves; *m; ++m) all.push_back(*m);
    }
    auto some = [&]() -> u32 { return all.empty() || rng_() % 3 == 0 ? 0 : all[rng_() % all.size()]; };
    const std::vector<u32> skip = {some(), some(), some(), some(), some()};
    SearchMove quiet[kMaxMoves];
    generate_quiet_moves(quiet, attacks_them, skip[0], skip[1], skip[2], skip[3], skip[4], history_);
    std::vector<u32> got_quiet(quiet, std::find(quiet, quiet + kMaxMoves, 0u));
    const std::vector<u32> want_quiet = literal::quiets(b, attacks_them, skip, history_);
    EXPECT_EQ(text(got_quiet), text(want_quiet)) << where << " quiet moves";
    same = same && got_quiet == want_quiet;
    // The exchange test on every capture and quiet move.
    for (u32 m : all) {
      const bool got = is_see_safe(m), want = literal::see_safe(b, m);
      EXPECT_EQ(got, want) << where << " see " << text({m});
      same = same && got == want;
    }
    // The picker: hash move, good captures by key, killers, quiet moves by
    // history, losing captures.
    Rec rec;
    rec.attacks_them = attacks_them;
    for (int i = 0; i < 4; ++i) {
      rec.killers[i] = rng_() % 2 ? some() : foreign();
      for (int j = 0; j < i; ++j)
        if (rec.killers[j] == rec.killers[i]) rec.killers[i] = 0;
    }
    const u32 hash = rng_() % 2 ? some() : foreign();
    MovePicker picker;
    start_picker(picker, hash);
    std::vector<u32> got_picked;
    while (SearchMove m = next_move(picker, rec, history_)) got_picked.push_back(m);
    const std::vector<u32> want_picked = literal_picker(b, rec, hash);
    EXPECT_EQ(text(got_picked), text(want_picked)) << where << " picker";
    same = same && got_picked == want_picked;
    for (u32 m : all) foreign_.push_back(m);
    if (foreign_.size() > 2048) foreign_.erase(foreign_.begin(), foreign_.begin() + 1024);
    return same;
  }

 private:
  u32 foreign() { return foreign_.empty() ? 0 : foreign_[rng_() % foreign_.size()]; }

  std::vector<u32> literal_picker(const literal::Board& b, const Rec& rec, u32 hash) {
    std::vector<u32> out, bad;
    if (hash && is_pseudo_legal(hash)) out.push_back(hash);
    literal::Keyed caps = literal::captures(b, literal::colour_set(b, b.stm ^ 1));
    for (size_t i = 0; i < caps.moves.size(); ++i) {
      for (size_t j = i + 1; j < caps.moves.size(); ++j)
        if (caps.keys[j] > caps.keys[i]) std::swap(caps.moves[i], caps.moves[j]), std::swap(caps.keys[i], caps.keys[j]);
      const u32 m = caps.moves[i];
      if (m == hash) continue;
      (literal::see_safe(b, m) ? out : bad).push_back(m);
    }
    for (u32 k : rec.killers)
      if (k != hash && is_valid_killer(k, rec.attacks_them)) out.push_back(k);
    const std::vector<u32> skip = {hash, rec.killers[0], rec.killers[1], rec.killers[2], rec.killers[3]};
    for (u32 m : literal::quiets(b, rec.attacks_them, skip, history_)) out.push_back(m);
    out.insert(out.end(), bad.begin(), bad.end());
    return out;
  }

  std::mt19937 rng_;
  u32 history_[12 * 64] = {};
  std::vector<u32> foreign_;
};

// Positions that put every rule to work: pins and shields of each kind, pawns
// that uncover, kings between sliders, promotions, en passant, x-rays.
const char* const kCrafted[] = {
    "k7/8/8/8/8/8/6P1/5KRB w - -",
    "k7/8/8/8/K7/8/8/R7 w - -",
    "4k3/8/3p4/8/4N3/8/8/4K3 w - -",
    "3r2k1/1P3ppp/2N5/3Pp3/1B2P3/2Q2N2/5PPP/R3K2R w KQ e6",
    "r3k2r/1b3ppp/p1n1pn2/1pq1N3/3P1B2/2N1P1P1/PP3PBP/R2Q1RK1 w kq -",
    "6k1/5ppp/8/3B4/2R5/1Q6/8/6K1 w - -",
    "7k/6p1/5P2/3B4/8/1Q6/2R5/K7 w - -",
    "4k3/2P5/8/1B1N4/8/8/4R3/Q3K3 w - -",
    "1k6/8/1K6/8/8/8/6Q1/1R6 w - -",
    "8/8/8/2k5/3Pp3/8/8/4K2Q b - d3",
    "3q3k/8/8/3p4/8/3R4/3R4/3QK3 w - -",
    "2r1r1k1/5ppp/8/2B5/8/2Q5/8/2R1R1K1 w - -",
    "r1b1k2r/ppppnppp/2n2q2/2b5/3NP3/2P1B3/PP3PPP/RN1QKB1R w KQkq -",
    "rnbqkbnr/pp1ppppp/8/2p5/4P3/5N2/PPPP1PPP/RNBQKB1R b KQkq -",
    "4k3/8/8/2PpP3/4K3/8/8/8 w - d6",
    "8/8/8/5k2/3pPp2/8/8/4K3 b - e3",
    "4k3/8/8/8/8/8/1p3q2/R3K2R w KQ -",
    "r3k2r/8/8/8/8/8/8/R3K1B1 b Qkq -",
};

TEST(MoveOrder, CraftedPositionsFollowTheRules) {
  OrderCheck check(1);
  for (const char* fen : kCrafted) {
    for (int side = 0; side < 2; ++side) {
      std::string f = fen;
      if (side == 1) {
        // The same position with the other side to move (en passant dropped).
        const size_t sp = f.find(' ');
        f = f.substr(0, sp) + (f[sp + 1] == 'w' ? " b " : " w ") + "- -";
      }
      parse_fen(f.c_str());
      if (king_attacked(current_position.side_to_move ^ 1)) continue;
      check.check(fen_text());
    }
  }
}

TEST(MoveOrder, RandomPlayoutsFollowTheRules) {
#ifdef ORVEX_SANITIZED
  const int games = 2;
#else
  const int games = 12;
#endif
  std::mt19937 rng(2024);
  OrderCheck check(5);
  for (const auto& c : testing::load_perft_cases()) {
    for (int g = 0; g < games; ++g) {
      parse_fen(c.fen.c_str());
      for (int ply = 0; ply < 200; ++ply) {
        if (!check.check(c.name + " game " + std::to_string(g) + " ply " + std::to_string(ply) + ": " + fen_text()))
          return;
        SearchMove moves[kMaxMoves];
        std::vector<u32> legal;
        generate_all_moves(moves);
        const Colour mover = current_position.side_to_move;
        for (SearchMove* m = moves; *m; ++m) {
          UndoRecord u;
          make_move(*m, u);
          if (!king_attacked(mover)) legal.push_back(*m);
          unmake_move(*m, u);
        }
        if (legal.empty() || current_position.state.history_count >= kKeyHistorySize - 1) break;
        UndoRecord u;
        make_move(legal[rng() % legal.size()], u);
      }
    }
  }
}

// Random placements: both kings and a random handful of men anywhere (pawns off
// the first and last ranks), the side not to move not in check.
TEST(MoveOrder, RandomPlacementsFollowTheRules) {
#ifdef ORVEX_SANITIZED
  const int positions = 300;
#else
  const int positions = 4000;
#endif
  std::mt19937 rng(77);
  OrderCheck check(9);
  const char* men = "PPPPNNBBRRQpppppnnbbrrq";
  for (int done = 0; done < positions;) {
    char board[64];
    std::fill(board, board + 64, 0);
    auto place = [&](char piece) {
      for (;;) {
        const int s = int(rng() % 64);
        if (board[s] || ((piece == 'P' || piece == 'p') && (s < 8 || s >= 56))) continue;
        board[s] = piece;
        return;
      }
    };
    place('K');
    place('k');
    const int count = 4 + int(rng() % 14);
    for (int i = 0; i < count; ++i) place(men[rng() % 23]);
    std::string fen;
    for (int r = 7; r >= 0; --r) {
      int gap = 0;
      for (int f = 0; f < 8; ++f) {
        if (!board[r * 8 + f]) {
          ++gap;
          continue;
        }
        if (gap) fen += char('0' + gap), gap = 0;
        fen += board[r * 8 + f];
      }
      if (gap) fen += char('0' + gap);
      if (r) fen += '/';
    }
    fen += rng() % 2 ? " w - -" : " b - -";
    parse_fen(fen.c_str());
    if (king_attacked(current_position.side_to_move ^ 1)) continue;
    ++done;
    if (!check.check(fen)) return;
  }
}

}  // namespace
}  // namespace orvex
