// The worker team, with this test program as its own worker: a copy started
// with the team's five numbers and ORVEX_TEAM_WORKER in its environment acts
// as a small worker before the tests start (see TestWorker below).
#include "core/worker_team.h"

#include <dirent.h>
#include <signal.h>
#include <sys/resource.h>
#include <unistd.h>

#include <atomic>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <fstream>
#include <sstream>
#include <string>
#include <vector>

#include <gtest/gtest.h>

#include "search/tt.h"
#include "tests/process_args.h"

using namespace orvex;

namespace {

constexpr const char* kWorkerEnv = "ORVEX_TEAM_WORKER";

// What a test worker records about the lines it received, in the shared
// table at byte offset index * 8192 (the table holds at least 2 MB).
struct LineLog {
  u32 count;
  char text[8188];
};

LineLog* line_log(i32 index) {
  return reinterpret_cast<LineLog*>(reinterpret_cast<char*>(tt.entries) + index * 8192);
}

using orvex::testing::command_line;

// Modes: "serve" obeys lines until "quit" (reports quitting) or the end of
// input; "die" ends before it is ready; "vanish" ends on "quit" without
// reporting quitting.
struct TestWorker {
  TestWorker() {
    const char* mode = std::getenv(kWorkerEnv);
    if (!mode) return;
    const std::vector<std::string> args = command_line(getpid());
    if (args.size() < 6) _exit(9);
    const std::size_t k = args.size() - 5;
    if (std::strcmp(mode, "die") == 0) _exit(3);
    team_init_worker(static_cast<u32>(std::atoll(args[k + 1].c_str())), std::atoi(args[k + 2].c_str()),
                     static_cast<u32>(std::atoll(args[k + 3].c_str())), std::atoi(args[k + 4].c_str()));
    TeamConfig cfg;
    cfg.hash_mb = static_cast<u32>(std::atoi(args[k].c_str()));
    setup_workers(cfg);
    mark_worker_ready();
    char line[8192];
    while (platform::read_line(line, sizeof line)) {
      LineLog* log = line_log(process_team.worker_index);
      const std::size_t used = std::strlen(log->text);
      std::snprintf(log->text + used, sizeof log->text - used, "%s|", line);
      std::atomic_ref<u32>(log->count).fetch_add(1);
      if (std::strcmp(line, "quit") == 0) {
        if (std::strcmp(mode, "vanish") == 0) _exit(0);
        team_release();
        _exit(0);
      }
    }
    _exit(0);
  }
} test_worker;

// The lines of /proc/PID/maps (PID 0: this process) that contain `text`.
int maps_lines_with(int pid, const char* text) {
  std::ifstream maps(pid ? "/proc/" + std::to_string(pid) + "/maps" : std::string("/proc/self/maps"));
  int n = 0;
  for (std::string line; std::getline(maps, line);) n += line.find(text) != std::string::npos;
  return n;
}

// Descriptors a process (0: this one) holds.
int open_fds(int pid = 0) {
  DIR* dir = opendir(pid ? ("/proc/" + std::to_string(pid) + "/fd").c_str() : "/proc/self/fd");
  if (!dir) return -1;
  int n = 0;
  while (dirent* e = readdir(dir)) n += e->d_name[0] != '.';
  closedir(dir);
  return pid ? n : n - 1;  // not the one of opendir itself
}

// Waits until worker i has logged `count` lines.
bool wait_lines(i32 i, u32 count) {
  for (int t = 0; t < 400; ++t) {
    if (std::atomic_ref<u32>(line_log(i)->count).load() >= count) return true;
    platform::sleep_ms(10);
  }
  return false;
}

TeamConfig config(u32 hash_mb, u32 max_cpus) {
  TeamConfig cfg;
  cfg.hash_mb = hash_mb;
  cfg.max_cpus = max_cpus;
  return cfg;
}

}  // namespace

TEST(WorkerTeam, HashOptionValues) {
  const std::pair<i64, u32> cases[] = {{-5, 0},   {0, 0},      {1, 0},       {2, 2},         {3, 2},
                                       {100, 64}, {4096, 4096}, {5000, 4096}, {i64{1} << 40, 4096}};
  for (auto [value, mb] : cases) EXPECT_EQ(hash_mb_from_option(value), mb) << value;
}

TEST(WorkerTeam, ReplayHoldsOnlyNonDefaultSettings) {
  EXPECT_TRUE(main_engine_replay(1, 0, 2, false).empty());
  EXPECT_EQ(main_engine_replay(3, -20, 0, true),
            (std::vector<std::string>{"setoption name MultiPV value 3", "setoption name Contempt value -20",
                                      "setoption name Outlook value Very Pessimistic",
                                      "setoption name Preserve Analysis value true"}));
  EXPECT_EQ(main_engine_replay(1, 0, 5, false),
            (std::vector<std::string>{"setoption name Outlook value Ultra Optimistic"}));
  EXPECT_EQ(main_engine_replay(1, 0, 4, false),
            (std::vector<std::string>{"setoption name Outlook value Very Optimistic"}));
}

