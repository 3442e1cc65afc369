#include "search/search_stack.h"

namespace orvex {

SearchStack search_stack;
HistoryTable history;
RootMoveList root_list;
MultiPvLines multipv_lines;
u32 multipv_count;
i32 display_scale = 16;

void clear_killers(SearchStack& stack) {
  for (PlyRecord& r : stack)
    for (u32& k : r.killers) k = 0;
}

void reset_history(HistoryTable& table) { table.fill(kHistoryStart); }

void clear_multipv_lines(MultiPvLines& lines) {
  for (u32 i = 0; i + 1 < kMultiPvRecords; ++i) {
    lines[i].score = kNoLineScore;
    lines[i].move = 0;
    lines[i].text[0] = 0;
  }
}

}  // namespace orvex
