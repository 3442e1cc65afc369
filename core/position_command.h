// The "position" command: the stored text of the last position line and the
// procedure that turns such a text into the root position.
#pragma once
#include "core/text.h"
#include "position/position.h"

namespace orvex {

// Room for a whole command line (a GUI sends a game as one line).
constexpr std::size_t kPositionLineSize = kLineBufferSize;

// The last "position" line carried out, trailing blanks and an empty
// trailing "moves" cut.  Empty before the first one.  Every search root
// applies it again after an aborted search.
extern char position_line[kPositionLineSize];

// The "position" row of the interpreter: forwards the line to the workers,
// cuts trailing blanks and an empty "moves", stores it in position_line and
// applies it.
void handle_position_command(const char* line);

// Sets current_position from a position text: the start position, or the FEN
// after "fen" (up to the word "moves"), then each move after "moves".  A
// move is made only when it is well formed and legal in the position reached
// so far; the first that is not ends the list.  Only the keys a repetition
// test can reach stay in the key history.  Writes a terminating zero into
// `text` (before "moves").
void handle_position(char* text);

// Applies position_line again (on a copy, so it stays whole).
void reapply_position_line();

}  // namespace orvex
