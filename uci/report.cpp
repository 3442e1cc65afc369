// The final report of a search.
#include "uci/report.h"

#include <cinttypes>
#include <cstdio>

namespace orvex {

void search_move_text(SearchMove move, char out[6]) {
  const Square from = move_from(move);
  const Square to = move_to(move);
  out[0] = static_cast<char>('a' + file_of(from));
  out[1] = static_cast<char>('1' + rank_of(from));
  out[2] = static_cast<char>('a' + file_of(to));
  out[3] = static_cast<char>('1' + rank_of(to));
  int n = 4;
  switch (move & kMovePromoMask) {
    case kMovePromoQueen: out[n++] = 'q'; break;
    case kMovePromoRook: out[n++] = 'r'; break;
    case kMovePromoKnight: out[n++] = 'n'; break;
    default: break;
  }
  out[n] = 0;
}

u64 shown_node_count(u64 node_batches, i32 node_countdown, u32 process_count) {
  const u64 counted = node_batches * 1024 - static_cast<u64>(static_cast<i64>(node_countdown));
  return counted * process_count * 8;
}

bool format_node_count_line(u32 output_mode, u32 elapsed_ms, u64 shown_nodes, u64 tb_hits, char* buf,
                            std::size_t size) {
  if (output_mode != 0 && output_mode != 1) return false;
  while (tb_hits > shown_nodes) tb_hits >>= 1;
  const u64 nps = shown_nodes * 1024 / (elapsed_ms ? elapsed_ms : 1);
  char time_text[32] = "";
  char nps_text[32] = "";
  char tb_text[32] = "";
  if (output_mode == 0) {
    std::snprintf(time_text, sizeof time_text, "time %" PRIu64 " ", static_cast<u64>(elapsed_ms));
    std::snprintf(nps_text, sizeof nps_text, "nps %" PRIu64 " ", nps);
  }
  if (tb_hits != 0) std::snprintf(tb_text, sizeof tb_text, "tbhits %" PRIu64 " ", tb_hits);
  std::snprintf(buf, size, "info %snodes %" PRIu64 " %s%s\n", time_text, shown_nodes, nps_text, tb_text);
  return true;
}

void format_score_line(i32 score, i32 display_scale, const char* move_text, char* buf, std::size_t size) {
  if (score > 31000 || score < -31000) {
    const i32 moves = ((score > 0 ? 32001 : -32001) - score) / 2;
    std::snprintf(buf, size, "info score mate %d pv %s\n", moves, move_text);
  } else {
    const i32 cp = ((display_scale * score) / 32 * 116) / 128;
    std::snprintf(buf, size, "info score cp %d pv %s\n", cp, move_text);
  }
}

}  // namespace orvex
