// However an engine ends, its shared memory and its workers go with it, and
// engines running side by side never meet in their shared memory.
#include <dirent.h>
#include <gtest/gtest.h>
#include <signal.h>
#include <sys/wait.h>
#include <unistd.h>

#include <algorithm>
#include <cctype>
#include <ostream>
#include <string>
#include <utility>
#include <vector>

#include "engine_process.h"
#include "platform/platform.h"
#include "tests/process_args.h"

namespace orvex::e2e {
namespace {

using testing::command_line;

// Waits until `done` holds, checking every 10 ms, at most `timeout_ms`.
template <class Done>
bool eventually(Done done, int timeout_ms) {
  for (int waited = 0; waited <= timeout_ms; waited += 10) {
    if (done()) return true;
    usleep(10000);
  }
  return false;
}

// Workers of a master, found by their command line (the program, then the
// table size, generation, process count, the master's id and the index), so
// that they are found after the master is gone as well.
std::vector<pid_t> workers_of(pid_t master, const std::string& program) {
  std::vector<pid_t> found;
  DIR* proc = opendir("/proc");
  if (!proc) return found;
  const std::string id = std::to_string(master);
  while (dirent* e = readdir(proc)) {
    if (!std::isdigit(static_cast<unsigned char>(e->d_name[0]))) continue;
    const pid_t pid = static_cast<pid_t>(std::atol(e->d_name));
    const std::vector<std::string> args = command_line(pid);
    if (args.size() == 6 && args[0] == program && args[4] == id && process_running(pid)) found.push_back(pid);
  }
  closedir(proc);
  return found;
}

int expected_workers(int max_cpus) {
  return std::min<int>(max_cpus, static_cast<int>(platform::processor_count())) - 1;
}

// Reads up to the "bestmove" line; returns its move, empty when none came.
std::string read_bestmove(EngineProcess& engine, int timeout_ms) {
  for (;;) {
    auto line = engine.read_line(timeout_ms);
    if (!line) return "";
    if (line->rfind("bestmove ", 0) == 0) {
      const std::string rest = line->substr(9);
      return rest.substr(0, rest.find(' '));
    }
  }
}

// A fresh engine starts with its full team, searches, answers with a legal
// move and quits cleanly, leaving nothing behind.
void expect_normal_session(const char* program) {
  EngineProcess engine({}, program);
  ASSERT_TRUE(engine.sync(20000).has_value()) << program;
  EXPECT_EQ(static_cast<int>(child_processes(engine.pid()).size()), expected_workers(2048));
  const std::string position = "position startpos moves e2e4 e7e5";
  engine.send(position);
  engine.send("go depth 6");
  const std::string move = read_bestmove(engine, 30000);
  EXPECT_TRUE(legal_in(position, move)) << "bestmove '" << move << "'";
  const pid_t master = engine.pid();
  engine.send("quit");
  EXPECT_EQ(engine.wait_exit(10000), 0);
  EXPECT_TRUE(eventually([&] { return workers_of(master, program).empty(); }, 5000));
  EXPECT_TRUE(shared_memory_names(master).empty());
}

// The moments at which the master is signalled.
enum class Phase { kStart, kRebuild, kSearch };
struct Moment {
  Phase phase;
  int delay_ms;       // after start-up, the Hash line or the "go"
  const char* hash;   // the Hash value of a rebuild
  bool every_signal;  // also for the catchable signals, not only SIGKILL
};
// From before the workers exist to a standing team; in a rebuild from the
// take-down of the old team through the reserving of the new table to the
// new workers' start-up; in a search.  The catchable signals, which end the
// process the same way, take a part of the moments to keep the test short.
constexpr Moment kMoments[] = {
    {Phase::kStart, 0, nullptr, true},    {Phase::kStart, 2, nullptr, false},   {Phase::kStart, 10, nullptr, false},
    {Phase::kStart, 40, nullptr, true},   {Phase::kStart, 120, nullptr, false}, {Phase::kStart, 300, nullptr, true},
    {Phase::kRebuild, 0, "64", false},    {Phase::kRebuild, 10, "256", true},   {Phase::kRebuild, 60, "128", false},
    {Phase::kSearch, 100, nullptr, true},
};

const char* phase_text(Phase p) { return p == Phase::kStart ? "start" : p == Phase::kRebuild ? "rebuild" : "search"; }

struct Case {
  const char* program;
  int signal;
};

std::string program_label(const char* program) {
  return program == std::string(ORVEX_BINARY) ? "Orvex" : "Larkspire";
}

void PrintTo(const Case& c, std::ostream* os) { *os << program_label(c.program) << " SIG" << sigabbrev_np(c.signal); }

class MasterEnds : public ::testing::TestWithParam<Case> {};

TEST_P(MasterEnds, NothingOutlivesASignalledMaster) {
  const auto [program, sig] = GetParam();
  // A signal ignored by whoever started the tests would stay ignored in the
  // engine: start it with the default action.
  signal(sig, SIG_DFL);
  for (const Moment& m : kMoments) {
    if (sig != SIGKILL && !m.every_signal) continue;
    SCOPED_TRACE(std::string(phase_text(m.phase)) + " + " + std::to_string(m.delay_ms) + " ms");
    EngineProcess engine({}, program);
    ASSERT_TRUE(engine.started());
    const pid_t master = engine.pid();
    if (m.phase != Phase::kStart) {
      ASSERT_TRUE(engine.sync(20000).has_value());
    }
    if (m.phase == Phase::kRebuild) engine.send(std::string("setoption name Hash value ") + m.hash);
    if (m.phase == Phase::kSearch) {
      engine.send("position startpos");
      engine.send("go infinite");
    }
    usleep(static_cast<useconds_t>(m.delay_ms) * 1000);
    ASSERT_EQ(::kill(master, sig), 0);
    // wait_exit gives -1 for an end by a signal; the default action of each
    // of these signals ends the master at once.
    EXPECT_EQ(engine.wait_exit(10000), -1);
    // The workers see the end of their input and go within a short grace.
    EXPECT_TRUE(eventually([&] { return workers_of(master, program).empty(); }, 5000));
    usleep(50000);  // a worker that was just being started shows up by now
    EXPECT_TRUE(workers_of(master, program).empty());
    EXPECT_EQ(shared_memory_names(master), std::vector<std::string>{});
  }
  expect_normal_session(program);
}

std::vector<Case> all_cases() {
  std::vector<Case> cases;
  for (const char* program : {ORVEX_BINARY, LARKSPIRE_BINARY})
    for (int sig : {SIGKILL, SIGTERM, SIGINT, SIGHUP}) cases.push_back({program, sig});
  return cases;
}

INSTANTIATE_TEST_SUITE_P(Programs, MasterEnds, ::testing::ValuesIn(all_cases()),
                         [](const ::testing::TestParamInfo<Case>& info) {
                           return program_label(info.param.program) + "_" + sigabbrev_np(info.param.signal);
                         });

class Team : public ::testing::TestWithParam<const char*> {};

TEST_P(Team, KilledWorkerLeavesTheRestWorking) {
  if (platform::processor_count() < 3) GTEST_SKIP() << "fewer than two workers";
  const char* program = GetParam();
  EngineProcess engine({}, program);
  engine.send("setoption name Max CPUs value 3");
  ASSERT_TRUE(engine.sync(20000).has_value());
  const std::vector<pid_t> workers = child_processes(engine.pid());
  ASSERT_EQ(workers.size(), 2u);
  engine.send("position startpos");
  engine.send("go infinite");
  usleep(100000);
  ASSERT_EQ(::kill(workers[0], SIGKILL), 0);
  usleep(100000);
  engine.send("stop");
  EXPECT_TRUE(legal_in("position startpos", read_bestmove(engine, 10000)));
  // A rebuild with a dead worker in the old team, then the master killed.
  engine.send("setoption name Hash value 16");
  ASSERT_TRUE(engine.sync(20000).has_value());
  EXPECT_EQ(child_processes(engine.pid()).size(), 2u);
  const pid_t master = engine.pid();
  engine.kill_now();
  EXPECT_TRUE(eventually([&] { return workers_of(master, program).empty(); }, 5000));
  EXPECT_TRUE(shared_memory_names(master).empty());
}

// Two engines side by side, each through many rebuilds while the other
// rebuilds or searches: each keeps its own team and its own table.
using Pair = std::pair<const char*, const char*>;
class SideBySide : public ::testing::TestWithParam<Pair> {};

TEST_P(SideBySide, NeitherEngineDisturbsTheOther) {
  const char* programs[2] = {GetParam().first, GetParam().second};
  EngineProcess a({}, programs[0]);
  EngineProcess b({}, programs[1]);
  EngineProcess* engines[2] = {&a, &b};
  for (int round = 0; round < 6; ++round) {
    SCOPED_TRACE("round " + std::to_string(round));
    // Rebuilds of both at once (Hash 2 to 64 MB, 2 to 4 processes), then a
    // search of one while the other rebuilds once more.
    const int cpus[2] = {2 + round % 3, 2 + (round + 1) % 3};
    for (int e = 0; e < 2; ++e) {
      engines[e]->send("setoption name Hash value " + std::to_string(2 << ((round + 3 * e) % 6)));
      engines[e]->send("setoption name Max CPUs value " + std::to_string(cpus[e]));
    }
    const int searcher = round % 2;
    const std::string position = round % 4 < 2 ? "position startpos moves d2d4" : "position startpos moves g1f3 g8f6";
    engines[searcher]->send(position);
    engines[searcher]->send("go depth 5");
    engines[1 - searcher]->send("setoption name Hash value " + std::to_string(4 << (round % 3)));
    EXPECT_TRUE(legal_in(position, read_bestmove(*engines[searcher], 30000)));
    for (int e = 0; e < 2; ++e) {
      ASSERT_TRUE(engines[e]->sync(20000).has_value()) << "engine " << e;
      const std::vector<pid_t> workers = child_processes(engines[e]->pid());
      EXPECT_EQ(static_cast<int>(workers.size()), expected_workers(cpus[e])) << "engine " << e;
      for (pid_t w : workers) {
        const std::vector<std::string> args = command_line(w);
        ASSERT_EQ(args.size(), 6u);
        EXPECT_EQ(args[4], std::to_string(engines[e]->pid()));
      }
    }
  }
  for (int e = 0; e < 2; ++e) {
    const pid_t master = engines[e]->pid();
    engines[e]->send("quit");
    EXPECT_EQ(engines[e]->wait_exit(10000), 0) << "engine " << e;
    EXPECT_TRUE(eventually([&] { return workers_of(master, programs[e]).empty(); }, 5000));
    EXPECT_TRUE(shared_memory_names(master).empty());
  }
}

INSTANTIATE_TEST_SUITE_P(Programs, SideBySide,
                         ::testing::Values(Pair{ORVEX_BINARY, ORVEX_BINARY}, Pair{LARKSPIRE_BINARY, LARKSPIRE_BINARY},
                                           Pair{ORVEX_BINARY, LARKSPIRE_BINARY}),
                         [](const ::testing::TestParamInfo<Pair>& info) {
                           return program_label(info.param.first) + "_" + program_label(info.param.second);
                         });

INSTANTIATE_TEST_SUITE_P(Programs, Team, ::testing::Values(ORVEX_BINARY, LARKSPIRE_BINARY),
                         [](const ::testing::TestParamInfo<const char*>& info) { return program_label(info.param); });

}  // namespace
}  // namespace orvex::e2e
