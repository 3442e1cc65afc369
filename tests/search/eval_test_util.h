// Helpers shared by the evaluation tests: records, traits and FEN mirroring.
#pragma once
#include <cctype>
#include <random>
#include <string>
#include <vector>

#include "position/fen.h"
#include "search/evaluate.h"
#include "tests/squares.h"

namespace orvex::testing {

struct Record {
  u64 attacks_us = 0, attacks_them = 0;
  i32 static_eval = 0;
  i32 trace_mg = 0, trace_eg = 0;
  u64 threats_them = 0, threats_us = 0;
  u8 threats_ready = 0;
};

struct TraceEval : GeneralEval {
  static constexpr bool kTraceSums = true;
};

inline void set_fen(const std::string& fen) { parse_fen(fen.c_str()); }

// Hand-picked positions the evaluation tests start from: the opening, a
// middlegame with and without castling rights, rook, bishop and pawn endings.
inline const std::vector<std::string> kSampleFens = {
      kStartFen,
      "r1bq1rk1/pp2bppp/2n1pn2/3p4/2PP4/2N1PN2/PP3PPP/R2QKB1R w KQ -",
      "r3k2r/p1ppqpb1/bn2pnp1/3PN3/1p2P3/2N2Q1p/PPPBBPPP/R3K2R w KQkq -",
      "8/2p5/3p4/KP5r/1R3p1k/8/4P1P1/8 w - -",
      "4k3/pp6/3b4/8/8/3B4/PPP5/4K3 b - -",
      "6k1/5ppp/8/8/8/8/B4PPP/6K1 w - -",
      "r4rk1/1B3ppp/8/8/8/8/5PPP/2R2RK1 b - -",
      "2kr3r/ppp2ppp/8/8/8/8/PPP2PPP/2KR3R w - -",
      "8/P7/8/8/8/8/k6p/4K3 b - -",
};

// The same position with the colours exchanged: ranks flipped, case swapped,
// the other side to move, castling rights and en-passant square mirrored.
inline std::string mirror_fen(const std::string& fen) {
  std::string fields[4];
  size_t i = 0;
  for (int f = 0; f < 4 && i <= fen.size(); ++f) {
    size_t j = fen.find(' ', i);
    if (j == std::string::npos) j = fen.size();
    fields[f] = fen.substr(i, j - i);
    i = j + 1;
  }
  std::string ranks[8];
  int r = 0;
  for (char c : fields[0]) {
    if (c == '/') {
      ++r;
      continue;
    }
    ranks[r] += std::isupper(static_cast<unsigned char>(c)) ? static_cast<char>(std::tolower(c))
                                                            : static_cast<char>(std::toupper(c));
  }
  std::string board;
  for (int k = 7; k >= 0; --k) board += ranks[k] + (k ? "/" : "");
  std::string castling;
  for (char c : std::string("KQkq")) {
    const char want = std::isupper(static_cast<unsigned char>(c)) ? static_cast<char>(std::tolower(c))
                                                                   : static_cast<char>(std::toupper(c));
    if (fields[2].find(want) != std::string::npos) castling += c;
  }
  if (castling.empty()) castling = "-";
  std::string ep = fields[3].empty() ? "-" : fields[3];
  if (ep.size() == 2) ep[1] = static_cast<char>('1' + ('8' - ep[1]));
  return board + " " + (fields[1] == "w" ? "b" : "w") + " " + castling + " " + ep;
}

// A random placement: both kings, up to `pieces` other men, pawns off the
// first and last ranks.  Not necessarily legal, which the evaluation does not
// need.
inline std::string random_fen(std::mt19937& rng, int pieces) {
  char board[64];
  for (char& c : board) c = '.';
  auto place = [&](char piece, bool pawn) {
    for (;;) {
      const int s = static_cast<int>(rng() % 64);
      if (board[s] != '.') continue;
      if (pawn && (s < 8 || s >= 56)) continue;
      board[s] = piece;
      return;
    }
  };
  place('K', false);
  place('k', false);
  // At most one queen and two of each other piece and eight pawns a side, so
  // that every material has its own table entry.
  const char kinds[] = "PNBRQpnbrq";
  const int limit[] = {8, 2, 2, 2, 1, 8, 2, 2, 2, 1};
  int count[10] = {};
  const int n = static_cast<int>(rng() % (pieces + 1));
  for (int i = 0; i < n; ++i) {
    const int k = static_cast<int>(rng() % 10);
    if (count[k] == limit[k]) continue;
    ++count[k];
    place(kinds[k], k == 0 || k == 5);
  }
  const std::string fen = placement_fen(board);
  std::string castling;
  if (board[4] == 'K' && board[7] == 'R') castling += 'K';
  if (board[4] == 'K' && board[0] == 'R') castling += 'Q';
  if (board[60] == 'k' && board[63] == 'r') castling += 'k';
  if (board[60] == 'k' && board[56] == 'r') castling += 'q';
  if (castling.empty()) castling = "-";
  return fen + (rng() % 2 ? " w " : " b ") + castling + " -";
}

}  // namespace orvex::testing
