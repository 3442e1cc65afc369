#include <gtest/gtest.h>

#include <cstring>
#include <random>
#include <string>

#include "position/fen.h"
#include "position/keys.h"
#include "position/move_text.h"
#include "tests/squares.h"

namespace orvex {
namespace {

using testing::sq;
UciMove mv(const char* from, const char* to, UciMove flags = 0) { return make_move_code(sq(from), sq(to)) | flags; }

std::string text_of(SearchMove m) {
  char buf[6];
  const std::size_t len = move_to_text(m, buf);
  EXPECT_EQ(len, std::strlen(buf));
  return buf;
}

// Plays a move list the way the position command does: each move only if legal.
bool play(const char* fen, std::initializer_list<const char*> moves) {
  parse_fen(fen);
  for (const char* t : moves) {
    const UciMove m = parse_uci_move(t);
    if (!is_legal_uci_move(m)) return false;
    make_root_move(m);
    EXPECT_EQ(current_position.state.key, compute_zobrist_key(current_position)) << t;
  }
  rebuild_position(current_position);
  return true;
}

TEST(MoveText, SearchMoveTexts) {
  const struct {
    SearchMove m;
    const char* text;
  } cases[] = {
      {0, "a1a1"},
      {make_move_code(sq("e2"), sq("e4")), "e2e4"},
      {make_move_code(sq("e7"), sq("e8"), kMovePromoKnight), "e7e8n"},
      {make_move_code(sq("e7"), sq("e8"), kMovePromoQueen), "e7e8q"},
      {make_move_code(sq("b2"), sq("a1"), kMovePromoRook), "b2a1r"},
      {make_move_code(sq("e1"), sq("g1"), kMoveCastle), "e1g1"},
      {make_move_code(sq("e5"), sq("d6"), kMoveEnPassant), "e5d6"},
      {make_move_code(sq("h8"), sq("a1")), "h8a1"},
  };
  for (const auto& c : cases) EXPECT_EQ(text_of(c.m), c.text);
}

TEST(MoveText, CodesTranslateBothWays) {
  // Same bits, different meaning: a front-end knight promotion is a search rook promotion.
  EXPECT_EQ(kUciPromoKnight, kMovePromoRook);
  const struct {
    UciMove uci;
    SearchMove search;
  } cases[] = {
      {mv("e2", "e4"), make_move_code(sq("e2"), sq("e4"))},
      {mv("e1", "g1", kUciCastle), make_move_code(sq("e1"), sq("g1"), kMoveCastle)},
      {mv("e5", "d6", kUciEnPassant), make_move_code(sq("e5"), sq("d6"), kMoveEnPassant)},
      {mv("a7", "a8", kUciPromoQueen), make_move_code(sq("a7"), sq("a8"), kMovePromoQueen)},
      {mv("a7", "a8", kUciPromoRook), make_move_code(sq("a7"), sq("a8"), kMovePromoRook)},
      {mv("a7", "a8", kUciPromoKnight), make_move_code(sq("a7"), sq("a8"), kMovePromoKnight)},
  };
  for (const auto& c : cases) {
    EXPECT_EQ(search_move_of(c.uci), c.search);
    EXPECT_EQ(uci_move_of(c.search), c.uci);
  }
  EXPECT_EQ(search_move_of(mv("a7", "a8", kUciPromoBishop)), kNoMove);
  char buf[6];
  for (const char* t : {"a7a8q", "a7a8r", "a7a8b", "a7a8n", "h2h1q", "e2e4"}) {
    parse_fen("4k3/P7/8/8/8/8/4P2p/4K3 w - -");
    uci_move_to_text(parse_uci_move(t), buf);
    EXPECT_STREQ(buf, t);
  }
}

TEST(ParseUciMove, FlagsTable) {
  const char* fen_ep = "rnbqkbnr/pp2pppp/8/2ppP3/8/8/PPPP1PPP/RNBQKBNR w KQkq d6 0 3";
  const char* fen_castle = "r3k2r/pppppppp/8/8/8/8/PPPPPPPP/R3K2R w KQkq -";
  const struct {
    const char* fen;
    const char* text;
    UciMove expected;
  } cases[] = {
      {fen_ep, "e5d6", mv("e5", "d6", kUciEnPassant)},
      {fen_ep, "e5e6", mv("e5", "e6")},
      {fen_castle, "e1g1", mv("e1", "g1", kUciCastle)},
      {fen_castle, "e1c1", mv("e1", "c1", kUciCastle)},
      {fen_castle, "e1f1", mv("e1", "f1")},
      {fen_castle, "a1c1", mv("a1", "c1")},  // a rook moving two files is no castling
      {kStartFen, "a7a8q", mv("a7", "a8", kUciPromoQueen)},
      {kStartFen, "a7a8r", mv("a7", "a8", kUciPromoRook)},
      {kStartFen, "a7a8b", mv("a7", "a8", kUciPromoBishop)},
      {kStartFen, "a7a8n", mv("a7", "a8", kUciPromoKnight)},
      {kStartFen, "a7a8x", mv("a7", "a8")},
      {kStartFen, "a7a8 e2e4", mv("a7", "a8")},
      // Malformed text gives 0, never squares outside the board.
      {kStartFen, "i2i4", 0},
      {kStartFen, "e0e4", 0},
      {kStartFen, "e2e9", 0},
      {kStartFen, "E2E4", 0},
      {kStartFen, "e2e", 0},
      {kStartFen, "", 0},
      {kStartFen, "\xff\xfe\xfd\xfc", 0},
  };
  for (const auto& c : cases) {
    parse_fen(c.fen);
    EXPECT_EQ(parse_uci_move(c.text), c.expected) << c.fen << " " << c.text;
  }
}

TEST(MakeRootMove, SpecifiedSequences) {
  ASSERT_TRUE(play(kStartFen, {}));
  const u64 start_key = current_position.state.key;
  ASSERT_TRUE(play(kStartFen, {"e2e4"}));
  EXPECT_EQ(current_position.state.ep_square, 0u);
  EXPECT_EQ(current_position.state.fifty, 0u);
  EXPECT_EQ(current_position.state.history_count, 1u);
  EXPECT_EQ(current_position.key_history[0], start_key);
  EXPECT_EQ(current_position.state.key, compute_zobrist_key(current_position));

  ASSERT_TRUE(play(kStartFen, {"e2e4", "c7c5", "e4e5", "d7d5"}));
  EXPECT_EQ(current_position.state.ep_square, sq("d6"));
  EXPECT_EQ(parse_uci_move("e5d6"), mv("e5", "d6", kUciEnPassant));
  ASSERT_TRUE(play(kStartFen, {"e2e4", "c7c5", "e4e5", "d7d5", "e5d6"}));
  EXPECT_EQ(current_position.board[sq("d5")], kNoPiece);
  EXPECT_EQ(current_position.board[sq("d6")], kWhitePawn);
  EXPECT_EQ(current_position.state.material_balance, 1);

  ASSERT_TRUE(play("r3k2r/8/8/8/8/8/8/R3K2R w KQkq - 0 1", {"a1b1"}));
  EXPECT_EQ(current_position.state.castling, 13u);  // long white right gone
  EXPECT_EQ(current_position.state.fifty, 1u);
  ASSERT_TRUE(play("r3k2r/8/8/8/8/8/8/R3K2R w KQkq - 0 1", {"e1g1"}));
  EXPECT_EQ(current_position.board[sq("f1")], kWhiteRook);
  EXPECT_EQ(current_position.board[sq("h1")], kNoPiece);
  EXPECT_EQ(current_position.board[sq("g1")], kWhiteKing);
  EXPECT_EQ(current_position.state.castling, 12u);
  EXPECT_EQ(current_position.state.fifty, 0u);
  ASSERT_TRUE(play("r3k2r/8/8/8/8/8/8/R3K2R b KQkq - 0 1", {"e8c8"}));
  EXPECT_EQ(current_position.board[sq("d8")], kBlackRook);
  EXPECT_EQ(current_position.board[sq("a8")], kNoPiece);
  EXPECT_EQ(current_position.state.castling, 3u);
  ASSERT_TRUE(play("r3k2r/8/8/8/8/8/8/R3K2R w KQkq - 0 1", {"h1h8"}));  // capture on h8
  EXPECT_EQ(current_position.state.castling, 10u);  // both short rights gone

  const struct {
    const char* text;
    PieceCode piece;
  } promotions[] = {{"a7a8q", kWhiteQueen}, {"a7a8r", kWhiteRook}, {"a7a8b", kWhiteBishop}, {"a7a8n", kWhiteKnight}};
  for (const auto& pr : promotions) {
    ASSERT_TRUE(play("4k3/P7/8/8/8/8/8/4K3 w - -", {pr.text}));
    EXPECT_EQ(current_position.board[sq("a8")], pr.piece) << pr.text;
    EXPECT_EQ(current_position.state.pawn_key, kPawnKeySeed);
  }
  // Without a letter the promotion is not legal; made anyway, it leaves a pawn.
  EXPECT_FALSE(play("4k3/P7/8/8/8/8/8/4K3 w - -", {"a7a8"}));
  make_root_move(parse_uci_move("a7a8"));
  EXPECT_EQ(current_position.board[sq("a8")], kWhitePawn);
}

TEST(IsLegalUciMove, RefusesIllegalAndMalformedMoves) {
  const char* after_e4 = "rnbqkbnr/pppppppp/8/8/4P3/8/PPPP1PPP/RNBQKBNR b KQkq -";
  const struct {
    const char* fen;
    const char* text;
    bool legal;
  } cases[] = {
      {kStartFen, "e2e4", true},
      {kStartFen, "e2e5", false},
      {kStartFen, "e3e4", false},   // empty from-square
      {kStartFen, "e7e5", false},   // the other side's pawn
      {kStartFen, "e1g1", false},   // castling through pieces
      {kStartFen, "a1a1", false},
      {kStartFen, "z9z9", false},
      {kStartFen, "e2e4q", false},  // promotion letter on a plain move
      {after_e4, "e4e5", false},
      {"4k3/8/8/8/8/8/8/R3K2R w - - 0 1", "e1g1", false},    // no right
      {"4k3/8/8/8/8/8/8/4K2R w K - 0 1", "e1c1", false},     // no a1 rook
      {"4k3/8/8/8/8/8/5r2/4K2R w K - 0 1", "e1g1", false},   // passes over attacked f1
      {"4k3/8/8/8/8/8/8/r3K2R w K - 0 1", "e1g1", false},    // king in check
      {"4k3/8/8/8/8/8/1r6/4K2R w K - 0 1", "e1g1", true},
      {"r3k3/8/8/8/8/8/8/1R2K3 b q - 0 1", "e8c8", true},    // b8 attacked does not matter
      {"4k3/8/8/8/8/8/4r3/4K3 w - - 0 1", "e1e2", true},
      {"4k3/8/8/8/8/8/4r3/4K3 w - - 0 1", "e1e2q", false},
      {"3rk3/8/8/8/8/8/8/3RK3 w - - 0 1", "d1d8", true},
      {"3rk3/8/8/8/8/8/8/3RK3 w - - 0 1", "e1d2", false},    // into the rook's file
      {"3rk3/8/8/8/8/8/8/3RK3 w - - 0 1", "e1f2", true},
      {"3rk3/8/8/8/8/8/3N4/4K3 w - - 0 1", "e1d1", true},    // the knight shields d1
      {"4k3/8/8/3pP3/8/8/8/4K3 w - d6 0 1", "e5d6", true},
      {"4k3/8/8/K2pP2r/8/8/8/8 w - d6 0 1", "e5d6", false},  // en passant uncovers the rank
      {"4k3/P7/8/8/8/8/8/4K3 w - -", "a7a8", false},         // promotion needs a letter
      {"4k3/P7/8/8/8/8/8/4K3 w - -", "a7a8b", true},
      {"4k3/8/8/8/8/8/8/3QK3 w - -", "d1e8", false},         // no move onto a king
  };
  for (const auto& c : cases) {
    parse_fen(c.fen);
    const Position before = current_position;
    EXPECT_EQ(is_legal_uci_move(parse_uci_move(c.text)), c.legal) << c.fen << " " << c.text;
    EXPECT_EQ(std::memcmp(&before, &current_position, sizeof before), 0);
  }
}

TEST(MakeRootMove, MalformedCodesStayInsideTheRecord) {
  // Moves from empty squares, castling flags without a rook, every flag at once.
  const UciMove junk[] = {mv("e4", "e5"), mv("e4", "g4", kUciCastle), mv("e1", "g1", kUciCastle),
                          0xFFFFFFFFu,    mv("d4", "d5", kUciEnPassant | kUciPromoMask), 0};
  for (UciMove m : junk) {
    parse_fen("4k3/8/8/8/8/8/8/4K3 w - -");
    make_root_move(m);
    for (Square s = 0; s < 64; ++s) EXPECT_LE(current_position.board[s], kBlackKing);
    rebuild_position(current_position);
    EXPECT_EQ(current_position.state.key, compute_zobrist_key(current_position));
  }
}

// Counts leaf positions with the slow legal generator and checks the key that
// make_root_move keeps at every move against a fresh computation.
u64 perft(int depth) {
  UciMove moves[kMaxLegalMoves];
  const int n = generate_legal_uci_moves(moves);
  if (depth == 1) return static_cast<u64>(n);
  u64 total = 0;
  for (int i = 0; i < n; ++i) {
    PieceCode board[64];
    std::memcpy(board, current_position.board, sizeof board);
    const PositionState state = current_position.state;
    const Colour side = current_position.side_to_move;
    make_root_move(moves[i]);
    EXPECT_EQ(current_position.state.key, compute_zobrist_key(current_position));
    total += perft(depth - 1);
    std::memcpy(current_position.board, board, sizeof board);
    current_position.state = state;
    current_position.side_to_move = side;
  }
  return total;
}

TEST(LegalMoves, PerftWithAllPromotions) {
  const struct {
    const char* fen;
    int depth;
    u64 nodes;
  } cases[] = {
      {kStartFen, 3, 8902},
      {"r3k2r/p1ppqpb1/bn2pnp1/3PN3/1p2P3/2N2Q1p/PPPBBPPP/R3K2R w KQkq -", 2, 2039},
      {"8/2p5/3p4/KP5r/1R3p1k/8/4P1P1/8 w - -", 3, 2812},
      {"r3k2r/Pppp1ppp/1b3nbN/nP6/BBP1P3/q4N2/Pp1P2PP/R2Q1RK1 w kq - 0 1", 3, 9467},
      {"rnbq1k1r/pp1Pbppp/2p5/8/2B5/8/PPP1NnPP/RNBQK2R w KQ - 1 8", 2, 1486},
      {"r4rk1/1pp1qppp/p1np1n2/2b1p1B1/2B1P1b1/P1NP1N2/1PP1QPPP/R4RK1 w - - 0 10", 2, 2079},
  };
  for (const auto& c : cases) {
    parse_fen(c.fen);
    EXPECT_EQ(perft(c.depth), c.nodes) << c.fen;
  }
}

TEST(LegalMoves, SlowPerftDeeper) {
  const struct {
    const char* fen;
    int depth;
    u64 nodes;
  } cases[] = {
      {kStartFen, 4, 197281},
      {"r3k2r/p1ppqpb1/bn2pnp1/3PN3/1p2P3/2N2Q1p/PPPBBPPP/R3K2R w KQkq -", 3, 97862},
      {"8/2p5/3p4/KP5r/1R3p1k/8/4P1P1/8 w - -", 4, 43238},
      {"rnbq1k1r/pp1Pbppp/2p5/8/2B5/8/PPP1NnPP/RNBQK2R w KQ - 1 8", 3, 62379},
  };
  for (const auto& c : cases) {
    parse_fen(c.fen);
    EXPECT_EQ(perft(c.depth), c.nodes) << c.fen;
  }
}

// The castling rights never name a king or rook that is not on its home square.
void expect_rights_match_pieces(const Position& p) {
  const struct {
    CastlingRights right;
    Square king, rook;
    PieceCode k, r;
  } rules[] = {{kCastleWhiteShort, 4, 7, kWhiteKing, kWhiteRook},
               {kCastleWhiteLong, 4, 0, kWhiteKing, kWhiteRook},
               {kCastleBlackShort, 60, 63, kBlackKing, kBlackRook},
               {kCastleBlackLong, 60, 56, kBlackKing, kBlackRook}};
  for (const auto& r : rules)
    if (p.state.castling & r.right) {
      EXPECT_EQ(p.board[r.king], r.k);
      EXPECT_EQ(p.board[r.rook], r.r);
    }
}

TEST(MakeRootMove, RandomGamesKeepKeysExact) {
  std::mt19937 rng(2024);
#ifdef ORVEX_SANITIZED
  const int games = 10;
#else
  const int games = 120;
#endif
  const char* starts[] = {kStartFen, "r3k2r/p1ppqpb1/bn2pnp1/3PN3/1p2P3/2N2Q1p/PPPBBPPP/R3K2R w KQkq -",
                          "r3k2r/Pppp1ppp/1b3nbN/nP6/BBP1P3/q4N2/Pp1P2PP/R2Q1RK1 w kq - 0 1"};
  for (int g = 0; g < games; ++g) {
    parse_fen(starts[g % 3]);
    for (int ply = 0; ply < 200; ++ply) {
      UciMove moves[kMaxLegalMoves];
      const int n = generate_legal_uci_moves(moves);
      if (n == 0) break;
      const UciMove m = moves[rng() % n];
      char text[6];
      uci_move_to_text(m, text);
      ASSERT_EQ(parse_uci_move(text), m) << text;  // text round trip with flags
      const u64 key_before = current_position.state.key;
      make_root_move(m);
      ASSERT_EQ(current_position.key_history[current_position.state.history_count - 1], key_before);
      ASSERT_EQ(current_position.state.key, compute_zobrist_key(current_position)) << text;
      expect_rights_match_pieces(current_position);
      ASSERT_LE(current_position.state.fifty, current_position.state.history_count);
      if (ply % 7 == 0) {
        Position rebuilt = current_position;
        rebuild_position(rebuilt);
        ASSERT_EQ(rebuilt.state.key, current_position.state.key);
        ASSERT_EQ(rebuilt.state.pawn_key, compute_pawn_key(rebuilt));
        ASSERT_EQ(rebuilt.state.material_index, compute_material_index(rebuilt));
      }
    }
  }
}

TEST(MakeRootMove, LongGamesNeverOverrunTheKeyHistory) {
  parse_fen("4k3/8/8/8/8/8/8/4K3 w - -");
  std::mt19937 rng(7);
  for (int ply = 0; ply < 3000; ++ply) {
    UciMove moves[kMaxLegalMoves];
    const int n = generate_legal_uci_moves(moves);
    ASSERT_GT(n, 0);
    const u64 key_before = current_position.state.key;
    make_root_move(moves[rng() % n]);
    const PositionState& st = current_position.state;
    ASSERT_LE(st.history_count, kRootHistoryLimit);
    ASSERT_LE(st.fifty, st.history_count);
    ASSERT_GE(st.fifty, ply < 100 ? static_cast<u32>(ply + 1) : 100u);
    ASSERT_EQ(current_position.key_history[st.history_count - 1], key_before);
  }
  trim_key_history(current_position);
  EXPECT_LE(current_position.state.history_count, kRootHistoryLimit / 2);
  EXPECT_GE(current_position.state.fifty, 100u);
}

TEST(TrimKeyHistory, KeepsTheReachableKeys) {
  parse_fen(kStartFen);
  for (const char* t : {"g1f3", "g8f6", "f3g1", "f6g8", "e2e4", "e7e5", "g1f3"}) make_root_move(parse_uci_move(t));
  const u64 last = current_position.key_history[6];
  const u64 before_last = current_position.key_history[5];
  ASSERT_EQ(current_position.state.fifty, 1u);
  ASSERT_EQ(current_position.state.history_count, 7u);
  trim_key_history(current_position);
  EXPECT_EQ(current_position.state.history_count, 1u);
  EXPECT_EQ(current_position.key_history[0], last);
  EXPECT_NE(before_last, last);
}

}  // namespace
}  // namespace orvex
