#include "core/worker_team.h"

#include <algorithm>
#include <atomic>
#include <cstdio>
#include <cstdlib>
#include <cstring>

#include "core/text.h"
#include "search/tt.h"

namespace orvex {

ProcessTeam process_team;

namespace {

// The program's argv[0], handed to the workers as theirs.
char program_name[4096] = "orvex";

// A worker that is alive but has not reported ready in this time is taken
// for a failed start; one that does not report quitting in this time after
// "quit" is ended by force.
constexpr u32 kReadyTimeoutMs = 60000;
constexpr u32 kQuitTimeoutMs = 10000;
constexpr u32 kPollStepMs = 50;

u64 table_bytes(u32 mb) { return (u64{mb} * 65536 + 3) * sizeof(TtEntry); }

StatusWord load_status(i32 i) {
  return std::atomic_ref<StatusWord>(process_team.status_words[i]).load(std::memory_order_acquire);
}
void store_status(i32 i, StatusWord v) {
  std::atomic_ref<StatusWord>(process_team.status_words[i]).store(v, std::memory_order_release);
}

void zero_status_page() {
  if (!process_team.status_words) return;
  for (u32 i = 0; i < kStatusPageBytes / sizeof(StatusWord); ++i) store_status(static_cast<i32>(i), kWorkerCleared);
}

// Where a worker finds the two objects its master hands on at its start.
constexpr int kHashFd = platform::kFirstPassedFd;
constexpr int kStatusFd = platform::kFirstPassedFd + 1;

// Once every worker holds its own mappings, the master keeps none of the
// descriptors: the objects then live exactly as long as their mappings.
void close_team_fds() {
  platform::close_shared_fd(process_team.hash_mapping);
  platform::close_shared_fd(process_team.status_mapping);
}

void unmap_views() {
  tt_detach();
  platform::unmap_shared(process_team.hash_mapping);
  platform::unmap_shared(process_team.status_mapping);
  process_team.status_words = nullptr;
}

void close_pipes() {
  for (i32 i = 1; i < kMaxProcesses; ++i) {
    platform::close_fd(process_team.pipes[i].stdin_write_dup);
    process_team.pipes[i].stdin_write_dup = -1;
  }
}

// Waits until every started worker has exited (reaping it); one that is
// still there after timeout_ms is ended by force.
void reap_workers(u32 timeout_ms) {
  const u32 start = platform::tick_count();
  for (i32 i = 1; i < kMaxProcesses; ++i) {
    int& pid = process_team.worker_process[i - 1];
    if (pid <= 0) continue;
    const u32 spent = platform::tick_count() - start;
    if (!platform::reap_process(pid, spent < timeout_ms ? timeout_ms - spent : 0)) {
      platform::kill_process(pid);
      platform::reap_process(pid, 1000);
    }
    pid = 0;
  }
}

// A failed start.  The workers already started see the end of their input
// and exit; the objects go with the last of them.
[[noreturn]] void fail_start() {
  close_pipes();
  unmap_views();
  std::exit(1);
}

void take_down() {
  const i32 p = process_team.process_count;
  send_to_workers("quit");
  // Wait until every worker reports quitting or has exited.
  const u32 start = platform::tick_count();
  for (;;) {
    platform::sleep_ms(kPollStepMs);
    bool all = true;
    for (i32 i = 1; i < p; ++i) {
      int& pid = process_team.worker_process[i - 1];
      if (pid <= 0) continue;
      if (load_status(i) == kWorkerQuitting) continue;
      if (!platform::process_alive(pid)) {
        pid = 0;  // reaped
        continue;
      }
      all = false;
    }
    if (all || platform::tick_count() - start >= kQuitTimeoutMs) break;
  }
  zero_status_page();
  close_pipes();
  reap_workers(2000);
  unmap_views();
}

void build_master(const TeamConfig& cfg) {
  ProcessTeam& t = process_team;
  t.process_count = static_cast<i32>(std::min<u32>(std::max<u32>(cfg.max_cpus, 1), static_cast<u32>(std::max(t.cpu_count, 1))));
  if (t.process_count > kMaxProcesses) t.process_count = kMaxProcesses;
  const u32 pid = platform::current_process_id();

  // The table: when the memory cannot be had, half the size, down to 2 MB.
  u32 mb = hash_mb_from_option(cfg.hash_mb);
  if (mb == 0) mb = kMinHashMb;
  while (!platform::create_shared("OrvexSync", table_bytes(mb), t.hash_mapping)) {
    if (mb <= kMinHashMb) fail_start();
    mb /= 2;
  }
  t.hash_mb = mb;
  if (!platform::create_shared("OrvexEx", kStatusPageBytes, t.status_mapping)) fail_start();
  t.status_words = static_cast<StatusWord*>(t.status_mapping.data);
  // A new object reads as zeros: the table and the page start empty.
  tt_attach(t.hash_mapping.data, u64{mb} * 65536 + 3);
  reset_tt_ages();

  for (i32 i = 1; i < t.process_count; ++i) {
    const std::string args[5] = {std::to_string(mb), std::to_string(t.generation), std::to_string(t.process_count),
                                 std::to_string(pid), std::to_string(i)};
    // The two objects go to the worker as descriptors kHashFd and kStatusFd.
    const int passed[2] = {t.hash_mapping.fd, t.status_mapping.fd};
    platform::ChildProcess child;
    if (!platform::spawn_self(program_name, args, 5, child, passed, 2)) fail_start();
    t.worker_process[i - 1] = child.pid;
    t.pipes[i].stdin_write_dup = child.stdin_fd;
    platform::set_process_priority(child.pid, cfg.workers_below_normal);
  }

  // Wait until every worker is ready; one that dies first is a failed start.
  const u32 start = platform::tick_count();
  for (;;) {
    platform::sleep_ms(kPollStepMs);
    bool all = true;
    for (i32 i = 1; i < t.process_count; ++i) {
      if (load_status(i) == kWorkerReady) continue;
      if (!platform::process_alive(t.worker_process[i - 1])) {
        // It may have written the word just before it ended.
        t.worker_process[i - 1] = 0;  // reaped
        if (load_status(i) == kWorkerReady) continue;
        fail_start();
      }
      all = false;
    }
    if (all) break;
    if (platform::tick_count() - start >= kReadyTimeoutMs) fail_start();
  }
  // Every worker has mapped both objects: no descriptor is needed any more.
  close_team_fds();
  zero_status_page();
  for (const std::string& line : cfg.replay) send_to_workers(line.c_str());
}

void join_worker(const TeamConfig& cfg) {
  ProcessTeam& t = process_team;
  const u32 mb = hash_mb_from_option(cfg.hash_mb);
  if (mb == 0 || t.worker_index < 1 || t.worker_index >= kMaxProcesses) std::exit(1);
  // Both descriptors are closed once mapped (or found wanting).
  const bool hash_ok = platform::map_inherited_shared(kHashFd, table_bytes(mb), t.hash_mapping);
  const bool status_ok = platform::map_inherited_shared(kStatusFd, kStatusPageBytes, t.status_mapping);
  if (!hash_ok || !status_ok) {
    unmap_views();
    std::exit(1);
  }
  t.hash_mb = mb;
  t.status_words = static_cast<StatusWord*>(t.status_mapping.data);
  tt_attach(t.hash_mapping.data, u64{mb} * 65536 + 3);
  reset_tt_ages();
}

}  // namespace

void team_init_master(const char* argv0) {
  ProcessTeam& t = process_team;
  if (argv0 && *argv0) std::snprintf(program_name, sizeof program_name, "%s", argv0);
  t.is_master = 1;
  t.cpu_count = static_cast<i32>(platform::processor_count());
  t.process_count = 0;
  t.generation = 0;
  t.parent_pid = 0;
  t.worker_index = 0;
  platform::ignore_broken_pipes();
}

void team_init_worker(u32 generation, i32 process_count, u32 master_pid, i32 worker_index) {
  ProcessTeam& t = process_team;
  platform::take_name_from_argv0();
  t.is_master = 0;
  t.cpu_count = static_cast<i32>(platform::processor_count());
  t.process_count = process_count;
  t.generation = generation;
  t.parent_pid = master_pid;
  t.worker_index = worker_index;
}

u32 setup_workers(const TeamConfig& cfg) {
  ProcessTeam& t = process_team;
  if (t.is_master) {
    if (t.generation != 0) take_down();
    build_master(cfg);
  } else {
    join_worker(cfg);
  }
  ++t.generation;
  return t.hash_mb;
}

void send_to_workers(const char* line) {
  ProcessTeam& t = process_team;
  if (!t.is_master || t.process_count <= 1) return;
  // A whole command line and its newline.
  char buf[kLineBufferSize + 1];
  std::size_t len = copy_text(buf, kLineBufferSize, line);
  buf[len++] = '\n';
  for (i32 i = 1; i < t.process_count; ++i) {
    int& fd = t.pipes[i].stdin_write_dup;
    if (fd < 0) continue;
    // A worker that is gone (or does not read at all) gets nothing more.
    if (!platform::write_pipe(fd, buf, len)) {
      platform::close_fd(fd);
      fd = -1;
    }
  }
}

void clear_hash() {
  reset_tt_ages();
  if (process_team.is_master) tt_zero();
}

void set_worker_priority(bool below_normal) {
  for (i32 i = 1; i < process_team.process_count && i < kMaxProcesses; ++i)
    platform::set_process_priority(process_team.worker_process[i - 1], below_normal);
}

void mark_worker_ready() {
  const ProcessTeam& t = process_team;
  if (!t.is_master && t.status_words && t.worker_index >= 1 && t.worker_index < kMaxProcesses)
    store_status(t.worker_index, kWorkerReady);
}

void mark_worker_quitting() {
  const ProcessTeam& t = process_team;
  if (!t.is_master && t.status_words && t.worker_index >= 1 && t.worker_index < kMaxProcesses)
    store_status(t.worker_index, kWorkerQuitting);
}

void team_release() {
  ProcessTeam& t = process_team;
  tt_detach();
  platform::unmap_shared(t.hash_mapping);
  mark_worker_quitting();
  platform::unmap_shared(t.status_mapping);
  t.status_words = nullptr;
  if (t.is_master) close_pipes();
}

void team_quit(const char* line) {
  send_to_workers(line);
  if (!process_team.is_master) mark_worker_quitting();
  team_release();
  std::exit(0);
}

u32 hash_mb_from_option(i64 value) {
  if (value < static_cast<i64>(kMinHashMb)) return 0;
  u32 mb = kMinHashMb;
  while (mb < kMaxHashMb && static_cast<i64>(mb) * 2 <= value) mb *= 2;
  return mb;
}

std::vector<std::string> main_engine_replay(u32 multipv, i32 contempt, u32 outlook, bool preserve_analysis) {
  static const char* const kOutlook[6] = {
      "setoption name Outlook value Very Pessimistic", "setoption name Outlook value Slightly Pessimistic", nullptr,
      "setoption name Outlook value Slightly Optimistic", "setoption name Outlook value Very Optimistic",
      "setoption name Outlook value Ultra Optimistic"};
  std::vector<std::string> lines;
  if (multipv != 1) lines.push_back("setoption name MultiPV value " + std::to_string(multipv));
  if (contempt != 0) lines.push_back("setoption name Contempt value " + std::to_string(contempt));
  if (outlook < 6 && kOutlook[outlook]) lines.push_back(kOutlook[outlook]);
  if (preserve_analysis) lines.push_back("setoption name Preserve Analysis value true");
  return lines;
}

}  // namespace orvex
