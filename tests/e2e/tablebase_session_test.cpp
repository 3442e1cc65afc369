// The engine with the project's generated three-man tables: exact mate
// distances through "go depth", tablebase hits in the info lines, won
// endings won in play, and the fatal message of a broken table file.
#include <gtest/gtest.h>
#include <sys/stat.h>

#include <chrono>
#include <filesystem>
#include <fstream>
#include <sstream>
#include <string>
#include <thread>
#include <utility>
#include <vector>

#include "engine_process.h"
#include "position/fen.h"
#include "position/move_text.h"
#include "position/perft.h"
#include "position/position.h"
#include "tablebases/probe.h"
#include "tablebases/registry.h"

namespace orvex::e2e {
namespace {

const std::string kRawTables = std::string(ORVEX_TABLES_DIR) + "/raw";
const std::string kCompressedTables = std::string(ORVEX_TABLES_DIR) + "/compressed";

std::unique_ptr<EngineProcess> engine_with_tables(const std::string& dir) {
  auto engine = std::make_unique<EngineProcess>();
  engine->send("setoption name Max CPUs value 1");
  engine->send("setoption name NalimovPath value " + dir);
  engine->send("setoption name NalimovUsage value Frequently");
  EXPECT_TRUE(engine->sync(20000).has_value());
  return engine;
}

// The table's mate distance in moves for the side to move of the current
// position (positive: it mates), read by the test's own copy of the engine
// code.
int table_mate_moves_here() {
  static bool registered = false;
  if (!registered) {
    set_tb_cache_size(1);
    init_tablebases(kRawTables.c_str());
    registered = true;
  }
  i32 s = 0;
  EXPECT_EQ(probe_tablebases(&s), 1);
  return s > 0 ? (32001 - s) / 2 : -((32000 + s) / 2);  // mate on ply 32000 - s
}
int table_mate_moves(const std::string& fen) {
  parse_fen(fen.c_str());
  return table_mate_moves_here();
}
// The same after a "position" line.
int table_mate_moves_after(const std::string& position_line) {
  set_position(position_line);
  return table_mate_moves_here();
}

struct SearchLines {
  std::vector<std::string> lines;
  std::string best;
};

SearchLines search(EngineProcess& engine, const std::string& position, const std::string& go) {
  engine.send(position);
  engine.send(go);
  SearchLines out;
  for (;;) {
    auto line = engine.read_line(60000);
    if (!line) break;
    if (line->rfind("bestmove ", 0) == 0) {
      std::istringstream w(*line);
      std::string word;
      w >> word >> out.best;
      break;
    }
    out.lines.push_back(*line);
  }
  return out;
}

// The number after `key` in the last line that has it.
std::optional<long long> last_field(const std::vector<std::string>& lines, const std::string& key) {
  for (auto it = lines.rbegin(); it != lines.rend(); ++it) {
    std::istringstream w(*it);
    std::string word;
    while (w >> word)
      if (word == key) {
        long long v;
        if (w >> v) return v;
      }
  }
  return std::nullopt;
}

// The score field of the last line that has one: "mate N" or "cp N".
std::string last_score(const std::vector<std::string>& lines) {
  for (auto it = lines.rbegin(); it != lines.rend(); ++it) {
    std::istringstream w(*it);
    std::string word, unit, value;
    while (w >> word)
      if (word == "score" && w >> unit >> value) return unit + " " + value;
  }
  return "";
}

// Won and lost positions of every decisive class, both colours, with the
// distances the Gaviota tables give (moves for the side to move: positive
// when it mates, negative when it is mated); a draw shows "cp 0".  The
// engine's own reading of the tables must agree as well.
TEST(TablebaseSession, GoDepthShowsTheTablesMateDistance) {
  struct Case {
    const char* fen;
    int gaviota_moves;
  } cases[] = {
      {"8/8/8/4k3/8/8/8/KQ6 w - - 0 1", 9},     // queen, White mates
      {"8/8/8/4k3/8/8/8/4KQ2 b - - 0 1", -8},   // queen, Black is mated
      {"8/8/8/3K4/8/8/8/kq6 b - - 0 1", 9},     // colours swapped: Black mates
      {"8/8/8/3K4/8/8/8/kq6 w - - 0 1", -9},
      {"8/8/8/4K3/8/8/8/4kq2 w - - 0 1", -8},
      {"8/8/8/3k4/8/8/8/R5K1 w - - 0 1", 15},   // rook, a long mate
      {"8/8/8/3k4/8/8/8/R5K1 b - - 0 1", -15},
      {"8/2K5/8/8/4r3/8/8/6k1 w - - 0 1", -13},
      {"8/8/8/8/8/k7/7P/4K3 w - - 0 1", 13},    // pawn outside the king's reach
      {"8/8/8/8/8/k7/7P/4K3 b - - 0 1", -13},
      {"8/8/k7/8/8/4P3/8/6K1 b - - 0 1", -22},
      {"8/8/3k4/8/8/2KB4/8/8 w - - 0 1", 0},    // bare bishop: a draw
  };
  for (const std::string& dir : {kRawTables, kCompressedTables}) {
    auto engine = engine_with_tables(dir);
    for (const Case& c : cases) {
      if (c.gaviota_moves != 0) {
        EXPECT_EQ(table_mate_moves(c.fen), c.gaviota_moves) << c.fen;
      }
      const SearchLines out = search(*engine, std::string("position fen ") + c.fen, "go depth 4");
      ASSERT_FALSE(out.best.empty()) << c.fen;
      const std::string want = c.gaviota_moves == 0 ? "cp 0" : "mate " + std::to_string(c.gaviota_moves);
      EXPECT_EQ(last_score(out.lines), want) << c.fen << " " << dir;
    }
  }
}

// Every "score" field of the lines: its unit ("mate" or "cp") and value.
std::vector<std::pair<std::string, int>> scores(const std::vector<std::string>& lines) {
  std::vector<std::pair<std::string, int>> out;
  for (const std::string& line : lines) {
    std::istringstream w(line);
    std::string word, unit;
    int value;
    while (w >> word)
      if (word == "score" && w >> unit >> value) out.emplace_back(unit, value);
  }
  return out;
}

// The whole team (the default Max CPUs) searches a queen ending just after
// the promotion, on a table filled by a search of the king-and-pawn ending it
// came from.  The workers score a mate without its distance; such a mate must
// not show (as "mate 49x" or as "cp 28093") nor be taken for a found one,
// which stopped the search at once with any checking move: every mate shown
// is at least the table's, and the move played leads to mate within the
// distance the final line shows.  The engine searches without tables; the
// test reads them for the truth.  Each round showed the fault about half the
// time, so four are played.
TEST(TablebaseSession, WonEndingOnAWarmTableShowsOnlyRealMates) {
  const char* const pawn_ending = "position fen 4k3/8/8/8/8/8/4P3/4K3 w - - 0 1";
  const char* const queen_endings[] = {"position fen 8/3k4/8/3K4/8/8/8/4Q3 w - - 0 1",
                                       "position fen 4Q3/8/3K4/8/3k4/8/8/8 w - - 0 1"};
  for (int round = 0; round < 4; ++round) {
    const std::string position = queen_endings[round % 2];
    const int table_moves = table_mate_moves_after(position);
    EngineProcess engine;
    ASSERT_TRUE(engine.sync(20000).has_value());
    engine.send(pawn_ending);
    engine.send("go infinite");
    std::this_thread::sleep_for(std::chrono::seconds(2));
    engine.send("stop");
    ASSERT_TRUE(engine.sync(20000).has_value());
    const SearchLines out = search(engine, position, "go depth 10");
    ASSERT_FALSE(out.best.empty()) << position;
    for (const auto& [unit, value] : scores(out.lines)) {
      if (unit == "mate")
        EXPECT_GE(value, table_moves) << position << ": a mate shorter than the table's";
      else
        EXPECT_LT(std::abs(value), 20000) << position << ": a mate shown in centipawns";
    }
    const std::string final_score = last_score(out.lines);
    ASSERT_EQ(final_score.rfind("mate ", 0), 0u) << position << ": " << final_score;
    const int shown_moves = std::stoi(final_score.substr(5));
    const int left = -table_mate_moves_after(position + " moves " + out.best);
    EXPECT_GE(left, 0) << position << " moves " << out.best << ": the win is lost";
    EXPECT_LE(left + 1, shown_moves) << position << " moves " << out.best << ": shows " << final_score;
  }
}

// Queen against knight: every capture of the knight reaches a table.
TEST(TablebaseSession, HitsAreShownUnlessUsageIsNever) {
  const std::string pos = "position fen 8/8/3k4/8/2n5/8/1K6/6Q1 w - - 0 1";
  for (const std::string& dir : {kRawTables, kCompressedTables}) {
    auto engine = engine_with_tables(dir);
    const SearchLines out = search(*engine, pos, "go depth 7");
    EXPECT_GT(last_field(out.lines, "tbhits").value_or(0), 0) << dir;
    engine->send("setoption name NalimovUsage value Never");
    const SearchLines never = search(*engine, pos, "go depth 7");
    EXPECT_FALSE(never.best.empty());
    EXPECT_FALSE(last_field(never.lines, "tbhits").has_value()) << dir;
  }
}

// Registration and cache changes obeyed at a poll during a search leave a
// state the next probe can use: the search goes on and ends with a legal move.
TEST(TablebaseSession, OptionsChangedDuringASearch) {
  const std::string pos = "position fen 8/8/3k4/8/2n5/8/1K6/6Q1 w - - 0 1";
  auto engine = engine_with_tables(kRawTables);
  engine->send(pos);
  engine->send("go infinite");
  const char* changes[] = {"setoption name NalimovCache value 2", "setoption name NalimovPath value " ,
                           "setoption name NalimovCache value 1", "setoption name NalimovPath value /no/such/dir",
                           "setoption name NalimovPath value "};
  const std::string dirs[] = {"", kCompressedTables, "", "", kRawTables};
  for (int i = 0; i < 5; ++i) {
    engine->send(std::string(changes[i]) + dirs[i]);
    ASSERT_TRUE(engine->sync(20000).has_value()) << i;
  }
  engine->send("stop");
  SearchLines out;
  for (;;) {
    auto line = engine->read_line(20000);
    ASSERT_TRUE(line.has_value());
    if (line->rfind("bestmove ", 0) == 0) {
      out.best = line->substr(9, line->find(' ', 9) - 9);
      break;
    }
  }
  EXPECT_TRUE(legal_in(pos, out.best)) << out.best;
  const SearchLines again = search(*engine, pos, "go depth 6");
  EXPECT_GT(last_field(again.lines, "tbhits").value_or(0), 0);
}

// Plays a won ending to mate: the engine with the tables against one without
// them that defends, a short fixed search each.
TEST(TablebaseSession, SlowWonEndingsAreWonInPlay) {
  const char* fens[] = {"8/8/8/3k4/8/8/8/R5K1 w - - 0 1", "8/8/8/8/8/k7/7P/4K3 w - - 0 1",
                        "8/8/8/4k3/8/8/8/KQ6 w - - 0 1"};
  for (const char* fen : fens) {
    auto attacker = engine_with_tables(kRawTables);
    EngineProcess defender;
    defender.send("setoption name Max CPUs value 1");
    ASSERT_TRUE(defender.sync(20000).has_value());
    const int limit = 2 * table_mate_moves(fen) + 1;
    std::string moves;
    bool mated = false;
    for (int ply = 0; ply < limit + 20 && !mated; ++ply) {
      const std::string pos = std::string("position fen ") + fen + (moves.empty() ? "" : " moves" + moves);
      EngineProcess& mover = ply % 2 == 0 ? *attacker : defender;
      const SearchLines out = search(mover, pos, "go depth 5");
      ASSERT_TRUE(legal_in(pos, out.best)) << pos << ": " << out.best;
      moves += " " + out.best;
      set_position(std::string("position fen ") + fen + " moves" + moves);
      UciMove legal[kMaxLegalMoves];
      mated = generate_legal_uci_moves(legal) == 0 && king_attacked(current_position.side_to_move);
    }
    EXPECT_TRUE(mated) << fen << moves;
  }
}

// A temporary directory, removed with what it holds.
struct TempDir {
  std::string path;
  TempDir() {
    char tmpl[] = "/tmp/orvex-tb-e2e-XXXXXX";
    if (mkdtemp(tmpl)) path = tmpl;
  }
  ~TempDir() {
    std::error_code ec;
    std::filesystem::remove_all(path, ec);
  }
  std::string file(const std::string& name) const { return path + "/" + name; }
};

// Raw files of the wrong size, of one-byte, two-byte and split tables (sparse),
// end the engine as the path is set, with the corrupted line and exit code 1.
TEST(TablebaseSession, WrongSizedFileEndsTheEngine) {
  struct Case {
    const char* name;
    std::uintmax_t bytes;
    const char* shown;  // extent or count, last extent or count, positions found
  } cases[] = {
      {"kpk.nbw", 5, "81664 81664 5"},
      {"kppkpp.nbw", 100, "1917741812 1917741812 50"},
      {"kqqpkq.0.nbw", 100, "2147483648 855510632 100"},
  };
  for (const Case& c : cases) {
    TempDir dir;
    std::ofstream(dir.file(c.name)).put('x');
    std::filesystem::resize_file(dir.file(c.name), c.bytes);
    EngineProcess engine;
    engine.send("setoption name NalimovPath value " + dir.path);
    auto line = engine.read_line(10000);
    ASSERT_TRUE(line.has_value()) << c.name;
    EXPECT_EQ(*line, "*** " + dir.file(c.name) + " corrupted " + c.shown);
    EXPECT_EQ(engine.wait_exit(10000), 1) << c.name;
  }
}

// FIFOs and directories named like tables are skipped without blocking: the
// engine answers "readyok", probes the real table beside them, none of theirs,
// and quits.
TEST(TablebaseSession, NotRegularFilesAreSkippedWithoutBlocking) {
  TempDir dir;
  for (const char* fifo : {"kbk.nbw", "kbk.nbb.emd", "kpk.nbw"}) ASSERT_EQ(mkfifo(dir.file(fifo).c_str(), 0644), 0);
  std::filesystem::create_directory(dir.file("kbk.nbb"));
  std::filesystem::create_directory(dir.file("kpk.nbb"));
  for (const char* table : {"kqk.nbw", "kqk.nbb"})
    std::filesystem::copy_file(kRawTables + "/" + table, dir.file(table));
  auto engine = engine_with_tables(dir.path);
  ASSERT_TRUE(engine->sync(10000).has_value());
  const SearchLines kqk = search(*engine, "position fen 8/8/8/4k3/8/8/8/4KQ2 b - - 0 1", "go depth 4");
  EXPECT_EQ(last_score(kqk.lines), "mate -8");  // only the table knows it
  // With its table the bishop search shows hits; without, none (the field
  // would be absent too if the shown node count were 0, so it must not be).
  const SearchLines kbk = search(*engine, "position fen 8/8/3k4/8/8/2KB4/8/8 w - - 0 1", "go depth 4");
  EXPECT_FALSE(kbk.best.empty());
  EXPECT_GT(last_field(kbk.lines, "nodes").value_or(0), 0);
  EXPECT_FALSE(last_field(kbk.lines, "tbhits").has_value());
  engine->send("quit");
  EXPECT_EQ(engine->wait_exit(10000), 0);
}

}  // namespace
}  // namespace orvex::e2e
