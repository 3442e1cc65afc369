// Random legal positions of a material class for the board-layer tests and
// benchmark: kings, the class's pieces and pawns (many near promotion) placed
// at random, then played on by random legal moves of the general generators
// so that promotions, en passant, checks and double checks arise as in play.
// A rook promotion leaves the class and is never played; captures and queen
// or knight promotions keep a position inside it (a promoted knight is what
// every ending layer must handle).
#pragma once
#include <random>
#include <string>
#include <vector>

#include "position/fen.h"
#include "position/make_move.h"
#include "position/movegen.h"
#include "position/perft.h"
#include "tests/search/eval_test_util.h"

namespace orvex::testing {

// The further kinds (besides pawns, queens and kings) of each colour's class,
// as FEN letters of white's pieces.
struct MaterialClass {
  const char* name;
  const char* white_kinds;  // e.g. "B" or "NR"
  const char* black_kinds;
};

inline const MaterialClass kEndingClasses[] = {
    {"pawn_ending", "", ""},       {"bishop_ending", "B", "B"},   {"bishop_vs_knight_ending", "B", "N"},
    {"knight_vs_bishop_ending", "N", "B"}, {"knight_ending", "N", "N"}, {"rook_ending", "R", "R"},
    {"rook_bishop_ending", "BR", "BR"},   {"rook_knight_ending", "NR", "NR"},
};
inline const MaterialClass kAnyMaterial = {"any", "NBR", "NBR"};

// Number of squares attacking the king of colour c.
inline int checkers_of(Colour c) {
  const Position& p = current_position;
  const u64 king = p.piece_bb[2 * kKing + c];
  if (!king) return 0;
  const Square k = static_cast<Square>(__builtin_ctzll(king));
  const Colour o = c ^ 1;
  const u64 queens = p.piece_bb[2 * kQueen + o];
  const u64 set = (pawn_attacks[c][k] & p.piece_bb[o]) | (knight_attacks[k] & p.piece_bb[2 * kKnight + o]) |
                  (bishop_attacks(k) & (p.piece_bb[2 * kBishop + o] | queens)) |
                  (rook_attacks(k) & (p.piece_bb[2 * kRook + o] | queens));
  return __builtin_popcountll(set);
}

// A random start of the class: legal (the side not to move is not in check,
// at most two checkers), pawns off the first and last ranks.
inline std::string random_class_fen(std::mt19937& rng, const MaterialClass& cls, bool castling = false) {
  for (;;) {
    char board[64];
    for (char& c : board) c = '.';
    auto place = [&](char piece, int lo, int hi) {
      for (int tries = 0; tries < 200; ++tries) {
        const int s = lo + static_cast<int>(rng() % (hi - lo));
        if (board[s] != '.') continue;
        board[s] = piece;
        return;
      }
    };
    bool white_castles = false, black_castles = false;
    if (castling && rng() % 2) {
      board[4] = 'K', board[7] = 'R', board[0] = 'R', white_castles = true;
    } else {
      place('K', 0, 64);
    }
    if (castling && rng() % 2) {
      board[60] = 'k', board[63] = 'r', board[56] = 'r', black_castles = true;
    } else {
      place('k', 0, 64);
    }
    for (int c = 0; c < 2; ++c) {
      const std::string kinds = std::string(c == 0 ? cls.white_kinds : cls.black_kinds) + "Q";
      for (char k : kinds) {
        const int n = static_cast<int>(rng() % (k == 'Q' ? 2 : 3));
        for (int i = 0; i < n; ++i) place(c == 0 ? k : static_cast<char>(k + 32), 0, 64);
      }
      // Pawns, often one step from promotion, on their double-step rank or
      // on the rank from which they take en passant.
      const int pawns = static_cast<int>(rng() % 7);
      for (int i = 0; i < pawns; ++i) {
        const int pick = static_cast<int>(rng() % 5);
        const int seventh = c == 0 ? 48 : 8, second = c == 0 ? 8 : 48, fifth = c == 0 ? 32 : 24;
        const int lo = pick == 0 ? seventh : pick == 1 ? second : pick == 2 ? fifth : 8;
        const int hi = pick <= 2 ? lo + 8 : 56;
        place(c == 0 ? 'P' : 'p', lo, hi);
      }
    }
    std::string fen = placement_fen(board);
    const bool white = rng() % 2;
    std::string rights;
    if (white_castles) rights += "KQ";
    if (black_castles) rights += "kq";
    fen += white ? " w " : " b ";
    fen += rights.empty() ? "-" : rights;
    fen += " -";
    parse_fen(fen.c_str());
    const Colour stm = current_position.side_to_move;
    if (!current_position.piece_bb[2 * kKing] || !current_position.piece_bb[2 * kKing + 1]) continue;
    if (king_attacked(stm ^ 1) || checkers_of(stm) > 2) continue;
    return fen;
  }
}

// The legal moves of the general configuration that keep the class: no rook
// promotion.
inline std::vector<SearchMove> class_moves() {
  SearchMove moves[kMaxMoves];
  generate_all_moves(moves);
  std::vector<SearchMove> out;
  const Colour mover = current_position.side_to_move;
  for (const SearchMove* m = moves; *m; ++m) {
    if ((*m & kMovePromoMask) == kMovePromoRook) continue;
    UndoRecord u;
    make_move(*m, u);
    if (!king_attacked(mover)) out.push_back(*m);
    unmake_move(*m, u);
  }
  return out;
}

// Calls visit() on `games` random games of up to `plies` plies from random
// starts of the class, current_position set to each position in turn.
// Checking moves are preferred half of the time, so that checks and double
// checks come often.
template <class F>
void class_games(const MaterialClass& cls, u32 seed, int games, int plies, F&& visit, bool castling = false) {
  std::mt19937 rng(seed);
  for (int g = 0; g < games; ++g) {
    const std::string fen = random_class_fen(rng, cls, castling);
    parse_fen(fen.c_str());
    for (int ply = 0; ply < plies; ++ply) {
      visit();
      const std::vector<SearchMove> moves = class_moves();
      if (moves.empty()) break;
      SearchMove pick = moves[rng() % moves.size()];
      if (rng() % 3 == 0) {
        // A double step that allows en passant, when there is one.
        for (SearchMove m : moves) {
          UndoRecord u;
          make_move(m, u);
          const bool ep = current_position.state.ep_square != 0;
          unmake_move(m, u);
          if (ep) pick = m;
        }
      } else if (rng() % 2) {
        // A check, a double check when there is one.
        int best = 0;
        for (SearchMove m : moves) {
          UndoRecord u;
          make_move(m, u);
          const int checkers = checkers_of(current_position.side_to_move);
          unmake_move(m, u);
          if (checkers > best || (checkers && checkers == best && rng() % 2)) {
            best = checkers;
            pick = m;
          }
        }
      }
      UndoRecord u;
      make_move(pick, u);
      current_position.state.history_count = 0;  // keep the key history short
    }
  }
}

}  // namespace orvex::testing
