// Option handlers, number reading, the command-line role, the interpreter's
// queue and the search records.
#include <gtest/gtest.h>

#include <string>

#include "core/numbers.h"
#include "search/host.h"
#include "search/limits.h"
#include "search/pawns.h"
#include "uci/engine.h"
#include "uci/front_end_status.h"
#include "uci/interpreter.h"
#include "uci/options.h"

namespace orvex {
namespace {

TEST(Numbers, LeadingInteger) {
  struct Case {
    const char* text;
    i64 value;
  };
  const Case cases[] = {
      {"42", 42},       {"  -17x", -17},  {"+8", 8},     {"", 0},       {"abc", 0},
      {"- 5", 0},       {"\t12 34", 12},  {"007", 7},    {"--3", 0},    {"12abc", 12},
      {"-", 0},         {"99999999999999999999", INT64_MAX}, {"-99999999999999999999", INT64_MIN},
      {"9223372036854775807", INT64_MAX}, {"9223372036854775808", INT64_MAX},
      {"-9223372036854775808", INT64_MIN}, {"-99999999999999999999999", INT64_MIN},
  };
  for (const Case& c : cases) EXPECT_EQ(read_leading_integer(c.text), c.value) << c.text;
  EXPECT_EQ(read_leading_integer(nullptr), 0);
  EXPECT_EQ(read_leading_i32("4294967296"), INT32_MAX);
  EXPECT_EQ(read_leading_i32("-4294967296"), INT32_MIN);
  EXPECT_EQ(read_leading_i32("-2147483648"), INT32_MIN);
}

TEST(Output, OverlongLinesAreCutAndStillEndTheirLine) {
  testing::internal::CaptureStdout();
  send_line("info %s %" PRIu64 "\n", "string", u64{18446744073709551615ull});
  send_line("%s\n", std::string(3000, 'x').c_str());
  const std::string out = testing::internal::GetCapturedStdout();
  const std::string first = "info string 18446744073709551615\n";
  ASSERT_EQ(out.substr(0, first.size()), first);
  const std::string second = out.substr(first.size());
  EXPECT_EQ(second.size(), static_cast<std::size_t>(kOutputBufferSize - 1));
  EXPECT_EQ(second.back(), '\n');
  EXPECT_EQ(second.find('\n'), second.size() - 1);
}

TEST(Role, ProgramArgumentAndWorkerNumbers) {
  struct Case {
    std::vector<const char*> argv;
    bool worker;
    u32 hash, generation;
    i32 count;
    u32 pid;
    i32 index;
  };
  const Case cases[] = {
      {{"orvex"}, false, 32, 0, 0, 0, 0},
      {{"orvex", "64", "3", "4", "5120", "2"}, true, 64, 3, 4, 5120, 2},
      {{"orvex", "64", "3", "4", "5120"}, false, 32, 0, 0, 0, 0},  // four numbers: a master
      {{"launcher", "C:\\engines\\orvex.exe", "64", "3", "4", "5120", "2"}, true, 64, 3, 4, 5120, 2},
      {{"x", "orvex.exe\"", "1", "2", "3", "4", "5"}, true, 1, 2, 3, 4, 5},
      {{"x", "orvex.exe' ", "1", "2", "3", "4", "5"}, true, 1, 2, 3, 4, 5},
      // Upper case is no program argument: argv[0] is, so six arguments follow.
      {{"orvex", "ORVEX.EXE", "1", "2", "3", "4"}, true, 0, 1, 2, 3, 4},
      {{"orvex", "junk", "-1", "99999999999", "x", "7"}, true, 0, 0, INT32_MAX, 0, 7},
  };
  for (const Case& c : cases) {
    const ProcessRole r = read_process_role(static_cast<int>(c.argv.size()), c.argv.data());
    EXPECT_EQ(r.worker, c.worker) << c.argv.size();
    if (!r.worker) continue;
    EXPECT_EQ(r.hash_mb, c.hash);
    EXPECT_EQ(r.generation, c.generation);
    EXPECT_EQ(r.process_count, c.count);
    EXPECT_EQ(r.master_pid, c.pid);
    EXPECT_EQ(r.worker_index, c.index);
  }
  const char* exe_at_one[] = {"launcher", "orvex.exe", "8", "1", "2", "3", "4"};
  EXPECT_EQ(program_argument_index(7, exe_at_one), 1);
  const char* upper[] = {"a.EXE"};
  EXPECT_EQ(program_argument_index(1, upper), 0);
}

// Runs a setoption line and returns what it printed.
std::string run_option(const std::string& line, bool* matched = nullptr) {
  testing::internal::CaptureStdout();
  const bool m = handle_option_line(line.c_str());
  if (matched) *matched = m;
  return testing::internal::GetCapturedStdout();
}

class Options : public ::testing::Test {
 protected:
  void SetUp() override {
    engine_options = EngineOptions{};
    search_settings = SearchSettings{};
    quiet = 0;
  }
};

TEST_F(Options, ValuesAreStoredAndLimited) {
  run_option("setoption name MultiPV value 7");
  EXPECT_EQ(search_settings.multipv, 7u);
  EXPECT_EQ(search_settings.worker_multipv, 7u);
  EXPECT_EQ(run_option("setoption name MultiPV value 0"), "info displaying 1 variations\n");
  EXPECT_EQ(search_settings.worker_multipv, 1u);

  run_option("setoption name Contempt value 40");
  for (i32 c : search_settings.contempt_copies) EXPECT_EQ(c, 40);
  run_option("setoption name Contempt value -2147483649");
  EXPECT_EQ(engine_options.contempt, -100);
  for (i32 c : search_settings.contempt_copies) EXPECT_EQ(c, -100);

  run_option("setoption name NalimovUsage value Rarely");
  EXPECT_FALSE(engine_options.tb_never);
  EXPECT_EQ(search_settings.tb_probe_depth, 14);
  run_option("setoption name nalimovusage value never");
  EXPECT_TRUE(engine_options.tb_never);
  EXPECT_EQ(search_settings.tb_probe_depth, 512);

  run_option("setoption name NalimovCache value 300");
  EXPECT_EQ(engine_options.tb_cache_bytes, 256u << 20);
  run_option("setoption name NalimovCache value 0");
  EXPECT_EQ(engine_options.tb_cache_bytes, 1u << 20);

  run_option("setoption name Engine Priority value Low");
  EXPECT_EQ(engine_options.engine_priority, kPriorityLow);
  run_option("setoption name Engine Priority value NormalAndLow");
  EXPECT_EQ(engine_options.engine_priority, kPriorityNormalAndLow);
  run_option("setoption name Engine Priority value Normal");
  EXPECT_EQ(engine_options.engine_priority, kPriorityNormal);
  platform::set_below_normal_priority(false);
}

TEST_F(Options, TextsAreCutToTheirFields) {
  const std::string long_text(3000, 'p');
  run_option("setoption name NalimovPath value " + long_text);
  EXPECT_EQ(std::string(engine_options.tb_path), long_text.substr(0, kTbPathSize - 1));
  const std::string out = run_option("setoption name UCI_Opponent value " + long_text);
  EXPECT_EQ(out, "info UCI_Opponent set to " + long_text.substr(0, kOpponentSize - 1) + "\n");
  run_option("setoption name UCI_Opponent value");
  EXPECT_STREQ(engine_options.opponent, "");
}

TEST_F(Options, ValueStartsOneCharacterAfterTheLiteral) {
  EXPECT_EQ(run_option("setoption name UCI_Elo value 2000"), "info UCI_Elo set to 2000\n");
  EXPECT_EQ(run_option("setoption name UCI_Elo valueX1500"), "info UCI_Elo set to 1500\n");
  EXPECT_EQ(run_option("setoption name UCI_Elo value"), "info UCI_Elo set to 0\n");
}

TEST_F(Options, QuietOrWorkerChangesWithoutAnswer) {
  quiet = 1;
  EXPECT_EQ(run_option("setoption name Outlook value Ultra Optimistic"), "");
  EXPECT_EQ(search_settings.outlook, kOutlookUltraOptimistic);
  quiet = 0;
  process_team.is_master = 0;
  EXPECT_EQ(run_option("setoption name Time Usage value Constant"), "");
  EXPECT_EQ(search_settings.time_usage, kTimeUsageConstant);
  // The capitalised tablebase literals act only in the master.
  bool matched = true;
  run_option("setoption name NalimovPath value /tb", &matched);
  EXPECT_FALSE(matched);
  run_option("setoption name nalimovpath value /tb", &matched);
  EXPECT_TRUE(matched);
  process_team.is_master = 1;
}

TEST_F(Options, UnmatchedLinesChangeNothing) {
  for (const char* line : {"setoption name Hash", "setoption name UCI_Elo", "setoption name Outlook value neutral",
                           "setoption name Ponder value true", "setoption name Contempt"}) {
    bool matched = true;
    EXPECT_EQ(run_option(line, &matched), "") << line;
    EXPECT_FALSE(matched) << line;
  }
}

TEST(Interpreter, StopAfterPositionQueuesAPonderSearch) {
  reset_interpreter();
  reset_search_bookkeeping();
  reset_front_end_status();
  quiet = 1;
  execute_command("position startpos");
  EXPECT_TRUE(after_position);
  execute_command("stop");
  EXPECT_EQ(pending_count, 2);
  EXPECT_STREQ(pending_lines[0], "go ponder");
  EXPECT_STREQ(pending_lines[1], "stop");
  reset_interpreter();
  execute_command("position startpos");
  execute_command("ponderhit");
  EXPECT_STREQ(pending_lines[1], "ponderhit");
  reset_interpreter();
  execute_command("stop");
  EXPECT_EQ(pending_count, 0);
  quiet = 0;
}

TEST(Interpreter, StopAndPonderhitDuringASearch) {
  reset_interpreter();
  reset_search_bookkeeping();
  reset_front_end_status();
  front_end_status.searching = 1;
  front_end_status.hold_result = 1;
  search_limits.infinite = 1;
  execute_command("ponderhit");
  EXPECT_FALSE(search_limits.infinite);
  EXPECT_FALSE(front_end_status.hold_result);
  EXPECT_GE(front_end_status.ponder_ms, 1u);
  execute_command("stop");
  EXPECT_TRUE(search_status.stop_requested);
  front_end_status.searching = 0;
  front_end_status.result_held = 1;
  execute_command("stop");
  EXPECT_FALSE(front_end_status.result_held);
  reset_search_bookkeeping();
  reset_front_end_status();
}

TEST(Interpreter, BusyIgnoresNewGameAndPosition) {
  reset_interpreter();
  reset_search_bookkeeping();
  reset_front_end_status();
  front_end_status.score_count = 3;
  front_end_status.result_held = 1;
  execute_command("ucinewgame");
  EXPECT_EQ(front_end_status.score_count, 3);
  front_end_status.result_held = 0;
  pawn_hash_table[5].key_high = 77;
  execute_command("ucinewgame");
  EXPECT_EQ(front_end_status.score_count, 0);
  EXPECT_EQ(pawn_hash_table[5].key_high, 0u);
  pawn_hash_table[5].key_high = 77;
  front_end_status.score_count = 2;
  front_end_status.searching = 1;  // Clear Hash acts while busy too
  handle_option_line("setoption name Clear Hash");
  EXPECT_EQ(front_end_status.score_count, 0);
  EXPECT_EQ(pawn_hash_table[5].key_high, 0u);
  front_end_status.searching = 0;
}

TEST(SearchRecords, ResetValues) {
  reset_search_bookkeeping();
  reset_front_end_status();
  EXPECT_EQ(search_status.last_iteration, 13);
  EXPECT_EQ(front_end_status.last_own_time_ms, 1000);
  search_status.decisive_result = 1;
  search_status.iteration = 9;
  search_limits.searchmoves[0] = 123;
  reset_search_limits();
  reset_searcher_status();
  EXPECT_EQ(search_limits.depth_limit, 1073741823);
  EXPECT_EQ(search_limits.node_limit, INT64_MAX);
  EXPECT_EQ(search_limits.soft_time_ms, 0xFFFFFFFFu);
  EXPECT_EQ(search_limits.hard_time_ms, 0xFFFFFFFFu);
  EXPECT_EQ(search_limits.searchmoves[0], 0u);
  EXPECT_EQ(search_status.node_countdown, 1024);
  EXPECT_EQ(search_status.node_batches, 1u);
  EXPECT_TRUE(search_status.decisive_result);  // kept for the idle re-send
  EXPECT_EQ(search_status.iteration, 9);
  reset_search_bookkeeping();
  reset_front_end_status();
}

}  // namespace
}  // namespace orvex
