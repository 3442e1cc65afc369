// What a search needs of the program that runs it: the output function for
// lines to the interface, the input test, and four calls that the layers
// above define.  The searches include this header and nothing of a front end.
//
// Defined here (search/host.cpp): send_line, input_waiting, quiet,
// stdin_is_pipe.  Defined by the shared core (core/): may_answer,
// team_process_count, restore_root_position.  Defined by the front end that
// runs the main search (uci/): poll_input.  The front end's programs link the
// libraries as one group, so each call finds its definition whatever the order.
#pragma once
#include <cinttypes>
#include <cstdarg>

#include "position/types.h"

namespace orvex {

constexpr int kOutputBufferSize = 1024;

// Set while the timing tests run: no answer or acknowledgement is printed.
extern u8 quiet;
// Standard input is a pipe (not a terminal); set at start-up.
extern u8 stdin_is_pipe;

// Formats one line like printf (unsigned 64-bit values with "%" PRIu64) and
// writes it to standard output with one write.  The format texts end in "\n"
// where a line ends.  A text longer than the 1023 bytes the buffer holds is
// cut there and still ends its line.  Callers print lines for the interface
// only in the master and only while `quiet` is false (see may_answer()).
void send_line(const char* format, ...) __attribute__((format(printf, 1, 2)));
// The same with the arguments as a va_list.
void send_line_v(const char* format, va_list args);

// True when reading one line from standard input would not block, or when
// standard input has failed or ended.
bool input_waiting();

// True in the master while the timing tests are not running.
bool may_answer();

// Processes of the team, the master included; 1 before the team is built.
u32 team_process_count();

// Sets the root position up again from the last position line (after an
// aborted search has left the position as its deepest node had it).
void restore_root_position();

// Obeys every queued line and every line already waiting on standard input,
// stopping as soon as a stop is requested.  Searches call it every 1024
// counted nodes and after each iteration.
void poll_input();

}  // namespace orvex
