// The command interpreter: reads one UCI line and carries it out.
#pragma once
#include "core/text.h"
#include "position/types.h"

namespace orvex {

// A line read whole holds up to kMaxLineLength characters (core/text.h).
constexpr int kPendingLineSize = 256;

// Lines queued by the interpreter itself ("go ponder" before a "stop" or
// "ponderhit" that follows a "position" line); read before standard input.
extern char pending_lines[2][kPendingLineSize];
extern i32 pending_count;
// The previous line began with "position".
extern u8 after_position;

// Takes a queued line or reads one line from standard input (blocking) and
// carries it out.  Ends the process with exit code 0 on "quit" and at the end
// of standard input.
void handle_command();

// Carries out one line, already cut at its newline.
void execute_command(const char* line);

// "ucinewgame" and Clear Hash: forget the clock and score history, forward
// the line to the workers, reset the search ages and the shared table, and
// zero the pawn hash table.
void clear_hash_and_game_history(const char* line);

// Empties the queue and forgets the previous line.
void reset_interpreter();

}  // namespace orvex
