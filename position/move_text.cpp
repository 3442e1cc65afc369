#include "position/move_text.h"

#include "position/keys.h"
#include "position/position.h"
#include "position/tables.h"

namespace orvex {
namespace {

void write_squares(u32 m, char out[6]) {
  const Square from = move_from(m), to = move_to(m);
  out[0] = static_cast<char>('a' + file_of(from));
  out[1] = static_cast<char>('1' + rank_of(from));
  out[2] = static_cast<char>('a' + file_of(to));
  out[3] = static_cast<char>('1' + rank_of(to));
  out[4] = 0;
  out[5] = 0;
}

// Square named by a file letter and a rank digit, or -1.
int square_of_text(char file, char rank) {
  if (file < 'a' || file > 'h' || rank < '1' || rank > '8') return -1;
  return (rank - '1') * 8 + (file - 'a');
}

// ---- Slow, board-only legality (the bitboards may be stale here) ----

constexpr int kDiagonalDirs[4][2] = {{1, 1}, {1, -1}, {-1, 1}, {-1, -1}};
constexpr int kStraightDirs[4][2] = {{1, 0}, {-1, 0}, {0, 1}, {0, -1}};

bool slider_attacks(const PieceCode* board, Square s, const int (*dirs)[2], PieceCode a, PieceCode b) {
  for (int d = 0; d < 4; ++d) {
    int f = static_cast<int>(file_of(s)) + dirs[d][0], r = static_cast<int>(rank_of(s)) + dirs[d][1];
    for (; f >= 0 && f < 8 && r >= 0 && r < 8; f += dirs[d][0], r += dirs[d][1]) {
      const PieceCode c = board[r * 8 + f];
      if (c == kNoPiece) continue;
      if (c == a || c == b) return true;
      break;
    }
  }
  return false;
}

bool any_on(const PieceCode* board, u64 squares, PieceCode code) {
  for (; squares; squares &= squares - 1)
    if (board[__builtin_ctzll(squares)] == code) return true;
  return false;
}

bool attacked_by(const PieceCode* board, Square s, Colour by) {
  return any_on(board, pawn_attacks[by ^ 1][s], make_piece(kPawn, by)) ||
         any_on(board, knight_attacks[s], make_piece(kKnight, by)) ||
         any_on(board, king_attacks[s], make_piece(kKing, by)) ||
         slider_attacks(board, s, kDiagonalDirs, make_piece(kBishop, by), make_piece(kQueen, by)) ||
         slider_attacks(board, s, kStraightDirs, make_piece(kRook, by), make_piece(kQueen, by));
}

struct Generator {
  const Position& p;
  UciMove* out;
  int count = 0;

  // Adds m when it does not leave the mover's king attacked.
  void add_if_legal(UciMove m) {
    PieceCode b[64];
    for (Square s = 0; s < 64; ++s) b[s] = p.board[s];
    const Square from = move_from(m), to = move_to(m);
    const Colour us = p.side_to_move;
    b[to] = b[from];
    b[from] = kNoPiece;
    if (m & kUciEnPassant) b[to ^ 8] = kNoPiece;
    const PieceCode king = make_piece(kKing, us);
    for (Square s = 0; s < 64; ++s)
      if (b[s] == king && attacked_by(b, s, us ^ 1)) return;
    if (count < kMaxLegalMoves) out[count++] = m;
  }

  void add_pawn_move(Square from, Square to, UciMove flags) {
    const UciMove m = make_move_code(from, to) | flags;
    if (rank_of(to) == 0 || rank_of(to) == 7) {
      for (UciMove promo : {kUciPromoQueen, kUciPromoRook, kUciPromoBishop, kUciPromoKnight}) add_if_legal(m | promo);
    } else {
      add_if_legal(m);
    }
  }

  // A target a non-pawn may move to: empty or an enemy piece other than the king.
  bool can_land(Square to, Colour us) const {
    const PieceCode c = p.board[to];
    return c == kNoPiece || (colour_of(c) != us && !is_king(c));
  }

  void slides(Square from, Colour us, const int (*dirs)[2]) {
    for (int d = 0; d < 4; ++d) {
      int f = static_cast<int>(file_of(from)) + dirs[d][0], r = static_cast<int>(rank_of(from)) + dirs[d][1];
      for (; f >= 0 && f < 8 && r >= 0 && r < 8; f += dirs[d][0], r += dirs[d][1]) {
        const Square to = static_cast<Square>(r * 8 + f);
        if (can_land(to, us)) add_if_legal(make_move_code(from, to));
        if (p.board[to] != kNoPiece) break;
      }
    }
  }

