// The tokens of a "go" line, read into a request that both programs turn
// into their search limits.
#pragma once
#include "position/types.h"
#include "search/limits.h"

namespace orvex {

// The search-move list holds its moves and a terminating 0.
constexpr int kGoMaxSearchMoves = kMaxSearchMoves - 1;

// What one "go" line asks for.  Clock values are kept within 0..2^31-1;
// keywords that end the line without their value read 0.
struct GoRequest {
  i64 wtime = 0, btime = 0, winc = 0, binc = 0;
  i64 movestogo = 25;
  i64 movetime = 0;
  i32 depth_limit = kNoDepthLimit;  // the main engine's iteration depth: the go depth plus 3
  bool depth_given = false;         // "depth" and its value, as read
  i64 depth = 0;
  i64 node_limit = kNoNodeLimit;
  i32 mate_limit = 0;
  bool infinite = false;
  bool ponder = false;
  bool searchmoves_seen = false;
  int searchmove_count = 0;
  // Move texts after "searchmoves" (at most five characters each); only
  // texts that name two board squares are kept.
  char searchmoves[kGoMaxSearchMoves][6] = {};
};

// Reads the tokens of a go line (the first token, the command word, is
// skipped).  Unknown tokens before "searchmoves" are ignored; after it every
// token that is no keyword is a move; moves beyond the list's capacity are
// ignored.
void parse_go_line(const char* line, GoRequest& out);

}  // namespace orvex
