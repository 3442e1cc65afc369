#include "configs/board_layers.h"

namespace orvex {

// Each configuration's own history table; its root sets every entry to 256 at
// the start of a search.
HistoryTable pawn_ending_history;
HistoryTable bishop_ending_history;
HistoryTable bishop_vs_knight_ending_history;
HistoryTable knight_vs_bishop_ending_history;
HistoryTable knight_ending_history;
HistoryTable queen_ending_history;
HistoryTable rook_ending_history;
HistoryTable rook_bishop_ending_history;
HistoryTable rook_knight_ending_history;
HistoryTable castling_rights_history;
HistoryTable mixed_history;

}  // namespace orvex
