// The worker team: the master process starts copies of its own program as
// worker processes, feeds them command lines through pipes on their standard
// input, and shares two anonymous shared-memory objects with them: the
// transposition table and a page of status words through which workers
// report that they are ready or quitting.  Nothing is named: the master
// hands both objects to each worker as inherited descriptors when it starts
// it, so the kernel frees them with the last process of the team, however
// the processes end, and two engines can never meet in them.  Both programs
// (orvex and orvex-larkspire) use this module; they differ only in the
// worker priority and in the settings that are replayed to new workers,
// which the caller passes in TeamConfig.
//
// Typical use:
//   master:  team_init_master(); hash = setup_workers(cfg); ...
//            send_to_workers("position startpos"); ...
//            on Hash / Max CPUs: hash = setup_workers(cfg) again (rebuild)
//            on quit: send_to_workers("quit"); team_release(); exit(0)
//   worker:  team_init_worker(gen, count, master_pid, index);
//            setup_workers(cfg) (maps the inherited objects, exit 1 when it
//            cannot);
//            ... start-up ...; mark_worker_ready();
//            on quit: team_release(); exit(0)
#pragma once
#include <string>
#include <vector>

#include "platform/platform.h"
#include "position/types.h"
#include "search/host.h"

namespace orvex {

// Status words: one u32 per worker index in the status page.
using StatusWord = u32;
constexpr StatusWord kWorkerCleared = 0;
constexpr StatusWord kWorkerReady = 1;
constexpr StatusWord kWorkerQuitting = 2;

constexpr u32 kStatusPageBytes = 8192;
constexpr i32 kMaxProcesses = 2048;  // master included
constexpr u32 kMinHashMb = 2;
constexpr u32 kMaxHashMb = 4096;
constexpr u32 kDefaultHashMb = 32;

// The pipe to worker i's standard input.  The read end belongs to the worker
// alone (the master closes its copy once the worker is started); the master
// keeps only the write end, which no other process inherits.
struct PipeTableEntry {
  int stdin_write_dup = -1;
};

struct ProcessTeam {
  u32 is_master = 1;
  i32 process_count = 0;  // processes P, master included
  i32 cpu_count = 1;      // processors this process may use, at least 1
  u32 generation = 0;     // builds so far; on the worker command line
  u32 parent_pid = 0;     // a worker's master (0 in the master)
  i32 worker_index = 0;   // a worker's index 1..P-1 (0 in the master)
  u32 hash_mb = 0;        // size of the table actually mapped, in MB
  platform::SharedMapping hash_mapping;
  platform::SharedMapping status_mapping;
  StatusWord* status_words = nullptr;  // view of the status page
  int worker_process[kMaxProcesses - 1];  // pid of worker i at i - 1; 0 none
  PipeTableEntry pipes[kMaxProcesses];    // pipe of worker i at i
};
extern ProcessTeam process_team;

// team_process_count() (search/host.h) gives the team's size, the master
// included; 1 before the team is built.

// What a build needs from the caller.
struct TeamConfig {
  u32 hash_mb = kDefaultHashMb;   // wanted table size (clamped to 2..4096, power of two)
  u32 max_cpus = kMaxProcesses;   // master: upper bound on the process count
  bool workers_below_normal = true;  // nice +5 for the workers, else nice 0
  // Lines sent to the new workers once all are ready (settings that differ
  // from their defaults).  Master only.
  std::vector<std::string> replay;
};

// Role set-up, called by the entry before setup_workers.
// argv0 is the program's own argv[0], handed to the workers as theirs.
void team_init_master(const char* argv0 = "orvex");
void team_init_worker(u32 generation, i32 process_count, u32 master_pid, i32 worker_index);

// Master: takes down a previous build (workers told "quit" and waited for,
// pipes closed, objects unmapped), creates and maps two new objects (they
// start zeroed), starts P - 1 = min(max_cpus, cpu_count) - 1 workers with
// both objects handed on as descriptors, waits until every one is ready,
// closes its descriptors, and replays cfg.replay.  A table that cannot be
// had is retried at half the size down to 2 MB.  Ends the process with exit
// code 1 when a worker cannot be started or dies before it is ready, or when
// not even the smallest table can be had.
// Worker: maps both objects from the descriptors it was started with (exit 1
// when it cannot).  Both: attaches the table (search/tt.h), resets the ages,
// raises the generation.  Returns the table size in MB in use.
u32 setup_workers(const TeamConfig& cfg);

// Writes the line and a newline to every worker.  Nothing in a worker or
// with one process.  Never blocks for ever on a worker that died.
void send_to_workers(const char* line);
inline void send_to_workers(const std::string& line) { send_to_workers(line.c_str()); }

// Ages reset; in the master every table entry zeroed as well.
void clear_hash();

// Sets the priority of every running worker.
void set_worker_priority(bool below_normal);

// Worker: its own status word := ready / quitting.
void mark_worker_ready();
void mark_worker_quitting();

// At "quit", after the line was forwarded: unmaps the table view; in a
// worker writes kWorkerQuitting into its status word; unmaps the status
// view; in the master closes the pipes (so the workers see the end of their
// input).  Does not wait for the
// workers.  The caller then exits with code 0.
void team_release();

// "quit": forwards the line to the workers, marks a worker as quitting,
// releases the team (team_release) and ends the process with exit code 0.
[[noreturn]] void team_quit(const char* line);

// The Hash option value as a table size: 0 when the value is to be ignored
// (below 2); otherwise the largest power of two not above the value, at most
// 4096.
u32 hash_mb_from_option(i64 value);

// The settings replayed to new workers of the main engine: each line only
// when its value differs from the default (MultiPV 1, Contempt 0, Outlook
// Neutral (2), Preserve Analysis off).
std::vector<std::string> main_engine_replay(u32 multipv, i32 contempt, u32 outlook, bool preserve_analysis);

}  // namespace orvex
