#include "platform/platform.h"

#include <errno.h>
#include <fcntl.h>
#include <poll.h>
#include <sched.h>
#include <signal.h>
#include <spawn.h>
#include <sys/prctl.h>
#include <sys/mman.h>
#include <sys/resource.h>
#include <sys/stat.h>
#include <sys/types.h>
#include <sys/wait.h>
#include <time.h>
#include <unistd.h>

#include <algorithm>
#include <cstdint>
#include <cstdio>
#include <cstring>
#include <vector>

extern char** environ;

namespace orvex::platform {

// ---- clock, sleep, processors, priority ----

std::uint32_t tick_count() {
  timespec ts;
  clock_gettime(CLOCK_MONOTONIC, &ts);
  const std::uint64_t ms = static_cast<std::uint64_t>(ts.tv_sec) * 1000u + static_cast<std::uint64_t>(ts.tv_nsec) / 1000000u;
  return static_cast<std::uint32_t>(ms);
}

void sleep_ms(std::uint32_t ms) {
  timespec req{static_cast<time_t>(ms / 1000), static_cast<long>(ms % 1000) * 1000000L};
  timespec rem;
  while (nanosleep(&req, &rem) != 0 && errno == EINTR) req = rem;
}

std::uint32_t processor_count() {
  cpu_set_t set;
  CPU_ZERO(&set);
  if (sched_getaffinity(0, sizeof set, &set) == 0) {
    const int n = CPU_COUNT(&set);
    if (n >= 1) return static_cast<std::uint32_t>(n);
  }
  const long n = sysconf(_SC_NPROCESSORS_ONLN);
  return n >= 1 ? static_cast<std::uint32_t>(n) : 1u;
}

void set_below_normal_priority(bool below_normal) { setpriority(PRIO_PROCESS, 0, below_normal ? 5 : 0); }

void set_process_priority(int pid, bool below_normal) {
  if (pid > 0) setpriority(PRIO_PROCESS, static_cast<id_t>(pid), below_normal ? 5 : 0);
}

std::uint32_t current_process_id() { return static_cast<std::uint32_t>(getpid()); }

void take_name_from_argv0() {
  const int fd = open("/proc/self/cmdline", O_RDONLY | O_CLOEXEC);
  if (fd < 0) return;
  char buf[4096];
  const ssize_t n = read(fd, buf, sizeof buf - 1);
  close(fd);
  if (n <= 0) return;
  buf[n] = '\0';  // argv[0] ends at the first zero byte
  const char* slash = std::strrchr(buf, '/');
  const char* base = slash ? slash + 1 : buf;
  if (!*base) return;
  // The calling thread, and the main thread (which ps shows) when the caller
  // is another thread of the process.
  prctl(PR_SET_NAME, base, 0, 0, 0);
  char path[64];
  std::snprintf(path, sizeof path, "/proc/self/task/%d/comm", static_cast<int>(getpid()));
  const int cfd = open(path, O_WRONLY | O_CLOEXEC);
  if (cfd < 0) return;
  const std::size_t len = std::min<std::size_t>(std::strlen(base), 15);
  [[maybe_unused]] const ssize_t written = write(cfd, base, len);
  close(cfd);
}

void ignore_broken_pipes() { signal(SIGPIPE, SIG_IGN); }

// ---- standard input ----

LineReader stdin_reader;

bool stdin_is_console() { return isatty(0) == 1; }

namespace {

// Reads more bytes into the buffer (blocking).  Moves unread bytes to the
// front first.  Returns false at the end of input or on an error.
bool fill(LineReader& r) {
  if (r.at_end) return false;
  if (r.begin > 0) {
    std::memmove(r.buf, r.buf + r.begin, r.end - r.begin);
    r.end -= r.begin;
    r.begin = 0;
  }
  if (r.end == LineReader::kBufferSize) return true;  // caller consumes first
  for (;;) {
    const ssize_t n = read(r.fd, r.buf + r.end, LineReader::kBufferSize - r.end);
    if (n > 0) {
      r.end += static_cast<std::size_t>(n);
      return true;
    }
    if (n < 0 && errno == EINTR) continue;
    if (n < 0 && errno == EAGAIN) {
      pollfd p{r.fd, POLLIN, 0};
      poll(&p, 1, -1);
      continue;
    }
    r.at_end = true;
    return false;
  }
}

}  // namespace

// Takes the bytes that can be read without blocking into the buffer and
// reports a whole line or the end of input.  A part of a line is kept for
// later: reading it now would block the caller (a running search) until the
// rest arrives.
bool input_waiting(LineReader& r) {
  const auto whole_line = [&r] {
    return r.end > r.begin && std::memchr(r.buf + r.begin, '\n', r.end - r.begin) != nullptr;
  };
  for (;;) {
    if (r.at_end || whole_line()) return true;
    pollfd p{r.fd, POLLIN, 0};
    const int n = poll(&p, 1, 0);
    if (n < 0) {
      if (errno == EINTR) continue;
      return true;  // the read that follows meets the failure and ends the input
    }
    if (n == 0 || (p.revents & (POLLIN | POLLHUP | POLLERR | POLLNVAL)) == 0) return false;
    if (r.begin > 0) {
      std::memmove(r.buf, r.buf + r.begin, r.end - r.begin);
      r.end -= r.begin;
      r.begin = 0;
    }
    // A line longer than the buffer: the reader discards its rest as it comes.
    if (r.end == LineReader::kBufferSize) return true;
    const ssize_t got = read(r.fd, r.buf + r.end, LineReader::kBufferSize - r.end);
    if (got > 0) {
      r.end += static_cast<std::size_t>(got);
    } else if (got == 0 || (errno != EINTR && errno != EAGAIN)) {
      r.at_end = true;
    } else if (errno == EAGAIN) {
      return false;
    }
  }
}

bool read_line(LineReader& r, char* out, std::size_t cap) {
  std::size_t len = 0;
  bool any = false;        // a character or a line end was read
  bool cut = false;        // the line is longer than the room: discard the rest
  for (;;) {
    if (r.begin == r.end && !fill(r)) break;
    while (r.begin < r.end) {
      const char c = r.buf[r.begin++];
      any = true;
      if (c == '\n') {
        if (len > 0 && out[len - 1] == '\r' && !cut) --len;
        out[len] = '\0';
        return true;
      }
      if (len + 1 < cap) {
        out[len++] = c;
      } else {
        cut = true;
      }
    }
  }
  out[len] = '\0';
  return any;
}

bool read_line(std::string& line, std::size_t max_len) {
  std::vector<char> buf(max_len == 0 ? 1 : max_len);
  const bool ok = read_line(stdin_reader, buf.data(), buf.size());
  line.assign(buf.data());
  return ok;
}

// ---- standard output ----

namespace {

// Writes all bytes.  EINTR repeats, a full non-blocking descriptor is waited
// for in slices of wait_slice_ms up to max_wait_ms without progress (no
// limit when max_wait_ms is negative).  Returns false on an error.
bool write_all(int fd, const char* data, std::size_t len, int max_wait_ms) {
  int waited = 0;
  while (len > 0) {
    const ssize_t n = write(fd, data, len);
    if (n > 0) {
      data += n;
      len -= static_cast<std::size_t>(n);
      waited = 0;
      continue;
    }
    if (n < 0 && errno == EINTR) continue;
    if (n < 0 && (errno == EAGAIN || errno == EWOULDBLOCK)) {
      if (max_wait_ms >= 0 && waited >= max_wait_ms) return false;
      pollfd p{fd, POLLOUT, 0};
      const int r = poll(&p, 1, 50);
      if (r > 0 && (p.revents & (POLLERR | POLLHUP | POLLNVAL))) return false;
      waited += 50;
      continue;
    }
    return false;
  }
  return true;
}

}  // namespace

void write_stdout(const char* data, std::size_t len) { write_all(1, data, len, -1); }

// ---- processes and pipes ----

bool spawn_self(const char* argv0, const std::string* extra_args, int extra_count, ChildProcess& out,
                const int* passed, int pass_count) {
  ignore_broken_pipes();
  out = ChildProcess{};
  if (pass_count < 0 || pass_count > kMaxPassedFds || (pass_count > 0 && !passed)) return false;
  // Copies of the descriptors to hand on, numbered above the places they
  // take in the child, so that placing one cannot overwrite another.
  int moved[kMaxPassedFds];
  const int first_free = kFirstPassedFd + pass_count;
  for (int i = 0; i < pass_count; ++i) {
    moved[i] = fcntl(passed[i], F_DUPFD_CLOEXEC, first_free);
    if (moved[i] < 0) {
      for (int j = 0; j < i; ++j) close(moved[j]);
      return false;
    }
  }
  const auto close_moved = [&] {
    for (int i = 0; i < pass_count; ++i) close(moved[i]);
  };
  int fds[2];
  if (pipe2(fds, O_CLOEXEC) != 0) {
    close_moved();
    return false;
  }
  // Keep both ends off the standard descriptors, so that the child's
  // descriptor 0, 1 and 2 set-up cannot clash with them.
  for (int& fd : fds) {
    if (fd <= 2) {
      const int dup = fcntl(fd, F_DUPFD_CLOEXEC, 3);
      close(fd);
      fd = dup;
    }
  }
  if (fds[0] < 0 || fds[1] < 0) {
    if (fds[0] >= 0) close(fds[0]);
    if (fds[1] >= 0) close(fds[1]);
    close_moved();
    return false;
  }

  std::vector<char*> argv;
  argv.push_back(const_cast<char*>(argv0 ? argv0 : "orvex"));
  for (int i = 0; i < extra_count; ++i) argv.push_back(const_cast<char*>(extra_args[i].c_str()));
  argv.push_back(nullptr);

  posix_spawn_file_actions_t fa;
  posix_spawnattr_t attr;
  posix_spawn_file_actions_init(&fa);
  posix_spawnattr_init(&attr);
  posix_spawn_file_actions_adddup2(&fa, fds[0], 0);
  posix_spawn_file_actions_addopen(&fa, 1, "/dev/null", O_WRONLY, 0);
  posix_spawn_file_actions_adddup2(&fa, 1, 2);
  // The pipe's ends may sit where a handed-on descriptor goes: the read end
  // is already copied to 0 and the write end is not for the child.
  for (int i = 0; i < pass_count; ++i) posix_spawn_file_actions_adddup2(&fa, moved[i], kFirstPassedFd + i);
  posix_spawn_file_actions_addclosefrom_np(&fa, first_free);
  // The child starts with default signal handling and nothing blocked.
  sigset_t def, none;
  sigemptyset(&def);
  sigaddset(&def, SIGPIPE);
  sigemptyset(&none);
  posix_spawnattr_setsigdefault(&attr, &def);
  posix_spawnattr_setsigmask(&attr, &none);
  posix_spawnattr_setflags(&attr, POSIX_SPAWN_SETSIGDEF | POSIX_SPAWN_SETSIGMASK);

  pid_t pid = -1;
  const int rc = posix_spawn(&pid, "/proc/self/exe", &fa, &attr, argv.data(), environ);
  posix_spawn_file_actions_destroy(&fa);
  posix_spawnattr_destroy(&attr);
  close(fds[0]);
  close_moved();
  if (rc != 0) {
    close(fds[1]);
    return false;
  }
  // The master never waits long on a worker's pipe: see write_pipe.
  fcntl(fds[1], F_SETFL, fcntl(fds[1], F_GETFL) | O_NONBLOCK);
  out.pid = pid;
  out.stdin_fd = fds[1];
  return true;
}

bool write_pipe(int fd, const char* data, std::size_t len) {
  if (fd < 0) return false;
  return write_all(fd, data, len, 2000);
}

void close_fd(int fd) {
  if (fd >= 0) close(fd);
}

bool process_alive(int pid) {
  if (pid <= 0) return false;
  int status;
  for (;;) {
    const pid_t r = waitpid(pid, &status, WNOHANG);
    if (r == 0) return true;
    if (r < 0 && errno == EINTR) continue;
    return false;  // exited (now reaped) or not our child
  }
}

bool reap_process(int pid, std::uint32_t timeout_ms) {
  const std::uint32_t start = tick_count();
  for (;;) {
    if (!process_alive(pid)) return true;
    if (tick_count() - start >= timeout_ms) return false;
    sleep_ms(5);
  }
}

void kill_process(int pid) {
  if (pid > 0) kill(pid, SIGKILL);
}

bool pid_exists(std::uint32_t pid) {
  if (pid == 0) return false;
  return kill(static_cast<pid_t>(pid), 0) == 0 || errno == EPERM;
}

// ---- shared memory ----

namespace {

// The seals every object of create_shared carries: its size can no longer
// change, so a mapping of it can never reach past its end.
constexpr int kSizeSeals = F_SEAL_SHRINK | F_SEAL_GROW;

// Bytes of memory that could still be had: MemAvailable plus SwapFree of
// /proc/meminfo; the largest value when they cannot be read.
std::uint64_t memory_obtainable() {
  const int fd = open("/proc/meminfo", O_RDONLY | O_CLOEXEC);
  if (fd < 0) return UINT64_MAX;
  char buf[8192];
  const std::int64_t n = read_at(fd, buf, sizeof buf - 1, 0);
  close(fd);
  if (n <= 0) return UINT64_MAX;
  buf[n] = '\0';
  std::uint64_t total = 0;
  int found = 0;
  for (const char* key : {"MemAvailable:", "SwapFree:"}) {
    const char* at = std::strstr(buf, key);
    unsigned long long kb = 0;
    if (at && std::sscanf(at + std::strlen(key), "%llu", &kb) == 1) {
      total += static_cast<std::uint64_t>(kb) * 1024;
      ++found;
    }
  }
  return found == 2 ? total : UINT64_MAX;
}

bool map_fd(int fd, std::uint64_t size, SharedMapping& out) {
  void* p = mmap(nullptr, static_cast<std::size_t>(size), PROT_READ | PROT_WRITE, MAP_SHARED, fd, 0);
  if (p == MAP_FAILED) return false;
  out.data = p;
  out.size = size;
  return true;
}

}  // namespace

bool create_shared(const char* label, std::uint64_t size, SharedMapping& out) {
  out = SharedMapping{};
  if (size == 0 || size > static_cast<std::uint64_t>(INT64_MAX)) return false;
  // Unlike a file system, anonymous memory has no size of its own to run
  // out of: reserving more than the machine can give would not fail but
  // call in the kernel's out-of-memory killer, whose choice of victim need
  // not be this process.  Such a size fails here.
  if (size > memory_obtainable()) return false;
  const int fd = memfd_create(label && *label ? label : "shared", MFD_CLOEXEC | MFD_ALLOW_SEALING);
  if (fd < 0) return false;
  bool ok = ftruncate(fd, static_cast<off_t>(size)) == 0;
  // Reserve the memory now, so that an object too large for the machine
  // fails here instead of with a bus error on a later write.
  if (ok) {
    int rc;
    do rc = posix_fallocate(fd, 0, static_cast<off_t>(size));
    while (rc == EINTR);
    ok = rc == 0;
  }
  if (ok) ok = fcntl(fd, F_ADD_SEALS, kSizeSeals | F_SEAL_SEAL) == 0;
  if (ok) ok = map_fd(fd, size, out);
  if (!ok) {
    close(fd);  // the object and its reserved memory go with it
    return false;
  }
  out.fd = fd;
  return true;
}

bool map_inherited_shared(int fd, std::uint64_t size, SharedMapping& out) {
  out = SharedMapping{};
  if (fd < 0) return false;
  struct stat st;
  bool ok = size > 0 && fstat(fd, &st) == 0 && S_ISREG(st.st_mode) && st.st_size >= 0 &&
            static_cast<std::uint64_t>(st.st_size) >= size;
  if (ok) {
    const int seals = fcntl(fd, F_GET_SEALS);
    ok = seals >= 0 && (seals & kSizeSeals) == kSizeSeals;
  }
  if (ok) ok = map_fd(fd, size, out);
  close(fd);
  return ok;
}

void close_shared_fd(SharedMapping& m) {
  if (m.fd >= 0) close(m.fd);
  m.fd = -1;
}

void unmap_shared(SharedMapping& m) {
  if (m.data) munmap(m.data, static_cast<std::size_t>(m.size));
  close_shared_fd(m);
  m = SharedMapping{};
}

}  // namespace orvex::platform

