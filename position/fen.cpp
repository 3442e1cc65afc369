#include "position/fen.h"

#include <cstring>

#include "position/position.h"

namespace orvex {
namespace {

constexpr Table<u32, 128> build_fen_piece_code() {
  Table<u32, 128> t{};
  t['P'] = kWhitePawn;
  t['p'] = kBlackPawn;
  t['N'] = kWhiteKnight;
  t['n'] = kBlackKnight;
  t['B'] = kWhiteBishop;
  t['b'] = kBlackBishop;
  t['R'] = kWhiteRook;
  t['r'] = kBlackRook;
  t['Q'] = kWhiteQueen;
  t['q'] = kBlackQueen;
  t['K'] = kWhiteKing;
  t['k'] = kBlackKing;
  return t;
}

// A read cursor that never moves past the terminating NUL.
struct Cursor {
  const unsigned char* at;
  unsigned char peek() const { return *at; }
  unsigned char take() {
    const unsigned char c = *at;
    if (c != 0) ++at;
    return c;
  }
  void skip() { take(); }
};

PieceCode piece_of_char(unsigned char c) { return c < 128 ? fen_piece_code[c] : kNoPiece; }

void read_board(Cursor& in, Position& p) {
  for (int rank = 7; rank >= 0; --rank) {
    u32 file = 0;
    while (file < 8) {
      const unsigned char c = in.take();
      if (c == 0) return;
      if (c >= '1' && c <= '8') {
        file += c - '0';
      } else {
        p.board[make_square(file, static_cast<u32>(rank))] = piece_of_char(c);
        file += 1;
      }
    }
    in.skip();  // the '/' between ranks, the blank after the last one
  }
}

u32 read_castling(Cursor& in) {
  if (in.peek() == '-') in.skip();
  u32 rights = 0;
  const struct {
    char letter;
    CastlingRights right;
  } order[4] = {{'K', kCastleWhiteShort}, {'Q', kCastleWhiteLong}, {'k', kCastleBlackShort}, {'q', kCastleBlackLong}};
  for (const auto& o : order)
    if (in.peek() == static_cast<unsigned char>(o.letter)) {
      rights |= o.right;
      in.skip();
    }
  return rights;
}

// The en-passant square named by the field, kept only when a pawn of the side
// to move stands ready to capture there; 0 otherwise.
u32 read_ep_square(Cursor& in, const Position& p) {
  in.skip();  // the blank before the field
  const unsigned char file_char = in.take();
  if (file_char == '-' || file_char == 0) return 0;
  const unsigned char rank_char = in.take();
  if (file_char < 'a' || file_char > 'h' || rank_char < '1' || rank_char > '8') return 0;
  const Square t = make_square(file_char - 'a', rank_char - '1');
  const Square pawn_sq = t ^ 8;
  const Colour us = p.side_to_move;
  if (p.board[t] != kNoPiece) return 0;
  if (p.board[pawn_sq] != make_piece(kPawn, us ^ 1)) return 0;
  const PieceCode our_pawn = make_piece(kPawn, us);
  const bool left = file_of(t) != 0 && p.board[pawn_sq - 1] == our_pawn;
  const bool right = file_of(t) != 7 && p.board[pawn_sq + 1] == our_pawn;
  return (left || right) ? t : 0;
}

}  // namespace

constinit const Table<u32, 128> fen_piece_code = build_fen_piece_code();

void parse_fen(const char* text) {
  Position& p = current_position;
  std::memset(&p, 0, sizeof p);
  Cursor in{reinterpret_cast<const unsigned char*>(text != nullptr ? text : "")};
  read_board(in, p);
  if (in.peek() != 0) {
    p.side_to_move = in.take() == 'b' ? kBlack : kWhite;
    in.skip();  // the blank after the side
    p.state.castling = read_castling(in);
    p.state.ep_square = read_ep_square(in, p);
  }
  rebuild_position(p);
}

}  // namespace orvex
