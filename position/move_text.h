// Move text, the front end's move code and moves made on the root position.
#pragma once
#include <cstddef>

#include "position/types.h"

namespace orvex {

// Text of a search move: from-square, to-square and 'q', 'r' or 'n' for a
// promotion; NUL-terminated, at most five characters, all six bytes written.
// Move 0 reads "a1a1".  Returns the length of the text.
std::size_t move_to_text(SearchMove m, char out[6]);
// Text of a front-end move: the same, with 'b' for a bishop promotion.
void uci_move_to_text(UciMove m, char out[6]);

// Builds the front-end code of move text such as "e7e8q" on current_position
// (the position before the move): squares, promotion letter, en-passant and
// castling flags.  Reads at most five characters and never past a NUL.  Text
// whose first four characters do not name two squares gives 0, which no legal
// move has.
UciMove parse_uci_move(const char* text);

// Makes a front-end move on current_position: board, castling rights,
// en-passant square, fifty-move counter, key history and key.  Bitboards,
// piece-square sums, pawn key and material stay stale until rebuild_position.
// The move is not tested (see is_legal_uci_move); a malformed move never reads
// or writes outside the record.
void make_root_move(UciMove m);

// Writes every legal move of current_position as a front-end code (all four
// promotions included, flags as parse_uci_move sets them) and returns the
// count.  Reads only board, side_to_move, castling and ep_square, so it works
// between make_root_move calls, before the record is rebuilt.  Slow: for
// set-up and tests.
constexpr int kMaxLegalMoves = 256;
int generate_legal_uci_moves(UciMove out[kMaxLegalMoves]);

// Whether m, exactly as parse_uci_move builds it, is a legal move of
// current_position.  Slow, same inputs as generate_legal_uci_moves.
bool is_legal_uci_move(UciMove m);

// The first move of a 0-terminated list (at most `cap` entries) that is
// legal in current_position; 0 when none is.  Slow, as is_legal_uci_move.
UciMove first_legal_uci_move(const UciMove* list, int cap);

// Text of the move a search answers with: `move`, or when it is 0 the
// front-end move `named` (a legal move no search generates, such as a bishop
// promotion); "a1a1" when both are 0.
void answer_move_text(SearchMove move, UciMove named, char out[6]);

// The search code of the same move (castling, en passant, queen, rook and
// knight promotions translated); 0 for a bishop promotion, which has none.
SearchMove search_move_of(UciMove m);
// The front-end code of a search move.
UciMove uci_move_of(SearchMove m);

}  // namespace orvex
