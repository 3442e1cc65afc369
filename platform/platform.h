// Stand-ins for the operating-system facilities the engine needs: clock,
// sleep, processor count, priority, standard input and output, processes,
// pipes, shared memory and read-only files.  Everything above this layer is platform neutral.
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
// The same for another process (a worker).
void set_process_priority(int pid, bool below_normal);
std::uint32_t current_process_id();
// Names this process (as ps and top show it) after the last part of its
// argv[0]; a process started through /proc/self/exe is otherwise named "exe".
void take_name_from_argv0();
// Makes writes to a closed pipe fail with an error instead of a signal.
// Idempotent; the worker team calls it before it starts workers.
void ignore_broken_pipes();

// ---- standard input: a buffered line reader on fd 0 ----
// True when standard input is a terminal.
bool stdin_is_console();

// A buffered line reader on one descriptor.  Standard input has one
// (stdin_reader); tests make their own on pipes.
struct LineReader {
  // Room for the longest line the interpreters read whole (64 KiB) and its
  // line end, so that such a line counts as waiting only once it is all here.
  static constexpr std::size_t kBufferSize = 1 << 17;
  int fd = 0;
  std::size_t begin = 0, end = 0;  // unread bytes are buf[begin, end)
  bool at_end = false;             // end of input or a read error seen
  char buf[kBufferSize];
};
extern LineReader stdin_reader;

// True when reading one line would not block: after taking in the bytes the
// descriptor has ready, a whole line (or the end of input) is buffered.  A
// part of a line stays buffered and counts as nothing waiting.
bool input_waiting(LineReader& r);
inline bool input_waiting() { return input_waiting(stdin_reader); }
// Reads one line without its end ("\n", or "\r\n" read as "\n") into `out`
// (cap bytes, zero-terminated; cap >= 1).  A line longer than cap - 1
// characters is cut there and the rest of it is discarded.  A last line
// without a line end counts as a line.  Blocks until a line is complete.
// Returns false at the end of input (or on a read error) when no characters
// are left.
bool read_line(LineReader& r, char* out, std::size_t cap);
inline bool read_line(char* out, std::size_t cap) { return read_line(stdin_reader, out, cap); }
// The same into a string; the line is cut at max_len - 1 characters.
bool read_line(std::string& line, std::size_t max_len);

// ---- standard output ----
// Writes the bytes with as many write(1) calls as needed (short writes, EINTR).
void write_stdout(const char* data, std::size_t len);

// ---- processes and pipes ----
struct ChildProcess {
  int pid = -1;       // -1: none
  int stdin_fd = -1;  // write end of the pipe to the child's standard input
};
// Descriptors handed to a child by spawn_self arrive there as
// kFirstPassedFd, kFirstPassedFd + 1, ... in the order given.
constexpr int kFirstPassedFd = 3;
constexpr int kMaxPassedFds = 8;
// Starts this executable again with argv[0] and the given extra arguments,
// its standard input the read end of a new pipe, standard output and error
// /dev/null, the `pass_count` descriptors of `passed` (at most
// kMaxPassedFds) at kFirstPassedFd + i, and every other descriptor closed.
// Returns false when the pipe or the process cannot be created.
bool spawn_self(const char* argv0, const std::string* extra_args, int extra_count, ChildProcess& out,
                const int* passed = nullptr, int pass_count = 0);
// Writes all bytes to a child's pipe; never blocks forever on a dead child
// (nor for more than about two seconds on one that does not read) and never
// raises SIGPIPE.  Returns false when the bytes could not all be written.
bool write_pipe(int fd, const char* data, std::size_t len);
void close_fd(int fd);
// For a child process: true while it has not exited; reaps it when it has
// (after that the pid is no longer ours: call no more for it).
bool process_alive(int pid);
// Waits up to timeout_ms for a child to exit and reaps it.  True when it has.
bool reap_process(int pid, std::uint32_t timeout_ms);
// Ends a child process at once (SIGKILL); reap it afterwards.
void kill_process(int pid);
// True while the process with this id exists (not necessarily our child).
bool pid_exists(std::uint32_t pid);

// ---- shared memory ----
// Anonymous shared memory: an object without a name, reached only through
// its descriptor and the mappings made of it.  The kernel frees it with the
// last process that holds either, however the processes end, so nothing can
// outlive them and no two objects can ever meet.  A process hands an object
// to a child by passing its descriptor to spawn_self.
struct SharedMapping {
  void* data = nullptr;
  std::uint64_t size = 0;
  int fd = -1;  // the object's descriptor while it is kept for handing on
};
// Creates an object of `size` bytes (its memory reads as zeros), reserves
// all of its memory at once, so that one too large for the machine fails
// here instead of with a bus error on a later write, seals its size and
// maps it.  A size above the memory the machine can still give (available
// memory and free swap) fails at once.  The descriptor (closed on exec)
// stays in out.fd for spawn_self.  `label` is for the eye only (it shows in
// /proc/PID/maps).  Returns false, leaving nothing behind, when the object
// cannot be created, reserved or mapped.
bool create_shared(const char* label, std::uint64_t size, SharedMapping& out);
// Maps the object behind an inherited descriptor and closes the descriptor.
// Fails (and closes it too) when the descriptor is not an object made by
// create_shared or the object is smaller than `size`.
bool map_inherited_shared(int fd, std::uint64_t size, SharedMapping& out);
// Closes the kept descriptor; the mapping stays valid.
void close_shared_fd(SharedMapping& m);
// Unmaps the object and closes the kept descriptor, if any.
void unmap_shared(SharedMapping& m);

// ---- read-only files ----
// Opens a regular file for reading without ever blocking; the descriptor is
// closed on exec, so worker processes never inherit it.  Returns -1 when it
// cannot be opened, and for anything but a regular file (a directory, a
// FIFO, a device), which is not opened at all.
int open_read_only(const char* path);
// Reads up to len bytes at a 64-bit byte offset, retrying short reads and
// EINTR until len bytes are read or the file ends.  Returns the bytes read
// (fewer than len at the end of the file), or -1 on a read error.
std::int64_t read_at(int fd, void* buf, std::size_t len, std::uint64_t offset);
// Length of an open file in bytes, or -1 when it cannot be had.
std::int64_t file_size(int fd);
// True when the path names an existing directory.
bool is_directory(const char* path);

}  // namespace orvex::platform
