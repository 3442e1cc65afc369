// Codes for squares, colours, pieces, castling rights and the two move codes.
#pragma once
#include <cstdint>

namespace orvex {

using u8 = std::uint8_t;
using u16 = std::uint16_t;
using u32 = std::uint32_t;
using u64 = std::uint64_t;
using i8 = std::int8_t;
using i16 = std::int16_t;
using i32 = std::int32_t;
using i64 = std::int64_t;

// a1 = 0, b1 = 1, ..., h8 = 63.  file = s & 7, rank = s >> 3.
using Square = u32;
constexpr u32 file_of(Square s) { return s & 7; }
constexpr u32 rank_of(Square s) { return s >> 3; }
constexpr Square make_square(u32 file, u32 rank) { return rank * 8 + file; }
constexpr u64 bit(Square s) { return u64{1} << s; }

using Colour = u32;
constexpr Colour kWhite = 0;
constexpr Colour kBlack = 1;

using PieceType = u32;
constexpr PieceType kPawn = 0;
constexpr PieceType kKnight = 1;
constexpr PieceType kBishop = 2;
constexpr PieceType kRook = 3;
constexpr PieceType kQueen = 4;
constexpr PieceType kKing = 5;

// A board square holds 0 (empty) or 2 + 2 * type + colour.  Tables indexed by
// piece use code - 2.
using PieceCode = u32;
constexpr PieceCode kNoPiece = 0;
constexpr PieceCode kWhitePawn = 2;
constexpr PieceCode kBlackPawn = 3;
constexpr PieceCode kWhiteKnight = 4;
constexpr PieceCode kBlackKnight = 5;
constexpr PieceCode kWhiteBishop = 6;
constexpr PieceCode kBlackBishop = 7;
constexpr PieceCode kWhiteRook = 8;
constexpr PieceCode kBlackRook = 9;
constexpr PieceCode kWhiteQueen = 10;
constexpr PieceCode kBlackQueen = 11;
constexpr PieceCode kWhiteKing = 12;
constexpr PieceCode kBlackKing = 13;

constexpr PieceCode make_piece(PieceType t, Colour c) { return 2 + 2 * t + c; }
constexpr Colour colour_of(PieceCode p) { return p & 1; }
constexpr PieceType type_of(PieceCode p) { return (p >> 1) - 1; }
constexpr bool is_pawn(PieceCode p) { return (p & 14) == 2; }
constexpr bool is_king(PieceCode p) { return (p & 14) == 12; }

using CastlingRights = u32;
constexpr CastlingRights kCastleWhiteShort = 1;
constexpr CastlingRights kCastleWhiteLong = 2;
constexpr CastlingRights kCastleBlackShort = 4;
constexpr CastlingRights kCastleBlackLong = 8;

// The search's move code: to in bits 0-5, from in bits 6-11, flags above.
// 0 is no move.  Promotions are read from the field kMovePromoMask.
using SearchMove = u32;
constexpr SearchMove kNoMove = 0;
constexpr SearchMove kMovePromoQueen = 0x1000;
constexpr SearchMove kMoveCastle = 0x2000;
constexpr SearchMove kMoveEnPassant = 0x4000;
constexpr SearchMove kMovePromoRook = 0x8000;
constexpr SearchMove kMovePromoKnight = 0x9000;
constexpr SearchMove kMovePromoMask = 0x9000;

constexpr Square move_from(u32 m) { return (m >> 6) & 63; }
constexpr Square move_to(u32 m) { return m & 63; }
constexpr SearchMove make_move_code(Square from, Square to, u32 flags = 0) { return (from << 6) | to | flags; }

// The front end's move code.  Same square fields; different flag bits, never
// to be mixed with SearchMove.
using UciMove = u32;
constexpr UciMove kUciPromoQueen = 0x1000;
constexpr UciMove kUciPromoRook = 0x2000;
constexpr UciMove kUciPromoBishop = 0x4000;
constexpr UciMove kUciPromoKnight = 0x8000;
constexpr UciMove kUciPromoMask = 0xF000;
constexpr UciMove kUciCastle = 0x10000;
constexpr UciMove kUciEnPassant = 0x20000;

// One entry of an evasion list: a move and its ordering key.  Evasion lists are
// arrays of these ended by the pair (0, 0); generators write only the move word.
struct MovePair {
  u32 move;
  u32 key;
};
using EvasionList = MovePair;

}  // namespace orvex
