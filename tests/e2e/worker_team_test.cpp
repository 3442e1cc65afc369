// Worker processes seen from outside: how many run, what a rebuild starts,
// and that nothing outlives the engine.
#include <gtest/gtest.h>
#include <signal.h>
#include <unistd.h>

#include <algorithm>
#include <fstream>
#include <string>
#include <vector>

#include "engine_process.h"
#include "platform/platform.h"
#include "tests/process_args.h"

namespace orvex::e2e {
namespace {

using testing::command_line;

// Waits until `done` holds, checking every 20 ms, at most `timeout_ms`.
template <class Done>
bool eventually(Done done, int timeout_ms = 5000) {
  for (int waited = 0; waited <= timeout_ms; waited += 20) {
    if (done()) return true;
    usleep(20000);
  }
  return false;
}

std::vector<pid_t> sorted(std::vector<pid_t> v) {
  std::sort(v.begin(), v.end());
  return v;
}

// Both programs build their worker team with the same shared code: every
// test runs against each.
class Workers : public ::testing::TestWithParam<const char*> {
 protected:
  const char* program() const { return GetParam(); }
};

int expected_workers(int max_cpus) {
  return std::min<int>(max_cpus, static_cast<int>(platform::processor_count())) - 1;
}

TEST_P(Workers, MaxCpusSetsTheNumberOfWorkers) {
  EngineProcess engine({}, program());
  ASSERT_TRUE(engine.sync().has_value());
  EXPECT_EQ(static_cast<int>(child_processes(engine.pid()).size()), expected_workers(2048));
  for (int cpus : {3, 1, 2}) {
    engine.send("setoption name Max CPUs value " + std::to_string(cpus));
    auto answer = engine.sync(20000);
    ASSERT_TRUE(answer.has_value());
    EXPECT_TRUE(answer->empty());
    EXPECT_EQ(static_cast<int>(child_processes(engine.pid()).size()), expected_workers(cpus)) << cpus;
  }
  // Out of range: ignored, the team stays.
  const std::vector<pid_t> before = sorted(child_processes(engine.pid()));
  for (const char* line : {"setoption name Max CPUs value 0", "setoption name Max CPUs value 2049",
                           "setoption name max cpus value -3", "setoption name Max CPUs value 4294967298"}) {
    engine.send(line);
    ASSERT_TRUE(engine.sync().has_value());
  }
  EXPECT_EQ(sorted(child_processes(engine.pid())), before);
}

TEST_P(Workers, HashChangeStartsANewGeneration) {
  if (platform::processor_count() < 2) GTEST_SKIP() << "one processor: no workers";
  EngineProcess engine({}, program());
  engine.send("setoption name Max CPUs value 2");
  ASSERT_TRUE(engine.sync(20000).has_value());
  const std::vector<pid_t> old_workers = child_processes(engine.pid());
  ASSERT_EQ(old_workers.size(), 1u);
  const std::vector<std::string> old_args = command_line(old_workers[0]);
  ASSERT_EQ(old_args.size(), 6u);

  engine.send("setoption name hash value 100");  // 64 MB
  ASSERT_TRUE(engine.sync(20000).has_value());
  const std::vector<pid_t> new_workers = child_processes(engine.pid());
  ASSERT_EQ(new_workers.size(), 1u);
  EXPECT_NE(new_workers[0], old_workers[0]);
  EXPECT_FALSE(process_running(old_workers[0]));
  const std::vector<std::string> args = command_line(new_workers[0]);
  ASSERT_EQ(args.size(), 6u);
  EXPECT_EQ(args[1], "64");
  EXPECT_GT(std::stol(args[2]), std::stol(old_args[2]));  // generation
  EXPECT_EQ(args[3], "2");                                // processes
  EXPECT_EQ(args[4], std::to_string(engine.pid()));
  EXPECT_EQ(args[5], "1");

  // Below 2: ignored, no rebuild.
  engine.send("setoption name Hash value 1");
  engine.send("setoption name Hash value -64");
  ASSERT_TRUE(engine.sync().has_value());
  EXPECT_EQ(child_processes(engine.pid()), new_workers);
  // The names are gone once the workers are ready.
  EXPECT_TRUE(shared_memory_names(engine.pid()).empty());
}

TEST_P(Workers, QuitLeavesNoProcessAndNoSharedMemory) {
  EngineProcess engine({}, program());
  engine.send("setoption name Max CPUs value 3");
  ASSERT_TRUE(engine.sync(20000).has_value());
  const std::vector<pid_t> workers = child_processes(engine.pid());
  EXPECT_EQ(static_cast<int>(workers.size()), expected_workers(3));
  const pid_t master = engine.pid();
  engine.send("quit");
  EXPECT_EQ(engine.wait_exit(), 0);
  EXPECT_TRUE(eventually([&] {
    return std::none_of(workers.begin(), workers.end(), [](pid_t p) { return process_running(p); });
  }));
  EXPECT_TRUE(shared_memory_names(master).empty());
}

TEST_P(Workers, EndOfInputEndsTheWholeTeam) {
  EngineProcess engine({}, program());
  engine.send("setoption name Max CPUs value 3");
  ASSERT_TRUE(engine.sync(20000).has_value());
  const std::vector<pid_t> workers = child_processes(engine.pid());
  engine.close_input();
  EXPECT_EQ(engine.wait_exit(), 0);
  EXPECT_TRUE(eventually([&] {
    return std::none_of(workers.begin(), workers.end(), [](pid_t p) { return process_running(p); });
  }));
}

TEST_P(Workers, KillingTheMasterEndsTheWorkers) {
  EngineProcess engine({}, program());
  ASSERT_TRUE(engine.sync().has_value());
  const std::vector<pid_t> workers = child_processes(engine.pid());
  const pid_t master = engine.pid();
  engine.kill_now();
  EXPECT_TRUE(eventually([&] {
    return std::none_of(workers.begin(), workers.end(), [](pid_t p) { return process_running(p); });
  }));
  EXPECT_TRUE(shared_memory_names(master).empty());
}

TEST_P(Workers, WorkerWithoutMasterExitsWithOne) {
  // Five numbers and no shared memory handed to it by a master.
  EngineProcess worker({"32", "7", "3", "999999", "1"}, program());
  ASSERT_TRUE(worker.started());
  EXPECT_EQ(worker.wait_exit(5000), 1);
  EngineProcess bad_index({"32", "0", "3", std::to_string(getpid()), "0"}, program());
  EXPECT_EQ(bad_index.wait_exit(5000), 1);
}

INSTANTIATE_TEST_SUITE_P(Programs, Workers, ::testing::Values(ORVEX_BINARY, LARKSPIRE_BINARY),
                         [](const ::testing::TestParamInfo<const char*>& info) {
                           return std::string(info.param == std::string(ORVEX_BINARY) ? "Orvex" : "Larkspire");
                         });

}  // namespace
}  // namespace orvex::e2e
