// Stand-ins for the operating-system facilities the engine needs: clock,
// sleep, processor count, priority, standard input and output, processes,
// pipes and shared memory.  Everything above this layer is platform neutral.
#pragma once
#include <cstddef>
#include <cstdint>
#include <string>

namespace orvex::platform {

// Milliseconds from a monotonic clock, wrapping at 2^32.
std::uint32_t tick_count();
void sleep_ms(std::uint32_t ms);
// Processors this process may run on (honours affinity masks), at least 1.
std::uint32_t processor_count();
// Lowers (below_normal true) or restores the scheduling priority of this
// process; a refused change is ignored.
void set_below_normal_priority(bool below_normal);
std::uint32_t current_process_id();

// ---- standard input: a buffered line reader on fd 0 ----
// True when standard input is a terminal.
bool stdin_is_console();
// True when reading one line would not block: a whole line (or the end of
// input) is buffered, or fd 0 reports data, hang-up or error.
bool input_waiting();
// Reads one line without its end ("\n" or "\r\n") into `line`.  A line
// longer than max_len - 1 characters is cut there and the rest of it is
// discarded.  Returns false at the end of input (or on a read error) when no
// characters are left.
bool read_line(std::string& line, std::size_t max_len);

// ---- standard output ----
// Writes the bytes with as many write(1) calls as needed (short writes, EINTR).
void write_stdout(const char* data, std::size_t len);

// ---- processes and pipes ----
struct ChildProcess {
  int pid = -1;       // -1: none
  int stdin_fd = -1;  // write end of the pipe to the child's standard input
};
// Starts this executable again with argv[0] and the given extra arguments,
// its standard input the read end of a new pipe, standard output and error
// /dev/null, every other descriptor closed.  Returns false when the pipe or
// the process cannot be created.
bool spawn_self(const char* argv0, const std::string* extra_args, int extra_count, ChildProcess& out);
// Writes all bytes to a child's pipe; never blocks forever on a dead child
// and never raises SIGPIPE.  Returns false when the child is gone.
bool write_pipe(int fd, const char* data, std::size_t len);
void close_fd(int fd);
// True while the process has not exited (reaps it when it has).
bool process_alive(int pid);
// True while the process with this id exists (not necessarily our child).
bool pid_exists(std::uint32_t pid);

// ---- shared memory ----
struct SharedMapping {
  void* data = nullptr;
  std::uint64_t size = 0;
};
// Creates (removing a stale object of the same name first), sizes and maps a
// named shared-memory object.  Returns false when it cannot be created or its
// memory cannot be reserved.
bool create_shared(const std::string& name, std::uint64_t size, SharedMapping& out);
// Opens and maps an existing named object of the given size.
bool open_shared(const std::string& name, std::uint64_t size, SharedMapping& out);
void unmap_shared(SharedMapping& m);
// Removes the name; existing mappings stay valid.
void unlink_shared(const std::string& name);

}  // namespace orvex::platform