TEST(WorkerTeam, SingleProcessHasMappingsButNoWorkers) {
  team_init_master("orvex");
  EXPECT_EQ(setup_workers(config(2, 1)), 2u);
  EXPECT_EQ(process_team.process_count, 1);
  EXPECT_EQ(process_team.generation, 1u);
  EXPECT_EQ(tt.entry_count, 2u * 65536 + 3);
  EXPECT_EQ(tt.index_mask, 2u * 65536 - 2);
  EXPECT_EQ(process_team.worker_process[0], 0);
  send_to_workers("position startpos");  // nothing to send to
  // Both objects are anonymous and mapped; no descriptor is kept once the
  // build stands.
  EXPECT_EQ(maps_lines_with(0, "/memfd:OrvexSync"), 1);
  EXPECT_EQ(maps_lines_with(0, "/memfd:OrvexEx"), 1);
  EXPECT_EQ(maps_lines_with(0, "/dev/shm/"), 0);
  EXPECT_EQ(process_team.hash_mapping.fd, -1);
  EXPECT_EQ(process_team.status_mapping.fd, -1);
  tt.entries[5].key_high = 77;
  current_age = 9;
  clear_hash();
  EXPECT_EQ(tt.entries[5].key_high, 0u);
  EXPECT_EQ(current_age, 0u);
  EXPECT_EQ(age_weights[1], 64u * 256);
  team_release();
  EXPECT_EQ(tt.entries, nullptr);
  EXPECT_EQ(maps_lines_with(0, "/memfd:Orvex"), 0);
}

TEST(WorkerTeam, BuildForwardRebuildAndRelease) {
  setenv(kWorkerEnv, "serve", 1);
  team_init_master("orvex");
  process_team.cpu_count = 3;  // whatever the machine has
  TeamConfig cfg = config(16, 8);
  cfg.replay = main_engine_replay(4, 0, 2, false);
  const int fds_before = open_fds();
  ASSERT_EQ(setup_workers(cfg), 16u);
  const u32 me = static_cast<u32>(getpid());
  EXPECT_EQ(process_team.process_count, 3);
  EXPECT_EQ(process_team.generation, 1u);
  EXPECT_EQ(tt.entry_count, 16u * 65536 + 3);
  int first[2];
  for (i32 i = 1; i <= 2; ++i) {
    first[i - 1] = process_team.worker_process[i - 1];
    ASSERT_GT(first[i - 1], 0);
    const auto args = command_line(first[i - 1]);
    ASSERT_EQ(args.size(), 6u);
    EXPECT_EQ(args[0], "orvex");
    EXPECT_EQ(args[1], "16");
    EXPECT_EQ(args[2], "0");
    EXPECT_EQ(args[3], "3");
    EXPECT_EQ(args[4], std::to_string(me));
    EXPECT_EQ(args[5], std::to_string(i));
    std::ifstream comm("/proc/" + std::to_string(first[i - 1]) + "/comm");
    std::string name;
    std::getline(comm, name);
    EXPECT_EQ(name, "orvex");  // not "exe"
    errno = 0;
    EXPECT_EQ(getpriority(PRIO_PROCESS, static_cast<id_t>(first[i - 1])), 5);
    // The status page is cleared after the handshake.
    EXPECT_EQ(process_team.status_words[i], kWorkerCleared);
    // The worker maps both handed-on objects and keeps no descriptor of
    // them: standard input, output and error are all it holds.
    EXPECT_EQ(maps_lines_with(first[i - 1], "/memfd:OrvexSync"), 1);
    EXPECT_EQ(maps_lines_with(first[i - 1], "/memfd:OrvexEx"), 1);
    EXPECT_EQ(open_fds(first[i - 1]), 3);
  }
  // The master keeps only the write ends of the two pipes.
  EXPECT_EQ(open_fds(), fds_before + 2);

  // The replayed setting, then forwarded lines, reach every worker in order.
  send_to_workers("position startpos moves e2e4");
  send_to_workers(std::string("go infinite"));
  for (i32 i = 1; i <= 2; ++i) {
    ASSERT_TRUE(wait_lines(i, 3)) << i;
    EXPECT_STREQ(line_log(i)->text, "setoption name MultiPV value 4|position startpos moves e2e4|go infinite|");
  }
  set_worker_priority(false);
  EXPECT_EQ(getpriority(PRIO_PROCESS, static_cast<id_t>(first[0])), 0);

  // Rebuild with another size: the old workers quit and are gone, new ones
  // start under generation 1 at normal priority.
  cfg.hash_mb = 100;
  cfg.workers_below_normal = false;
  cfg.replay.clear();
  ASSERT_EQ(setup_workers(cfg), 64u);
  EXPECT_EQ(process_team.generation, 2u);
  EXPECT_EQ(tt.entry_count, 64u * 65536 + 3);
  for (i32 i = 1; i <= 2; ++i) {
    EXPECT_NE(kill(first[i - 1], 0), 0) << "old worker still there";
    const int pid = process_team.worker_process[i - 1];
    const auto args = command_line(pid);
    ASSERT_EQ(args.size(), 6u);
    EXPECT_EQ(args[1], "64");
    EXPECT_EQ(args[2], "1");
    EXPECT_EQ(getpriority(PRIO_PROCESS, static_cast<id_t>(pid)), 0);
    EXPECT_EQ(line_log(i)->count, 0u);  // the new table starts empty
  }
  // The old objects are gone from the master; nothing piles up.
  EXPECT_EQ(maps_lines_with(0, "/memfd:OrvexSync"), 1);
  EXPECT_EQ(open_fds(), fds_before + 2);
  // The master's Clear Hash zeroes the shared table under the workers.
  send_to_workers("ucinewgame");
  ASSERT_TRUE(wait_lines(1, 1));
  clear_hash();
  EXPECT_EQ(line_log(1)->count, 0u);

  // Fewer processes.
  ASSERT_EQ(setup_workers(config(2, 2)), 2u);
  EXPECT_EQ(process_team.process_count, 2);
  EXPECT_EQ(process_team.worker_process[1], 0);
  const int last = process_team.worker_process[0];

  // Quit: forwarded, views and pipes dropped; the worker ends.
  send_to_workers("quit");
  team_release();
  EXPECT_TRUE(platform::reap_process(last, 10000));
  EXPECT_EQ(maps_lines_with(0, "/memfd:Orvex"), 0);
  EXPECT_EQ(open_fds(), fds_before);
  unsetenv(kWorkerEnv);
}

