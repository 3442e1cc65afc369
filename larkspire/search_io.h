// What the edition's search needs from its front end: input polling during a
// search and the output function for lines to the interface, both defined by
// the front end (larkspire/interpreter.cpp).
#pragma once

namespace orvex::larkspire {

// Executes every waiting command line without blocking.
void poll_input();
// Formats one line for the interface like printf, writes it to standard
// output and flushes it.
void send_line(const char* format, ...) __attribute__((format(printf, 1, 2)));

}  // namespace orvex::larkspire
