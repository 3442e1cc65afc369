// The position command: stored text, FEN and move lists, the legality rule
// for moves and the trimmed key history; and the root position check.
#include <gtest/gtest.h>

#include <unistd.h>

#include <cstring>
#include <memory>
#include <string>
#include <thread>
#include <vector>

#include "core/position_command.h"
#include "core/root_check.h"
#include "core/worker_team.h"
#include "platform/platform.h"
#include "position/fen.h"
#include "position/keys.h"
#include "position/move_text.h"
#include "search/host.h"
#include "tests/squares.h"

namespace orvex {
namespace {

using testing::sq;

// The position a text gives, as a FEN-independent fingerprint.
u64 key_after(const char* text) {
  char buf[kPositionLineSize];
  std::strncpy(buf, text, sizeof buf - 1);
  buf[sizeof buf - 1] = '\0';
  handle_position(buf);
  return current_position.state.key;
}

TEST(PositionCommand, StoredTextIsCut) {
  struct Case {
    const char* line;
    const char* stored;
  };
  const Case cases[] = {
      {"position startpos", "position startpos"},
      {"position startpos moves  \r\n", "position startpos"},
      {"position startpos moves e2e4   ", "position startpos moves e2e4"},
      {"position fen 8/8/8/8/8/8/8/8 w - - moves", "position fen 8/8/8/8/8/8/8/8 w - -"},
  };
  for (const Case& c : cases) {
    handle_position_command(c.line);
    EXPECT_STREQ(position_line, c.stored) << c.line;
  }
}

TEST(PositionCommand, MovesAreMade) {
  handle_position_command("position startpos moves e2e4 e7e5 g1f3");
  EXPECT_EQ(current_position.board[sq("f3")], kWhiteKnight);
  EXPECT_EQ(current_position.board[sq("g1")], kNoPiece);
  EXPECT_EQ(current_position.side_to_move, kBlack);
  EXPECT_EQ(current_position.state.key, compute_zobrist_key(current_position));
  EXPECT_TRUE(validate_root_record(current_position));

  // Several blanks between moves; the FEN's counters are ignored.
  const u64 a = key_after("position startpos moves e2e4    e7e5 g1f3");
  const u64 b = key_after(
      "position fen rnbqkbnr/pppppppp/8/8/4P3/8/PPPP1PPP/RNBQKBNR b KQkq - 0 1 moves e7e5 g1f3");
  EXPECT_EQ(a, b);
}

TEST(PositionCommand, SpecialMovesGetTheirFlags) {
  // Castling, en passant and a knight promotion.
  handle_position_command("position fen r3k2r/8/8/3pP3/8/8/8/R3K2R w KQkq d6 moves e5d6 e8c8 e1g1");
  EXPECT_EQ(current_position.board[sq("d6")], kWhitePawn);
  EXPECT_EQ(current_position.board[sq("d5")], kNoPiece);
  EXPECT_EQ(current_position.board[sq("c8")], kBlackKing);
  EXPECT_EQ(current_position.board[sq("d8")], kBlackRook);
  EXPECT_EQ(current_position.board[sq("g1")], kWhiteKing);
  EXPECT_EQ(current_position.board[sq("f1")], kWhiteRook);
  EXPECT_TRUE(validate_root_record(current_position));
  handle_position_command("position fen 4k3/1P6/8/8/8/8/8/4K3 w - - moves b7b8n");
  EXPECT_EQ(current_position.board[sq("b8")], kWhiteKnight);
  handle_position_command("position fen 4k3/1P6/8/8/8/8/8/4K3 w - - moves b7b8b");
  EXPECT_EQ(current_position.board[sq("b8")], kWhiteBishop);
}

TEST(PositionCommand, FirstIllegalOrMalformedMoveEndsTheList) {
  const u64 after_e4 = key_after("position startpos moves e2e4");
  const char* lists[] = {
      "position startpos moves e2e4 e2e4 e7e5",   // from an empty square
      "position startpos moves e2e4 e8g8",        // castling through pieces
      "position startpos moves e2e4 z9z9 e7e5",   // not squares
      "position startpos moves e2e4 e7e",         // too short
      "position startpos moves e2e4 e7e5q",       // promotion letter on a plain move
      "position startpos moves e2e4 d8h4 e1e2",   // the queen's path is blocked
      "position startpos moves e2e4 \xff\xfe\x80\x81",
  };
  for (const char* text : lists) EXPECT_EQ(key_after(text), after_e4) << text;
  // A pawn reaching the last rank must promote.
  const u64 before = key_after("position fen 4k3/1P6/8/8/8/8/8/4K3 w - -");
  EXPECT_EQ(key_after("position fen 4k3/1P6/8/8/8/8/8/4K3 w - - moves b7b8"), before);
  EXPECT_TRUE(validate_root_record(current_position));
}

TEST(PositionCommand, OddTextsGiveSoundPositions) {
  const u64 start = key_after("position startpos");
  EXPECT_EQ(key_after("position"), start);
  EXPECT_EQ(key_after("position startpos moves"), start);
  EXPECT_EQ(key_after("position something else"), start);
  // Texts that end inside the FEN or right after "fen" read nothing past their end.
  for (const char* text : {"position fen", "position fen ", "position fen moves", "position fen moves e2e4",
                           "position fen 8/8/8", "position fen rnbqkbnr/pppppppp/8/8/8/8/PPPPPPPP/RNBQKBNR w KQ"}) {
    key_after(text);
    EXPECT_EQ(current_position.state.key, compute_zobrist_key(current_position)) << text;
  }
  // An empty board has no kings: the check rejects it.
  key_after("position fen 8/8/8/8/8/8/8/8 w - -");
  EXPECT_FALSE(validate_root_record(current_position));
}

TEST(PositionCommand, KeyHistoryKeepsOnlyReachableKeys) {
  // Knights out and back: no capture or pawn move, so fifty grows with each ply.
  std::string line = "position startpos moves";
  const char* cycle[] = {" g1f3", " g8f6", " f3g1", " f6g8"};
  for (int i = 0; i < 1200; ++i) line += cycle[i % 4];
  handle_position_command(line.c_str());
  const PositionState& s = current_position.state;
  EXPECT_GE(s.history_count, 100u);
  EXPECT_EQ(s.fifty, s.history_count);
  EXPECT_LE(s.history_count + 256, kKeyHistorySize);
  // 1200 plies is a multiple of four: the start position again, and the
  // last kept key is the position before the last move.
  EXPECT_EQ(current_position.board[sq("g1")], kWhiteKnight);
  const u64 before_last = key_after("position startpos moves g1f3 g8f6 f3g1");
  handle_position_command(line.c_str());
  EXPECT_EQ(current_position.key_history[current_position.state.history_count - 1], before_last);
  EXPECT_TRUE(validate_root_record(current_position));

  // After a pawn move only the plies since then are kept.
  handle_position_command("position startpos moves g1f3 g8f6 e2e4 f6g8 f3g1 g8f6");
  EXPECT_EQ(current_position.state.fifty, 3u);
  EXPECT_EQ(current_position.state.history_count, 3u);
}

// A game of 11,001 plies in one line (55,028 characters): the workers get
// the whole line, the stored text is the whole line, and applying it again
// after an aborted search gives the position after the last move.
TEST(PositionCommand, LongGameLineIsKeptWhole) {
  std::string line = "position startpos moves";
  const char* cycle[] = {" g1f3", " g8f6", " f3g1", " f6g8"};
  for (int i = 0; i < 11001; ++i) line += cycle[i % 4];

  // A team of two with the worker's pipe read here.
  int fds[2];
  ASSERT_EQ(pipe(fds), 0);
  const ProcessTeam saved = process_team;
  process_team.is_master = 1;
  process_team.process_count = 2;
  process_team.pipes[1].stdin_write_dup = fds[1];
  std::string forwarded;
  std::thread worker([&forwarded, fd = fds[0]] {
    auto reader = std::make_unique<platform::LineReader>();
    reader->fd = fd;
    std::vector<char> text(kLineBufferSize);
    if (platform::read_line(*reader, text.data(), text.size())) forwarded = text.data();
  });
  handle_position_command(line.c_str());
  worker.join();
  close(fds[0]);
  close(fds[1]);
  process_team = saved;

  EXPECT_EQ(forwarded, line);
  EXPECT_EQ(std::string(position_line), line);
  EXPECT_EQ(current_position.side_to_move, kBlack);
  EXPECT_EQ(current_position.board[sq("f3")], kWhiteKnight);
  const u64 key = current_position.state.key;
  parse_fen(kStartFen);
  reapply_position_line();
  EXPECT_EQ(current_position.state.key, key);
  EXPECT_EQ(std::string(position_line), line);
}

TEST(PositionCommand, ReapplyingGivesTheSamePosition) {
  handle_position_command("position startpos moves e2e4 c7c5 g1f3");
  const u64 key = current_position.state.key;
  const std::string stored = position_line;
  parse_fen("8/8/8/8/8/8/8/8 w - -");
  reapply_position_line();
  EXPECT_EQ(current_position.state.key, key);
  reapply_position_line();
  EXPECT_EQ(current_position.state.key, key);
  EXPECT_EQ(std::string(position_line), stored);
}

TEST(RootCheck, RecordTests) {
  struct Case {
    const char* fen;
    bool valid;
  };
  const Case cases[] = {
      {"rnbqkbnr/pppppppp/8/8/8/8/PPPPPPPP/RNBQKBNR w KQkq -", true},
      {"rnbqkbn1/pppppppp/8/8/8/8/PPPPPPPP/RNBQKBNR w KQk -", false},   // black short right, no h8 rook
      {"rnbqkbnr/pppppppp/8/8/8/8/PPPPPPPP/RNBQKBN1 w KQkq -", false},  // K without the h1 rook
      {"4k3/8/8/3Pp3/8/8/8/4K3 w - e6", true},
      {"4k3/8/8/pP6/8/8/8/4K3 w - a6", true},
      {"4k3/8/8/8/4Pp2/8/8/4K3 b - e3", true},
      {"4k3/8/8/8/8/8/8/4K2K w - -", false},                            // two white kings
      {"8/8/8/8/8/8/8/4K3 w - -", false},                               // no black king
      {"P3k3/8/8/8/8/8/8/4K3 w - -", false},                            // pawn on the last rank
      {"4k3/8/8/8/8/8/8/p3K3 w - -", false},                            // pawn on the first rank
      {"4k3/pppppppp/p7/8/8/8/8/4K3 w - -", false},                     // nine black pawns
      {"QQQQk3/QQQQQQQQ/QQQQ4/8/8/8/8/4K3 w - -", false},               // 17 white men
      {"QQQQk3/QQQQQQQQ/QQQ5/8/8/8/8/4K3 w - -", true},                 // 16 white men
  };
  for (const Case& c : cases) {
    parse_fen(c.fen);
    EXPECT_EQ(validate_root_record(current_position), c.valid) << c.fen;
  }
  // Records that disagree with their recomputation.
  parse_fen("rnbqkbnr/pppppppp/8/8/8/8/PPPPPPPP/RNBQKBNR w KQkq -");
  current_position.state.key ^= 1;
  EXPECT_FALSE(validate_root_record(current_position));
  parse_fen("rnbqkbnr/pppppppp/8/8/8/8/PPPPPPPP/RNBQKBNR w KQkq -");
  current_position.state.fifty = 1;
  EXPECT_FALSE(validate_root_record(current_position));
  parse_fen("rnbqkbnr/pppppppp/8/8/8/8/PPPPPPPP/RNBQKBNR w KQkq -");
  current_position.side_to_move = 2;
  EXPECT_FALSE(validate_root_record(current_position));
  // En-passant squares set by hand, the key made to agree: wrong rank, or
  // no pawn that could take.
  struct EpCase {
    const char* fen;
    const char* ep;
    bool valid;
  };
  const EpCase ep_cases[] = {
      {"4k3/8/8/3Pp3/8/8/8/4K3 w - -", "e6", true},
      {"4k3/8/8/3Pp3/8/8/8/4K3 w - -", "e3", false},
      {"4k3/8/8/4p3/8/8/8/4K3 w - -", "e6", false},
      {"4k3/8/8/4p3/8/8/8/4K3 w - -", "d6", false},
      {"4k3/8/8/Pp6/8/8/8/4K3 w - -", "b6", true},
      {"4k3/8/8/6pP/8/8/8/4K3 w - -", "g6", true},
  };
  for (const EpCase& c : ep_cases) {
    parse_fen(c.fen);
    current_position.state.ep_square = sq(c.ep);
    current_position.state.key = compute_zobrist_key(current_position);
    EXPECT_EQ(validate_root_record(current_position), c.valid) << c.fen << " " << c.ep;
  }
}

TEST(RootCheck, SideNotToMoveMustNotBeInCheck) {
  parse_fen("4k3/8/8/8/8/8/8/4K2R b - -");
  // The evaluation hands back the squares attacked by the side to move.
  EXPECT_TRUE(validate_root_position([] { return u64{0}; }));
  EXPECT_FALSE(validate_root_position([] { return bit(sq("e1")); }));
  bool evaluated = false;
  parse_fen("8/8/8/8/8/8/8/8 w - -");
  EXPECT_FALSE(validate_root_position([&] {
    evaluated = true;
    return u64{0};
  }));
  EXPECT_FALSE(evaluated);  // the evaluation never sees a broken record
}

}  // namespace
}  // namespace orvex