TEST(WorkerTeam, WorkerThatExitsWithoutReportingCountsAsQuitting) {
  setenv(kWorkerEnv, "vanish", 1);
  team_init_master("orvex");
  process_team.cpu_count = 2;
  ASSERT_EQ(setup_workers(config(2, 2)), 2u);
  const int pid = process_team.worker_process[0];
  const u32 start = platform::tick_count();
  setup_workers(config(2, 1));  // take-down must not hang
  EXPECT_LT(platform::tick_count() - start, 5000u);
  EXPECT_NE(kill(pid, 0), 0);
  EXPECT_EQ(process_team.process_count, 1);
  team_release();
  unsetenv(kWorkerEnv);
}

TEST(WorkerTeamDeathTest, WorkerDyingBeforeReadyEndsTheMasterWithCode1) {
  EXPECT_EXIT(
      {
        setenv(kWorkerEnv, "die", 1);
        team_init_master("orvex");
        process_team.cpu_count = 2;
        setup_workers(config(2, 2));
      },
      ::testing::ExitedWithCode(1), "");
}

TEST(WorkerTeamDeathTest, WorkerWithoutItsMappingsExitsWithCode1) {
  EXPECT_EXIT(
      {
        team_init_worker(12345, 2, 1, 1);
        setup_workers(config(32, 2));
      },
      ::testing::ExitedWithCode(1), "");
}

TEST(WorkerTeam, TableThatCannotBeHadIsRetriedAtHalfSize) {
  // A file-size limit of 5 MB on this process makes the tables of 32, 16
  // and 8 MB fail; 4 MB fits.
  signal(SIGXFSZ, SIG_IGN);
  rlimit old;
  getrlimit(RLIMIT_FSIZE, &old);
  rlimit lim = old;
  lim.rlim_cur = 5u << 20;
  ASSERT_EQ(setrlimit(RLIMIT_FSIZE, &lim), 0);
  team_init_master("orvex");
  const u32 mb = setup_workers(config(32, 1));
  setrlimit(RLIMIT_FSIZE, &old);
  EXPECT_EQ(mb, 4u);
  EXPECT_EQ(process_team.hash_mb, 4u);
  EXPECT_EQ(tt.entry_count, 4u * 65536 + 3);
  team_release();
}

TEST(WorkerTeam, SlowLargestTableIsSizedIn64Bits) {
  team_init_master("orvex");
  ASSERT_EQ(setup_workers(config(4096, 1)), 4096u);
  EXPECT_EQ(process_team.hash_mapping.size, 4294967344ull);
  EXPECT_EQ(tt.entry_count, 268435459u);
  EXPECT_EQ(tt.index_mask, 268435454u);
  tt.entries[tt.entry_count - 1].key_high = 1;  // the last spare is mapped
  clear_hash();
  EXPECT_EQ(tt.entries[tt.entry_count - 1].key_high, 0u);
  team_release();
}
