#include "uci/interpreter.h"

#include <cstdlib>
#include <cstring>

#include "core/position_command.h"
#include "core/text.h"
#include "core/worker_team.h"
#include "platform/platform.h"
#include "search/host.h"
#include "search/limits.h"
#include "search/pawns.h"
#include "uci/front_end_status.h"
#include "uci/go.h"
#include "uci/options.h"
#include "uci/report.h"
#include "uci/timing.h"

namespace orvex {

char pending_lines[2][kPendingLineSize];
i32 pending_count = 0;
u8 after_position = 0;

namespace {

constexpr const char* kVersion = "2.1";

// Queues "go ponder" followed by `second`: a "stop" or "ponderhit" right after
// a "position" line first starts a pondering search on that position.
void queue_ponder_pair(const char* second) {
  copy_text(pending_lines[0], kPendingLineSize, "go ponder");
  copy_text(pending_lines[1], kPendingLineSize, second);
  pending_count = 2;
}

void send_identification() {
  if (!may_answer()) return;
  send_line("id name Orvex %s mp\n", kVersion);
  send_line("id author Kestrin\n");
  send_option_declarations();
  send_line("uciok\n");
}

void on_ponderhit(bool previous_was_position) {
  if (previous_was_position) {
    queue_ponder_pair("ponderhit");
  } else if (front_end_status.searching) {
    // The pondering search goes on as a timed one, under the limits its go computed.
    search_limits.infinite = 0;
    front_end_status.hold_result = 0;
    front_end_status.ponder_ms = platform::tick_count() + 1 - search_status.start_tick;
  } else {
    report_search_result();
    front_end_status.result_held = 0;
  }
}

void on_stop(const char* line, bool previous_was_position) {
  send_to_workers(line);
  if (previous_was_position) {
    queue_ponder_pair("stop");
  } else if (front_end_status.searching) {
    search_status.stop_requested = 1;
    front_end_status.hold_result = 0;
  } else if (front_end_status.result_held) {
    report_search_result();
    front_end_status.result_held = 0;
  }
}

}  // namespace

void reset_interpreter() {
  pending_count = 0;
  pending_lines[0][0] = '\0';
  pending_lines[1][0] = '\0';
  after_position = 0;
}

void clear_hash_and_game_history(const char* line) {
  forget_game_history();
  send_to_workers(line);
  clear_hash();
  clear_pawn_hash();
}

void execute_command(const char* text) {
  char line[kLineBufferSize];
  copy_text(line, sizeof line, text);

  const bool previous_was_position = after_position;
  after_position = starts_with(line, "position");
  if (char* newline = std::strchr(line, '\n')) *newline = '\0';

  if (starts_with(line, "ucinewgame")) {
    if (!front_end_busy()) clear_hash_and_game_history(line);
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
  } else if (starts_with(line, "tt")) {
    run_timing_tests();
  } else if (starts_with(line, "quit")) {
    team_quit(line);
  } else if (starts_with(line, "stop")) {
    on_stop(line, previous_was_position);
  }
  // Any other line is ignored without an answer.
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

}  // namespace orvex
