// The edition's command interpreter: reads one UCI line and carries it out,
// and lets a running search obey waiting lines (poll_input, search_io.h).
#pragma once
#include "core/text.h"
#include "position/types.h"

namespace orvex::larkspire {

// A line read whole holds up to kMaxLineLength characters (core/text.h).
constexpr int kPendingLineSize = 256;

// Lines queued by the interpreter itself ("go ponder" before a "stop" or
// "ponderhit" that follows a "position" line); read before standard input.
extern char pending_lines[2][kPendingLineSize];
extern i32 pending_count;
// The line before the current one started with "position".
extern u8 after_position_line;

// The front end's state: a go command's search runs; it was started with
// infinite or ponder, so its report waits; a finished search's report waits
// for "stop" or "ponderhit".
extern u8 search_running;
extern u8 hold_result;
extern u8 result_held;

// Busy: "position", "go" and "ucinewgame" are ignored.
inline bool front_end_busy() { return search_running || result_held; }

// Takes a queued line or reads one from standard input (blocking) and carries
// it out.  Ends the process with exit code 0 on "quit" and at the end of
// standard input.
void handle_command();

// Carries out one line (cut at its first line feed here).
void execute_command(const char* line);

// Empties the queue and forgets the previous line.
void reset_interpreter();

}  // namespace orvex::larkspire
