#include "tools/tbgen/solver.h"

#include <algorithm>

namespace orvex::tbgen {

namespace {

int file(u32 s) { return static_cast<int>(s & 7); }
int rank(u32 s) { return static_cast<int>(s >> 3); }
bool adjacent(u32 a, u32 b) { return a != b && std::abs(file(a) - file(b)) <= 1 && std::abs(rank(a) - rank(b)) <= 1; }
bool on_board(int f, int r) { return f >= 0 && f < 8 && r >= 0 && r < 8; }
u32 square(int f, int r) { return static_cast<u32>(r * 8 + f); }

constexpr int kKingSteps[8][2] = {{1, 0}, {-1, 0}, {0, 1}, {0, -1}, {1, 1}, {1, -1}, {-1, 1}, {-1, -1}};
constexpr int kKnightSteps[8][2] = {{1, 2}, {2, 1}, {2, -1}, {1, -2}, {-1, -2}, {-2, -1}, {-2, 1}, {-1, 2}};

// Directions a man slides or steps in, and whether it slides.
struct Moves {
  const int (*dirs)[2];
  int count;
  bool slides;
};
Moves moves_of(Man m) {
  switch (m) {
    case Man::kQueen: return {kKingSteps, 8, true};
    case Man::kRook: return {kKingSteps, 4, true};
    case Man::kBishop: return {kKingSteps + 4, 4, true};
    case Man::kKnight: return {kKnightSteps, 8, false};
    default: return {nullptr, 0, false};
  }
}

// True when the man on `from` attacks `target`, `blocker` being the only
// other square that can block (the stronger king).
bool man_attacks(Man m, u32 from, u32 target, u32 blocker) {
  if (m == Man::kPawn) {
    return rank(target) == rank(from) + 1 && std::abs(file(target) - file(from)) == 1;
  }
  const Moves mv = moves_of(m);
  for (int d = 0; d < mv.count; ++d) {
    int f = file(from) + mv.dirs[d][0], r = rank(from) + mv.dirs[d][1];
    while (on_board(f, r)) {
      const u32 s = square(f, r);
      if (s == target) return true;
      if (!mv.slides || s == blocker) break;
      f += mv.dirs[d][0];
      r += mv.dirs[d][1];
    }
  }
  return false;
}

// A move's successor: a state of the same class (the other side to move), or
// a fixed result for the side to move next.
struct Successor {
  bool fixed;
  u32 state;
  Result result;
};

void successors(Man man, const ThreeMen& p, const Solved* promoted[4], std::vector<Successor>& out) {
  out.clear();
  if (p.stm == 0) {
    for (auto& st : kKingSteps) {
      const int f = file(p.strong_king) + st[0], r = rank(p.strong_king) + st[1];
      if (!on_board(f, r)) continue;
      const u32 to = square(f, r);
      if (to == p.man || to == p.weak_king || adjacent(to, p.weak_king)) continue;
      out.push_back({false, state_index({1, to, p.weak_king, p.man}), {}});
    }
    if (man == Man::kPawn) {
      const u32 one = p.man + 8;
      if (one != p.strong_king && one != p.weak_king) {
        if (rank(one) == 7) {
          for (int k = 0; k < 4; ++k)
            out.push_back({true, 0, promoted[k]->result[state_index({1, p.strong_king, p.weak_king, one})]});
        } else {
          out.push_back({false, state_index({1, p.strong_king, p.weak_king, one}), {}});
          const u32 two = one + 8;
          if (rank(p.man) == 1 && two != p.strong_king && two != p.weak_king)
            out.push_back({false, state_index({1, p.strong_king, p.weak_king, two}), {}});
        }
      }
      return;
    }
    const Moves mv = moves_of(man);
    for (int d = 0; d < mv.count; ++d) {
      int f = file(p.man) + mv.dirs[d][0], r = rank(p.man) + mv.dirs[d][1];
      while (on_board(f, r)) {
        const u32 to = square(f, r);
        if (to == p.strong_king || to == p.weak_king) break;
        out.push_back({false, state_index({1, p.strong_king, p.weak_king, to}), {}});
        if (!mv.slides) break;
        f += mv.dirs[d][0];
        r += mv.dirs[d][1];
      }
    }
    return;
  }
  for (auto& st : kKingSteps) {
    const int f = file(p.weak_king) + st[0], r = rank(p.weak_king) + st[1];
    if (!on_board(f, r)) continue;
    const u32 to = square(f, r);
    if (to == p.strong_king || adjacent(to, p.strong_king)) continue;
    if (to == p.man) {
      out.push_back({true, 0, {Outcome::kDraw, 0}});  // the man is taken: bare kings
      continue;
    }
    if (man_attacks(man, p.man, to, p.strong_king)) continue;
    out.push_back({false, state_index({0, p.strong_king, to, p.man}), {}});
  }
}

bool in_check(Man man, const ThreeMen& p) { return p.stm == 1 && man_attacks(man, p.man, p.weak_king, p.strong_king); }

}  // namespace

const char* class_name(Man man) {
  static const char* names[] = {"kqk", "krk", "kbk", "knk", "kpk"};
  return names[static_cast<int>(man)];
}

bool is_legal(Man man, const ThreeMen& p) {
  if (p.strong_king == p.weak_king || p.man == p.strong_king || p.man == p.weak_king) return false;
  if (adjacent(p.strong_king, p.weak_king)) return false;
  if (man == Man::kPawn && (rank(p.man) == 0 || rank(p.man) == 7)) return false;
  // The side not to move may not be in check: with the stronger side to
  // move, the lone king must not be attacked.
  if (p.stm == 0 && man_attacks(man, p.man, p.weak_king, p.strong_king)) return false;
  return true;
}

Solved solve(Man man, const Solved* promoted[4]) {
  Solved out{man, std::vector<Result>(kThreeMenStates)};
  std::vector<Result>& res = out.result;
  // Successor lists, flattened.
  std::vector<u32> first(kThreeMenStates + 1, 0);
  std::vector<Successor> all, one;
  std::vector<u32> open;
  u32 longest_fixed = 0;
  for (u32 i = 0; i < kThreeMenStates; ++i) {
    first[i] = static_cast<u32>(all.size());
    const ThreeMen p = state_of(i);
    if (!is_legal(man, p)) continue;
    successors(man, p, promoted, one);
    for (const Successor& s : one) {
      if (s.fixed) longest_fixed = std::max<u32>(longest_fixed, s.result.plies);
      all.push_back(s);
    }
    if (one.empty()) {
      res[i] = in_check(man, p) ? Result{Outcome::kLoss, 0} : Result{Outcome::kDraw, 0};
    } else {
      res[i] = {Outcome::kDraw, 0xFFFF};  // undecided
      open.push_back(i);
    }
  }
  first[kThreeMenStates] = static_cast<u32>(all.size());
  auto undecided = [](const Result& r) { return r.outcome == Outcome::kDraw && r.plies == 0xFFFF; };

  // Ply by ply: a position is won at ply d when a move reaches a position
  // lost at ply d - 1, lost at ply d when every move reaches a won position
  // and the longest of those wins ends at ply d - 1.
  for (u32 d = 1;; ++d) {
    std::vector<std::pair<u32, Result>> decided;
    std::vector<u32> still;
    for (u32 i : open) {
      bool win = false, all_won = true;
      u32 longest = 0;
      for (u32 k = first[i]; k < first[i + 1]; ++k) {
        const Result r = all[k].fixed ? all[k].result : res[all[k].state];
        if (r.outcome == Outcome::kLoss && !undecided(r) && r.plies == d - 1) win = true;
        if (r.outcome == Outcome::kWin) longest = std::max<u32>(longest, r.plies);
        else all_won = false;
      }
      if (win) decided.push_back({i, {Outcome::kWin, static_cast<u16>(d)}});
      else if (all_won && longest == d - 1) decided.push_back({i, {Outcome::kLoss, static_cast<u16>(d)}});
      else still.push_back(i);
    }
    for (auto& [i, r] : decided) res[i] = r;
    open.swap(still);
    if (decided.empty() && d > longest_fixed + 1) break;
  }
  for (u32 i : open) res[i] = {Outcome::kDraw, 0};
  return out;
}

std::vector<Solved> solve_all() {
  std::vector<Solved> out;
  out.reserve(5);
  const Solved* none[4] = {};
  for (Man m : {Man::kQueen, Man::kRook, Man::kBishop, Man::kKnight}) out.push_back(solve(m, none));
  const Solved* promoted[4] = {&out[0], &out[1], &out[2], &out[3]};
  out.push_back(solve(Man::kPawn, promoted));
  return out;
}

u8 table_byte(const Result& r) {
  switch (r.outcome) {
    case Outcome::kDraw: return 0;
    case Outcome::kWin: {
      const u32 m = (r.plies + 1u) / 2;
      return m <= 126 ? static_cast<u8>(127 - m) : m == 127 ? 0x80 : 127;
    }
    case Outcome::kLoss: {
      const u32 m = r.plies / 2u;
      return m <= 125 ? static_cast<u8>(static_cast<i8>(static_cast<int>(m) - 126)) : m == 126 ? 0x81 : 127;
    }
    default: return 127;
  }
}

}  // namespace orvex::tbgen
