#include "core/root_check.h"

#include <bit>

#include "position/keys.h"

namespace orvex {

namespace {

constexpr u64 kFirstRank = 0xFFull;
constexpr u64 kLastRank = 0xFFull << 56;

bool castling_matches_pieces(const Position& p) {
  struct Right {
    CastlingRights right;
    Square king_square;
    PieceCode king;
    Square rook_square;
    PieceCode rook;
  };
  static constexpr Right kRights[] = {
      {kCastleWhiteShort, 4, kWhiteKing, 7, kWhiteRook},
      {kCastleWhiteLong, 4, kWhiteKing, 0, kWhiteRook},
      {kCastleBlackShort, 60, kBlackKing, 63, kBlackRook},
      {kCastleBlackLong, 60, kBlackKing, 56, kBlackRook},
  };
  for (const Right& r : kRights) {
    if ((p.state.castling & r.right) && (p.board[r.king_square] != r.king || p.board[r.rook_square] != r.rook))
      return false;
  }
  return true;
}

bool en_passant_possible(const Position& p) {
  const Square ep = p.state.ep_square;
  if (ep == 0) return true;
  if (ep > 63) return false;
  const bool white = p.side_to_move == kWhite;
  const Colour us = p.side_to_move;
  if (rank_of(ep) != (white ? 5u : 2u)) return false;
  const Square passed = white ? ep - 8 : ep + 8;  // the pawn that moved two squares
  if (p.board[passed] != make_piece(kPawn, us ^ 1)) return false;
  const PieceCode our_pawn = make_piece(kPawn, us);
  const bool from_left = file_of(ep) != 0 && p.board[passed - 1] == our_pawn;
  const bool from_right = file_of(ep) != 7 && p.board[passed + 1] == our_pawn;
  return from_left || from_right;
}

bool material_possible(const Position& p) {
  const u64 pawns = p.piece_bb[kWhitePawn - 2] | p.piece_bb[kBlackPawn - 2];
  if (pawns & (kFirstRank | kLastRank)) return false;
  for (Colour c = kWhite; c <= kBlack; ++c) {
    if (std::popcount(p.colour_bb[c]) > 16) return false;
    if (std::popcount(p.piece_bb[make_piece(kPawn, c) - 2]) > 8) return false;
  }
  return true;
}

}  // namespace

bool validate_root_record(const Position& p) {
  if (p.side_to_move != kWhite && p.side_to_move != kBlack) return false;
  if (!castling_matches_pieces(p)) return false;
  if (!en_passant_possible(p)) return false;
  if (p.state.fifty > p.state.history_count) return false;
  // Material no game can reach would overflow move lists and material tables.
  if (!material_possible(p)) return false;
  if (p.state.key != compute_zobrist_key(p)) return false;
  if (p.state.pawn_key != compute_pawn_key(p)) return false;
  if (p.state.material_index != compute_material_index(p)) return false;
  if (p.state.material_balance != compute_material_balance(p)) return false;
  return std::popcount(p.piece_bb[kWhiteKing - 2]) == 1 && std::popcount(p.piece_bb[kBlackKing - 2]) == 1;
}

}  // namespace orvex
