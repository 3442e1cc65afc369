// A small driver for whole-program tests: starts the built engine with pipes
// on its standard input and output, writes UCI lines and reads its answers
// with time-outs.
#pragma once
#include <sys/types.h>

#include <optional>
#include <string>
#include <vector>

namespace orvex::e2e {

class EngineProcess {
 public:
  // Starts `program` (default: the built engine) with the extra arguments.
  explicit EngineProcess(std::vector<std::string> args = {}, const char* program = ORVEX_BINARY);
  ~EngineProcess();  // kills the process if it still runs
  EngineProcess(const EngineProcess&) = delete;
  EngineProcess& operator=(const EngineProcess&) = delete;

  bool started() const { return pid_ > 0; }
  pid_t pid() const { return pid_; }

  // Writes the text and a newline (no newline when `raw`).  False when the
  // engine no longer reads.
  bool send(const std::string& text, bool raw = false);
  // Closes the engine's standard input.
  void close_input();

  // The next output line without its "\n", or nothing after the time-out or
  // at the end of output.
  std::optional<std::string> read_line(int timeout_ms = 5000);
  // Lines up to and including the first equal to `last`; empty when it does
  // not come within the time-out.
  std::vector<std::string> read_until(const std::string& last, int timeout_ms = 5000);
  // Sends "isready" and returns every line before "readyok" (nothing when
  // "readyok" does not come).
  std::optional<std::vector<std::string>> sync(int timeout_ms = 5000);
  // True when no output arrives within the time.
  bool silent_for(int ms);

  // Exit code after the process ends within the time-out; -1 when it does
  // not (or ends by a signal).
  int wait_exit(int timeout_ms = 5000);
  void kill_now();

 private:
  pid_t pid_ = -1;
  int in_fd_ = -1;   // engine's standard input
  int out_fd_ = -1;  // engine's standard output
  std::string buffer_;
  bool output_ended_ = false;
  int exit_code_ = -2;
};

// Sets the test's own position (the engine code linked into the test) from a
// "position" line.
void set_position(const std::string& line);
// Whether the move text names a legal move of the position a "position" line
// gives; sets that position.
bool legal_in(const std::string& position_line, const std::string& move);

// Process ids of the running processes whose parent is `parent`.
std::vector<pid_t> child_processes(pid_t parent);
// True while a process with this id exists and is not a zombie.
bool process_running(pid_t pid);
// Names in /dev/shm that the engine with this process id could have made:
// "OrvexSync" or "OrvexEx", a generation number and the id.  The engine names
// nothing; these are looked for so that a name left by any way of ending
// shows.  Other engines on the machine may make names of their own.
std::vector<std::string> shared_memory_names(pid_t master);

}  // namespace orvex::e2e
