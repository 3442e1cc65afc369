// A small, slow move generator used only by the tests: a plain 64-square board,
// legal moves found by playing each pseudo-legal move on a copy and looking at
// the mover's king.  It shares nothing with the engine's generators but the
// piece codes and the SearchMove layout, so the two can be compared move by
// move.  It generates all four promotion pieces; a bishop promotion carries
// kRefPromoBishop, a bit outside the engine's move code.
#pragma once
#include <cstdlib>
#include <string>
#include <vector>

#include "position/types.h"

namespace orvex::reference {

constexpr u32 kRefPromoBishop = 0x10000;

struct Board {
  PieceCode sq[64] = {};
  Colour stm = kWhite;
  CastlingRights castling = 0;
  int ep = -1;  // square passed over by the last double step, -1 for none
};

inline bool on_board(int file, int rank) { return file >= 0 && file < 8 && rank >= 0 && rank < 8; }

// Reads the first four fields of a FEN text.
inline Board board_from_fen(const std::string& fen) {
  Board b;
  size_t i = 0;
  int rank = 7, file = 0;
  for (; i < fen.size() && fen[i] != ' '; ++i) {
    char ch = fen[i];
    if (ch == '/') {
      --rank;
      file = 0;
    } else if (ch >= '1' && ch <= '8') {
      file += ch - '0';
    } else {
      const char* letters = "PpNnBbRrQqKk";
      for (int k = 0; k < 12; ++k)
        if (letters[k] == ch) b.sq[rank * 8 + file] = 2 + k;
      ++file;
    }
  }
  ++i;
  b.stm = (i < fen.size() && fen[i] == 'b') ? kBlack : kWhite;
  i += 2;
  for (; i < fen.size() && fen[i] != ' '; ++i) {
    if (fen[i] == 'K') b.castling |= kCastleWhiteShort;
    if (fen[i] == 'Q') b.castling |= kCastleWhiteLong;
    if (fen[i] == 'k') b.castling |= kCastleBlackShort;
    if (fen[i] == 'q') b.castling |= kCastleBlackLong;
  }
  ++i;
  if (i + 1 < fen.size() && fen[i] >= 'a' && fen[i] <= 'h') b.ep = (fen[i] - 'a') + 8 * (fen[i + 1] - '1');
  return b;
}

// Is square s attacked by a piece of colour by?
inline bool attacked(const Board& b, int s, Colour by) {
  int f = s & 7, r = s >> 3;
  // pawns
  int pr = by == kWhite ? r - 1 : r + 1;
  for (int df : {-1, 1})
    if (on_board(f + df, pr) && b.sq[pr * 8 + f + df] == make_piece(kPawn, by)) return true;
  static const int kn[8][2] = {{1, 2}, {2, 1}, {2, -1}, {1, -2}, {-1, -2}, {-2, -1}, {-2, 1}, {-1, 2}};
  for (auto& d : kn)
    if (on_board(f + d[0], r + d[1]) && b.sq[(r + d[1]) * 8 + f + d[0]] == make_piece(kKnight, by)) return true;
  for (int df = -1; df <= 1; ++df)
    for (int dr = -1; dr <= 1; ++dr)
      if ((df || dr) && on_board(f + df, r + dr) && b.sq[(r + dr) * 8 + f + df] == make_piece(kKing, by)) return true;
  static const int dirs[8][2] = {{1, 0}, {-1, 0}, {0, 1}, {0, -1}, {1, 1}, {1, -1}, {-1, 1}, {-1, -1}};
  for (int d = 0; d < 8; ++d) {
    PieceType slider = d < 4 ? kRook : kBishop;
    int ff = f + dirs[d][0], rr = r + dirs[d][1];
    while (on_board(ff, rr)) {
      PieceCode p = b.sq[rr * 8 + ff];
      if (p) {
        if (p == make_piece(slider, by) || p == make_piece(kQueen, by)) return true;
        break;
      }
      ff += dirs[d][0];
      rr += dirs[d][1];
    }
  }
  return false;
}

inline int king_square(const Board& b, Colour c) {
  for (int s = 0; s < 64; ++s)
    if (b.sq[s] == make_piece(kKing, c)) return s;
  return -1;
}

inline bool in_check(const Board& b) {
  int k = king_square(b, b.stm);
  return k >= 0 && attacked(b, k, b.stm ^ 1);
}

inline Board play(const Board& b, u32 m) {
  Board n = b;
  int from = move_from(m), to = move_to(m);
  PieceCode p = n.sq[from];
  n.sq[from] = 0;
  n.sq[to] = p;
  n.ep = -1;
  if (m & kMoveEnPassant) n.sq[to ^ 8] = 0;
  if (m & kMoveCastle) {
    int rook_from = to > from ? from + 3 : from - 4, rook_to = to > from ? from + 1 : from - 1;
    n.sq[rook_to] = n.sq[rook_from];
    n.sq[rook_from] = 0;
  }
  if (is_pawn(p) && (from ^ to) == 16) n.ep = (from + to) / 2;
  if (m & kRefPromoBishop) n.sq[to] = make_piece(kBishop, b.stm);
  else if ((m & kMovePromoMask) == kMovePromoQueen) n.sq[to] = make_piece(kQueen, b.stm);
  else if ((m & kMovePromoMask) == kMovePromoRook) n.sq[to] = make_piece(kRook, b.stm);
  else if ((m & kMovePromoMask) == kMovePromoKnight) n.sq[to] = make_piece(kKnight, b.stm);
  auto clear_rights = [&](int s) {
    if (s == 0) n.castling &= ~kCastleWhiteLong;
    if (s == 7) n.castling &= ~kCastleWhiteShort;
    if (s == 4) n.castling &= ~(kCastleWhiteShort | kCastleWhiteLong);
    if (s == 56) n.castling &= ~kCastleBlackLong;
    if (s == 63) n.castling &= ~kCastleBlackShort;
    if (s == 60) n.castling &= ~(kCastleBlackShort | kCastleBlackLong);
  };
  clear_rights(from);
  clear_rights(to);
  n.stm ^= 1;
  return n;
}

// Pseudo-legal moves of the side to move.
inline void pseudo_moves(const Board& b, bool bishop_promotions, std::vector<u32>& out) {
  Colour c = b.stm;
  auto add_pawn = [&](int from, int to, u32 flags) {
    int last = c == kWhite ? 7 : 0;
    if ((to >> 3) == last) {
      out.push_back(make_move_code(from, to, kMovePromoQueen));
      out.push_back(make_move_code(from, to, kMovePromoKnight));
      out.push_back(make_move_code(from, to, kMovePromoRook));
      if (bishop_promotions) out.push_back(make_move_code(from, to, kRefPromoBishop));
    } else {
      out.push_back(make_move_code(from, to, flags));
    }
  };
  for (int s = 0; s < 64; ++s) {
    PieceCode p = b.sq[s];
    if (!p || colour_of(p) != c) continue;
    int f = s & 7, r = s >> 3;
    PieceType t = type_of(p);
    if (t == kPawn) {
      int dir = c == kWhite ? 1 : -1, start = c == kWhite ? 1 : 6;
      if (on_board(f, r + dir) && !b.sq[(r + dir) * 8 + f]) {
        add_pawn(s, (r + dir) * 8 + f, 0);
        if (r == start && !b.sq[(r + 2 * dir) * 8 + f]) out.push_back(make_move_code(s, (r + 2 * dir) * 8 + f));
      }
      for (int df : {-1, 1}) {
        if (!on_board(f + df, r + dir)) continue;
        int t2 = (r + dir) * 8 + f + df;
        if (b.sq[t2] && colour_of(b.sq[t2]) != c) add_pawn(s, t2, 0);
        if (t2 == b.ep) out.push_back(make_move_code(s, t2, kMoveEnPassant));
      }
      continue;
    }
    auto try_to = [&](int ff, int rr) {
      if (!on_board(ff, rr)) return false;
      PieceCode q = b.sq[rr * 8 + ff];
      if (!q || colour_of(q) != c) out.push_back(make_move_code(s, rr * 8 + ff));
      return q == 0;
    };
    if (t == kKnight) {
      static const int kn[8][2] = {{1, 2}, {2, 1}, {2, -1}, {1, -2}, {-1, -2}, {-2, -1}, {-2, 1}, {-1, 2}};
      for (auto& d : kn) try_to(f + d[0], r + d[1]);
    } else if (t == kKing) {
      for (int df = -1; df <= 1; ++df)
        for (int dr = -1; dr <= 1; ++dr)
          if (df || dr) try_to(f + df, r + dr);
    } else {
      static const int dirs[8][2] = {{1, 0}, {-1, 0}, {0, 1}, {0, -1}, {1, 1}, {1, -1}, {-1, 1}, {-1, -1}};
      int d0 = t == kBishop ? 4 : 0, d1 = t == kRook ? 4 : 8;
      for (int d = d0; d < d1; ++d)
        for (int k = 1; try_to(f + k * dirs[d][0], r + k * dirs[d][1]); ++k) {
        }
    }
  }
  // Castling: rights, king and rook on their squares, the squares between empty,
  // the king's square, the square it passes and its target not attacked.
  int home = c == kWhite ? 4 : 60;
  CastlingRights short_right = c == kWhite ? kCastleWhiteShort : kCastleBlackShort;
  CastlingRights long_right = c == kWhite ? kCastleWhiteLong : kCastleBlackLong;
  if (b.sq[home] == make_piece(kKing, c) && !attacked(b, home, c ^ 1)) {
    if ((b.castling & short_right) && b.sq[home + 3] == make_piece(kRook, c) && !b.sq[home + 1] && !b.sq[home + 2] &&
        !attacked(b, home + 1, c ^ 1) && !attacked(b, home + 2, c ^ 1))
      out.push_back(make_move_code(home, home + 2, kMoveCastle));
    if ((b.castling & long_right) && b.sq[home - 4] == make_piece(kRook, c) && !b.sq[home - 1] && !b.sq[home - 2] &&
        !b.sq[home - 3] && !attacked(b, home - 1, c ^ 1) && !attacked(b, home - 2, c ^ 1))
      out.push_back(make_move_code(home, home - 2, kMoveCastle));
  }
}

inline std::vector<u32> legal_moves(const Board& b, bool bishop_promotions) {
  std::vector<u32> pseudo, legal;
  pseudo_moves(b, bishop_promotions, pseudo);
  for (u32 m : pseudo) {
    Board n = play(b, m);
    int k = king_square(n, b.stm);
    if (k >= 0 && !attacked(n, k, n.stm)) legal.push_back(m);
  }
  return legal;
}

inline u64 perft(const Board& b, int depth, bool bishop_promotions) {
  if (depth == 0) return 1;
  std::vector<u32> moves = legal_moves(b, bishop_promotions);
  if (depth == 1) return moves.size();
  u64 n = 0;
  for (u32 m : moves) n += perft(play(b, m), depth - 1, bishop_promotions);
  return n;
}

inline std::string move_text(u32 m) {
  std::string s;
  s += char('a' + (move_from(m) & 7));
  s += char('1' + (move_from(m) >> 3));
  s += char('a' + (move_to(m) & 7));
  s += char('1' + (move_to(m) >> 3));
  if (m & kRefPromoBishop) s += 'b';
  else if ((m & kMovePromoMask) == kMovePromoQueen) s += 'q';
  else if ((m & kMovePromoMask) == kMovePromoRook) s += 'r';
  else if ((m & kMovePromoMask) == kMovePromoKnight) s += 'n';
  return s;
}

}  // namespace orvex::reference
