// Reading a position from FEN text into current_position.
#pragma once
#include "position/tables.h"
#include "position/types.h"

namespace orvex {

// Piece code of each FEN board character, 0 for characters that name no piece.
extern const Table<u32, 128> fen_piece_code;

// The start position (four fields, no move counters).
inline constexpr const char kStartFen[] = "rnbqkbnr/pppppppp/8/8/8/8/PPPPPPPP/RNBQKBNR w KQkq -";

// Sets current_position from the first four fields of a NUL-terminated FEN
// text: the whole record is cleared, board, side, castling rights and a usable
// en-passant square are read, counters start at 0 and every derived field is
// rebuilt.  Nothing is validated; any byte is accepted and reading stops at
// the end of the text, fields that are missing count as empty.
void parse_fen(const char* text);

}  // namespace orvex
