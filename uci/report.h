// The final report of a search: node count, score (when the search printed
// none) and the "bestmove" line with the move to ponder on.
#pragma once
#include <cstddef>

#include "position/types.h"

namespace orvex {

// The node-count line of the report ("info ... nodes ...") for the Output
// mode (0 Verbose, 1 Normal, 2 Sparse).  Returns false in Sparse, where no
// such line is printed.  `elapsed_ms` is never 0.
bool format_node_count_line(u32 output_mode, u32 elapsed_ms, u64 shown_nodes, u64 tb_hits, char* buf,
                            std::size_t size);

// The score line of the report, with the move as the one-move "pv".  With
// `centipawns_only` (the search was one of the configurations that never
// show mate distances) a mate-class score is shown in centipawns too.
void format_score_line(i32 score, i32 scale, const char* move_text, char* buf, std::size_t size,
                       bool centipawns_only = false);

// The move to answer with: the stored move of the position after `move` when
// that move is playable there.  0 when there is none.  Leaves the position as
// it found it.
SearchMove find_ponder_move(SearchMove move);

// Prints the report of the search that just ended (master only, not while
// the timing tests run), tells the workers to stop and remembers the move.
void report_search_result();

}  // namespace orvex
