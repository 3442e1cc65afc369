// Reading the tokens of a "go" line.
#include "core/go_line.h"

#include <algorithm>
#include <cstring>

#include "core/numbers.h"

namespace orvex {

namespace {

constexpr i64 kClockMax = 2147483647;  // clock values are kept to 31 bits

bool is_blank(char c) { return c == ' ' || c == '\t' || c == '\r' || c == '\n'; }

i64 clamp_clock(i64 v) { return std::clamp<i64>(v, 0, kClockMax); }

// Two board squares written as file letter and rank digit each.
bool names_two_squares(const char* t, std::size_t len) {
  if (len != 4 && len != 5) return false;
  return t[0] >= 'a' && t[0] <= 'h' && t[1] >= '1' && t[1] <= '8' && t[2] >= 'a' && t[2] <= 'h' &&
         t[3] >= '1' && t[3] <= '8';
}

enum class Keyword { kNone, kWinc, kBinc, kWtime, kBtime, kDepth, kNodes, kMate, kInfinite,
                     kPonder, kMovestogo, kMovetime, kSearchmoves };

Keyword keyword_of(const char* t, std::size_t len) {
  struct Entry { const char* text; Keyword kw; };
  static constexpr Entry kWords[] = {
      {"winc", Keyword::kWinc},           {"binc", Keyword::kBinc},
      {"wtime", Keyword::kWtime},         {"btime", Keyword::kBtime},
      {"depth", Keyword::kDepth},         {"nodes", Keyword::kNodes},
      {"mate", Keyword::kMate},           {"infinite", Keyword::kInfinite},
      {"ponder", Keyword::kPonder},       {"movestogo", Keyword::kMovestogo},
      {"movetime", Keyword::kMovetime},   {"searchmoves", Keyword::kSearchmoves},
  };
  for (const Entry& e : kWords)
    if (std::strlen(e.text) == len && std::memcmp(e.text, t, len) == 0) return e.kw;
  return Keyword::kNone;
}

}  // namespace

void parse_go_line(const char* line, GoRequest& out) {
  out = GoRequest{};
  // Split into tokens (blank-separated); a number read from a token ends
  // where its digits end, so at the latest where the token ends.
  const char* p = line;
  auto next_token = [&p](const char*& start, std::size_t& len) {
    while (*p && is_blank(*p)) ++p;
    if (!*p) return false;
    start = p;
    while (*p && !is_blank(*p)) ++p;
    len = static_cast<std::size_t>(p - start);
    return true;
  };
  // The value after a keyword; a keyword that ends the line reads 0.
  auto next_number = [&next_token]() -> i64 {
    const char* s;
    std::size_t len;
    if (!next_token(s, len)) return 0;
    return read_leading_integer(s);
  };

  const char* tok;
  std::size_t len;
  if (!next_token(tok, len)) return;  // the command word
  while (next_token(tok, len)) {
    switch (keyword_of(tok, len)) {
      case Keyword::kWinc: out.winc = clamp_clock(next_number()); break;
      case Keyword::kBinc: out.binc = clamp_clock(next_number()); break;
      case Keyword::kWtime: out.wtime = std::clamp<i64>(next_number(), 300, kClockMax); break;
      case Keyword::kBtime: out.btime = std::clamp<i64>(next_number(), 300, kClockMax); break;
      case Keyword::kDepth: {
        const i64 d = next_number();
        out.depth_given = true;
        out.depth = d;
        // The shown depth is 3 less than the iteration depth.
        out.depth_limit = static_cast<i32>(std::clamp<i64>(d, -5, kNoDepthLimit - 4) + 3);
        break;
      }
      case Keyword::kNodes: out.node_limit = next_number(); break;
      case Keyword::kMate: {
        const i64 m = next_number();
        out.mate_limit = static_cast<i32>(std::min<i64>(m < 0 ? (m == INT64_MIN ? INT64_MAX : -m) : m,
                                                        INT32_MAX));
        break;
      }
      case Keyword::kInfinite: out.infinite = true; break;
      case Keyword::kPonder: out.ponder = true; break;
      case Keyword::kMovestogo: out.movestogo = std::clamp<i64>(next_number(), 1, 30); break;
      case Keyword::kMovetime: out.movetime = std::clamp<i64>(next_number(), 300, kClockMax); break;
      case Keyword::kSearchmoves: out.searchmoves_seen = true; break;
      case Keyword::kNone:
        if (out.searchmoves_seen && out.searchmove_count < kGoMaxSearchMoves && names_two_squares(tok, len)) {
          std::memcpy(out.searchmoves[out.searchmove_count], tok, len);
          out.searchmoves[out.searchmove_count][len] = 0;
          ++out.searchmove_count;
        }
        break;
    }
  }
}

}  // namespace orvex