namespace orvex::platform {

// ---- read-only files ----

int open_read_only(const char* path) {
  // Only regular files are opened: opening a FIFO for reading blocks until a
  // writer comes, and a device may act on being opened.  The kind is looked
  // at before the open, and the open itself does not block, so a name that
  // changes kind in between is refused by the check after it.
  struct stat st;
  if (stat(path, &st) != 0 || !S_ISREG(st.st_mode)) return -1;
  int fd;
  do {
    fd = open(path, O_RDONLY | O_CLOEXEC | O_NONBLOCK | O_NOCTTY);
  } while (fd < 0 && errno == EINTR);
  if (fd < 0) return -1;
  if (fstat(fd, &st) != 0 || !S_ISREG(st.st_mode)) {
    close(fd);
    return -1;
  }
  const int flags = fcntl(fd, F_GETFL);
  if (flags < 0 || fcntl(fd, F_SETFL, flags & ~O_NONBLOCK) != 0) {
    close(fd);
    return -1;
  }
  return fd;
}

std::int64_t read_at(int fd, void* buf, std::size_t len, std::uint64_t offset) {
  auto* out = static_cast<unsigned char*>(buf);
  std::size_t done = 0;
  while (done < len) {
    if (offset + done > static_cast<std::uint64_t>(INT64_MAX)) return -1;
    const ssize_t n = pread(fd, out + done, len - done, static_cast<off_t>(offset + done));
    if (n < 0) {
      if (errno == EINTR) continue;
      return -1;
    }
    if (n == 0) break;
    done += static_cast<std::size_t>(n);
  }
  return static_cast<std::int64_t>(done);
}

std::int64_t file_size(int fd) {
  struct stat st;
  if (fstat(fd, &st) != 0) return -1;
  return static_cast<std::int64_t>(st.st_size);
}

bool is_directory(const char* path) {
  struct stat st;
  return stat(path, &st) == 0 && S_ISDIR(st.st_mode);
}

}  // namespace orvex::platform
