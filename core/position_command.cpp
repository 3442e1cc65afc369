#include "core/position_command.h"

#include <cstring>

#include "core/text.h"
#include "core/worker_team.h"
#include "position/fen.h"
#include "position/move_text.h"

namespace orvex {

char position_line[kPositionLineSize];

namespace {

bool is_square_text(const char* s) { return s[0] >= 'a' && s[0] <= 'h' && s[1] >= '1' && s[1] <= '8'; }

// Makes the moves of a move list, five characters a move, blanks between
// moves skipped.  Stops at the end of the text and at the first move that is
// malformed or not legal here.
void make_move_list(const char* p) {
  while (is_square_text(p) && is_square_text(p + 2)) {
    const UciMove move = parse_uci_move(p);
    if (!is_legal_uci_move(move)) return;
    make_root_move(move);
    if (p[4] == '\0') return;
    p += 5;
    while (*p == ' ') ++p;
  }
}

}  // namespace

void handle_position(char* text) {
  const std::size_t length = std::strlen(text);
  char* const end = text + length;
  char* fen = std::strstr(text, "fen");
  char* moves = std::strstr(text, "moves");

  parse_fen(kStartFen);
  if (fen != nullptr) {
    // The FEN text starts after "fen" and one separator and ends before the
    // character that precedes "moves".
    if (moves != nullptr && moves > text) moves[-1] = '\0';
    parse_fen(fen[3] != '\0' ? fen + 4 : fen + 3);
  }
  if (moves != nullptr && moves + 5 < end) make_move_list(moves + 6);
  rebuild_position(current_position);
  trim_key_history(current_position);
}

void handle_position_command(const char* line) {
  send_to_workers(line);

  char buffer[kPositionLineSize];
  std::size_t n = copy_text(buffer, sizeof buffer, line);
  while (n > 0 && (buffer[n - 1] == ' ' || buffer[n - 1] == '\n' || buffer[n - 1] == '\r')) buffer[--n] = '\0';
  if (n >= 6 && std::strcmp(buffer + n - 5, "moves") == 0) {
    n -= 6;
    buffer[n] = '\0';
  }
  std::memcpy(position_line, buffer, n + 1);
  handle_position(buffer);
}

void reapply_position_line() {
  char copy[kPositionLineSize];
  std::memcpy(copy, position_line, sizeof copy);
  copy[kPositionLineSize - 1] = '\0';
  handle_position(copy);
}

}  // namespace orvex
