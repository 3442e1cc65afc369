#include "larkspire/interpreter.h"

#include <cstdlib>
#include <cstring>

#include "core/position_command.h"
#include "core/text.h"
#include "core/worker_team.h"
#include "larkspire/go.h"
#include "larkspire/limits.h"
#include "larkspire/options.h"
#include "larkspire/search_io.h"
#include "platform/platform.h"
#include "search/host.h"

namespace orvex::larkspire {

char pending_lines[2][kPendingLineSize];
i32 pending_count = 0;
u8 after_position_line = 0;
u8 search_running = 0;
u8 hold_result = 0;
u8 result_held = 0;

namespace {

// A "stop" or "ponderhit" right after a "position" line first starts a
// pondering search on that position: "go ponder", then the line itself.
void queue_ponder_pair(const char* second) {
  copy_text(pending_lines[0], kPendingLineSize, "go ponder");
  copy_text(pending_lines[1], kPendingLineSize, second);
  pending_count = 2;
}

void on_ponderhit(bool previous_was_position) {
  if (previous_was_position) {
    queue_ponder_pair("ponderhit");
  } else if (search_running) {
    // The search goes on under the time limits its go command set.
    search_limits.infinite = 0;
    hold_result = 0;
  } else {
    report_search_result();
    result_held = 0;
  }
}

void on_stop(const char* line, bool previous_was_position) {
  send_to_workers(line);
  if (previous_was_position) {
    queue_ponder_pair("stop");
  } else if (search_running) {
    search_status.stop_requested = 1;
    hold_result = 0;
  } else if (result_held) {
    report_search_result();
    result_held = 0;
  }
}

}  // namespace

void reset_interpreter() {
  pending_count = 0;
  pending_lines[0][0] = '\0';
  pending_lines[1][0] = '\0';
  after_position_line = 0;
}

void execute_command(const char* text) {
  char line[kLineBufferSize];
  copy_text(line, sizeof line, text);

  const bool previous_was_position = after_position_line;
  after_position_line = starts_with(line, "position");
  if (char* newline = std::strchr(line, '\n')) *newline = '\0';

  if (starts_with(line, "ucinewgame")) {
    if (!front_end_busy()) clear_hashes(line);
  } else if (starts_with(line, "uci")) {
    send_identification();
  } else if (starts_with(line, "setoption name") && handle_option_line(line)) {
    // handled by its option row
  } else if (starts_with(line, "isready")) {
    if (may_answer()) send_line("readyok\n");
  } else if (starts_with(line, "ponderhit")) {
    on_ponderhit(previous_was_position);
  } else if (starts_with(line, "position")) {
    if (!front_end_busy()) handle_position_command(line);
  } else if (starts_with(line, "go")) {
    if (!front_end_busy()) {
      send_to_workers("go infinite");
      handle_go(line);
    }
  } else if (starts_with(line, "quit")) {
    team_quit(line);
  } else if (starts_with(line, "stop")) {
    on_stop(line, previous_was_position);
  }
  // Any other line is ignored without an answer.
}

void handle_command() {
  char line[kLineBufferSize];
  if (pending_count >= 1) {
    copy_text(line, sizeof line, pending_lines[0]);
    copy_text(pending_lines[0], kPendingLineSize, pending_lines[1]);
    pending_lines[1][0] = '\0';
    --pending_count;
  } else {
    if (!platform::read_line(line, sizeof line)) std::exit(0);
  }
  execute_command(line);
}

void poll_input() {
  for (;;) {
    if (pending_count >= 1) {
      handle_command();
      continue;
    }
    if (search_status.stop_requested) return;
    if (input_waiting()) {
      handle_command();
      continue;
    }
    return;
  }
}

void send_line(const char* format, ...) {
  va_list args;
  va_start(args, format);
  send_line_v(format, args);
  va_end(args);
}

}  // namespace orvex::larkspire