  void castles(Colour us) {
    const Square home = us == kWhite ? 4 : 60;
    if (p.board[home] != make_piece(kKing, us)) return;
    const Colour them = us ^ 1;
    const PieceCode rook = make_piece(kRook, us);
    const CastlingRights short_right = us == kWhite ? kCastleWhiteShort : kCastleBlackShort;
    const CastlingRights long_right = us == kWhite ? kCastleWhiteLong : kCastleBlackLong;
    if (attacked_by(p.board, home, them)) return;
    if ((p.state.castling & short_right) && p.board[home + 3] == rook && p.board[home + 1] == kNoPiece &&
        p.board[home + 2] == kNoPiece && !attacked_by(p.board, home + 1, them) &&
        !attacked_by(p.board, home + 2, them))
      add_if_legal(make_move_code(home, home + 2) | kUciCastle);
    if ((p.state.castling & long_right) && p.board[home - 4] == rook && p.board[home - 1] == kNoPiece &&
        p.board[home - 2] == kNoPiece && p.board[home - 3] == kNoPiece && !attacked_by(p.board, home - 1, them) &&
        !attacked_by(p.board, home - 2, them))
      add_if_legal(make_move_code(home, home - 2) | kUciCastle);
  }

  void run() {
    const Colour us = p.side_to_move & 1;
    for (Square from = 0; from < 64; ++from) {
      const PieceCode c = p.board[from];
      if (c == kNoPiece || colour_of(c) != us) continue;
      switch (type_of(c)) {
        case kPawn: {
          const u64 one = pawn_push[us][from];
          if (one && p.board[__builtin_ctzll(one)] == kNoPiece) {
            add_pawn_move(from, static_cast<Square>(__builtin_ctzll(one)), 0);
            const u64 two = pawn_double_push[us][from];
            if (two && p.board[__builtin_ctzll(two)] == kNoPiece)
              add_pawn_move(from, static_cast<Square>(__builtin_ctzll(two)), 0);
          }
          for (u64 t = pawn_attacks[us][from]; t; t &= t - 1) {
            const Square to = static_cast<Square>(__builtin_ctzll(t));
            const PieceCode victim = p.board[to];
            if (victim != kNoPiece && colour_of(victim) != us && !is_king(victim)) {
              add_pawn_move(from, to, 0);
            } else if (victim == kNoPiece && p.state.ep_square != 0 && to == p.state.ep_square &&
                       p.board[to ^ 8] == make_piece(kPawn, us ^ 1)) {
              add_pawn_move(from, to, kUciEnPassant);
            }
          }
          break;
        }
        case kKnight:
        case kKing:
          for (u64 t = (type_of(c) == kKnight ? knight_attacks : king_attacks)[from]; t; t &= t - 1) {
            const Square to = static_cast<Square>(__builtin_ctzll(t));
            if (can_land(to, us)) add_if_legal(make_move_code(from, to));
          }
          break;
        case kBishop: slides(from, us, kDiagonalDirs); break;
        case kRook: slides(from, us, kStraightDirs); break;
        case kQueen:
          slides(from, us, kDiagonalDirs);
          slides(from, us, kStraightDirs);
          break;
        default: break;
      }
    }
    castles(us);
  }
};

}  // namespace

std::size_t move_to_text(SearchMove m, char out[6]) {
  write_squares(m, out);
  switch (m & kMovePromoMask) {
    case kMovePromoQueen: out[4] = 'q'; return 5;
    case kMovePromoRook: out[4] = 'r'; return 5;
    case kMovePromoKnight: out[4] = 'n'; return 5;
    default: return 4;
  }
}

void uci_move_to_text(UciMove m, char out[6]) {
  write_squares(m, out);
  if (m & kUciPromoRook) out[4] = 'r';
  else if (m & kUciPromoBishop) out[4] = 'b';
  else if (m & kUciPromoKnight) out[4] = 'n';
  else if (m & kUciPromoQueen) out[4] = 'q';
}

UciMove parse_uci_move(const char* text) {
  if (text == nullptr) return 0;
  for (int i = 0; i < 4; ++i)
    if (text[i] == 0) return 0;
  const int from = square_of_text(text[0], text[1]);
  const int to = square_of_text(text[2], text[3]);
  if (from < 0 || to < 0) return 0;
  UciMove m = make_move_code(static_cast<Square>(from), static_cast<Square>(to));
  switch (text[4]) {
    case 'b': m |= kUciPromoBishop; break;
    case 'n': m |= kUciPromoKnight; break;
    case 'q': m |= kUciPromoQueen; break;
    case 'r': m |= kUciPromoRook; break;
    default: break;
  }
  const Position& p = current_position;
  const PieceCode piece = p.board[from];
  if (is_pawn(piece) && p.state.ep_square != 0 && static_cast<u32>(to) == p.state.ep_square) m |= kUciEnPassant;
  if (is_king(piece) && (to - from == 2 || from - to == 2)) m |= kUciCastle;
  return m;
}

void make_root_move(UciMove m) {
  Position& p = current_position;
  PositionState& st = p.state;
  const Square from = move_from(m), to = move_to(m);
  const PieceCode piece = p.board[from];
  const Colour c = p.side_to_move & 1;

  // A game longer than the history holds keeps only the keys still reachable.
  if (st.history_count >= kRootHistoryLimit) trim_key_history(p);
  p.key_history[st.history_count] = st.key;
  st.history_count += 1;
  st.fifty += 1;

  const CastlingRights rights = st.castling & castle_mask[to] & castle_mask[from];
  st.key ^= castle_keys[(st.castling ^ rights) & 15];
  st.castling = rights;

  if (st.ep_square != 0) {
    st.key ^= ep_keys[st.ep_square & 7];
    st.ep_square = 0;
  }

  p.board[from] = kNoPiece;
  st.key ^= piece_key(piece, from) ^ piece_key(piece, to);

  if (p.board[to] != kNoPiece) {
    st.fifty = 0;
    st.key ^= piece_key(p.board[to], to);
  } else if (m & kUciCastle) {
    st.fifty = 0;
    Square rook_from = 56, rook_to = 59;  // a8 to d8 for any other target
    if (to == 6) rook_from = 7, rook_to = 5;
    else if (to == 2) rook_from = 0, rook_to = 3;
    else if (to == 62) rook_from = 63, rook_to = 61;
    const PieceCode rook = p.board[rook_from];
    p.board[rook_from] = kNoPiece;
    p.board[rook_to] = rook;
    st.key ^= piece_key(rook, rook_from) ^ piece_key(rook, rook_to);
  }

  p.board[to] = piece;

  if (is_pawn(piece)) {
    st.fifty = 0;
    if (m & kUciEnPassant) {
      const Square victim = to ^ 8;
      st.key ^= piece_key(p.board[victim], victim);
      p.board[victim] = kNoPiece;
    }
    if (m & kUciPromoMask) {
      const PieceType type = (m & kUciPromoRook)     ? kRook
                             : (m & kUciPromoBishop) ? kBishop
                             : (m & kUciPromoKnight) ? kKnight
                                                     : kQueen;
      const PieceCode promoted = make_piece(type, c);
      p.board[to] = promoted;
      st.key ^= piece_key(piece, to) ^ piece_key(promoted, to);
    }
    if ((to ^ from) == 16) {
      const PieceCode their_pawn = make_piece(kPawn, c ^ 1);
      const bool beside = (file_of(to) != 0 && p.board[to - 1] == their_pawn) ||
                          (file_of(to) != 7 && p.board[to + 1] == their_pawn);
      if (beside) {
        st.ep_square = (from + to) / 2;
        st.key ^= ep_keys[st.ep_square & 7];
      }
    }
  }

  p.side_to_move ^= 1;
  st.key ^= kSideKey;
}

int generate_legal_uci_moves(UciMove out[kMaxLegalMoves]) {
  Generator g{current_position, out};
  g.run();
  return g.count;
}

bool is_legal_uci_move(UciMove m) {
  UciMove moves[kMaxLegalMoves];
  const int n = generate_legal_uci_moves(moves);
  for (int i = 0; i < n; ++i)
    if (moves[i] == m) return true;
  return false;
}

UciMove first_legal_uci_move(const UciMove* list, int cap) {
  for (int i = 0; i < cap && list[i] != 0; ++i)
    if (is_legal_uci_move(list[i])) return list[i];
  return 0;
}

void answer_move_text(SearchMove move, UciMove named, char out[6]) {
  if (move == kNoMove && named != 0)
    uci_move_to_text(named, out);
  else
    move_to_text(move, out);
}

SearchMove search_move_of(UciMove m) {
  SearchMove s = make_move_code(move_from(m), move_to(m));
  if (m & kUciCastle) s |= kMoveCastle;
  if (m & kUciEnPassant) s |= kMoveEnPassant;
  if (m & kUciPromoBishop) return kNoMove;
  if (m & kUciPromoRook) s |= kMovePromoRook;
  else if (m & kUciPromoKnight) s |= kMovePromoKnight;
  else if (m & kUciPromoQueen) s |= kMovePromoQueen;
  return s;
}

UciMove uci_move_of(SearchMove m) {
  UciMove u = make_move_code(move_from(m), move_to(m));
  if (m & kMoveCastle) u |= kUciCastle;
  if (m & kMoveEnPassant) u |= kUciEnPassant;
  switch (m & kMovePromoMask) {
    case kMovePromoQueen: u |= kUciPromoQueen; break;
    case kMovePromoRook: u |= kUciPromoRook; break;
    case kMovePromoKnight: u |= kUciPromoKnight; break;
    default: break;
  }
  return u;
}

}  // namespace orvex
