#include "platform/platform.h"

#include <fcntl.h>
#include <sched.h>
#include <signal.h>
#include <sys/mman.h>
#include <sys/resource.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

#include <cstdlib>
#include <cstring>
#include <string>
#include <vector>

#include <gtest/gtest.h>

using namespace orvex::platform;

namespace {

// A line reader on the read end of a fresh pipe; the test writes the input.
struct PipeReader {
  int wfd = -1;
  LineReader* r = new LineReader;
  PipeReader() {
    int fds[2];
    if (pipe(fds) != 0) std::abort();
    r->fd = fds[0];
    wfd = fds[1];
  }
  ~PipeReader() {
    close(r->fd);
    if (wfd >= 0) close(wfd);
    delete r;
  }
  void put(const std::string& s) { ASSERT_EQ(write(wfd, s.data(), s.size()), static_cast<ssize_t>(s.size())); }
  void close_writer() {
    close(wfd);
    wfd = -1;
  }
};

std::vector<std::string> read_all(LineReader& r, std::size_t cap) {
  std::vector<std::string> lines;
  std::vector<char> buf(cap);
  while (read_line(r, buf.data(), cap)) lines.emplace_back(buf.data());
  return lines;
}

}  // namespace

TEST(Clock, MonotonicAndSleepAdvances) {
  const std::uint32_t a = tick_count();
  sleep_ms(30);
  const std::uint32_t b = tick_count();
  EXPECT_GE(b - a, 30u);
  EXPECT_LT(b - a, 5000u);
}

TEST(Processors, CountFollowsAffinityMask) {
  cpu_set_t set;
  ASSERT_EQ(sched_getaffinity(0, sizeof set, &set), 0);
  EXPECT_EQ(processor_count(), static_cast<std::uint32_t>(CPU_COUNT(&set)));
  // Restricted to one processor, the count is 1.
  cpu_set_t one;
  CPU_ZERO(&one);
  for (int c = 0; c < CPU_SETSIZE; ++c)
    if (CPU_ISSET(c, &set)) {
      CPU_SET(c, &one);
      break;
    }
  ASSERT_EQ(sched_setaffinity(0, sizeof one, &one), 0);
  EXPECT_EQ(processor_count(), 1u);
  sched_setaffinity(0, sizeof set, &set);
}

TEST(Priority, BelowNormalIsNiceFive) {
  set_below_normal_priority(true);
  errno = 0;
  EXPECT_EQ(getpriority(PRIO_PROCESS, 0), 5);
  set_below_normal_priority(false);  // may be refused without privilege: ignored
}

struct LineCase {
  const char* input;
  std::size_t cap;
  std::vector<std::string> lines;
};

TEST(LineReader, SplitsCutsAndEndsLines) {
  const std::vector<LineCase> cases = {
      {"", 16, {}},
      {"uci\nisready\n", 16, {"uci", "isready"}},
      {"uci\r\nisready\r\n", 16, {"uci", "isready"}},
      {"\n\r\n", 16, {"", ""}},
      {"a\rb\n", 16, {"a\rb"}},                     // a lone CR is kept
      {"last line", 16, {"last line"}},             // no line end before the end
      {"abcdefgh\nxyz\n", 5, {"abcd", "xyz"}},       // cut, the rest discarded
      {"abcd\r\nx\n", 5, {"abcd", "x"}},             // the cut falls on the CR
      {"abc\r\n", 5, {"abc"}},
      {"abcdefgh", 5, {"abcd"}},
  };
  for (const LineCase& c : cases) {
    PipeReader p;
    p.put(c.input);
    p.close_writer();
    EXPECT_EQ(read_all(*p.r, c.cap), c.lines) << "input: " << c.input;
  }
}

TEST(LineReader, LineLongerThanTheBufferIsCutAndTheNextLineSurvives) {
  PipeReader p;
  const std::string big(3 * LineReader::kBufferSize + 17, 'x');
  // Write from a child so that the pipe never blocks the test.
  const pid_t pid = fork();
  ASSERT_GE(pid, 0);
  if (pid == 0) {
    close(p.r->fd);
    const std::string all = big + "\ngo depth 3\n";
    std::size_t off = 0;
    while (off < all.size()) {
      const ssize_t n = write(p.wfd, all.data() + off, all.size() - off);
      if (n <= 0) _exit(1);
      off += static_cast<std::size_t>(n);
    }
    _exit(0);
  }
  p.close_writer();
  const auto lines = read_all(*p.r, 8192);
  ASSERT_EQ(lines.size(), 2u);
  EXPECT_EQ(lines[0], std::string(8191, 'x'));
  EXPECT_EQ(lines[1], "go depth 3");
  int status;
  waitpid(pid, &status, 0);
}

TEST(LineReader, InputWaitingSeesLinesDataAndHangUp) {
  PipeReader p;
  char buf[64];
  EXPECT_FALSE(input_waiting(*p.r));
  p.put("stop\npart");
  EXPECT_TRUE(input_waiting(*p.r));
  ASSERT_TRUE(read_line(*p.r, buf, sizeof buf));
  EXPECT_STREQ(buf, "stop");
  // Only a part of a line is buffered and the pipe is empty.
  EXPECT_FALSE(input_waiting(*p.r));
  p.put("ial\nisready\n");
  EXPECT_TRUE(input_waiting(*p.r));
  ASSERT_TRUE(read_line(*p.r, buf, sizeof buf));
  EXPECT_STREQ(buf, "partial");
  // A whole line is buffered: waiting without asking the descriptor.
  EXPECT_TRUE(input_waiting(*p.r));
  ASSERT_TRUE(read_line(*p.r, buf, sizeof buf));
  EXPECT_STREQ(buf, "isready");
  EXPECT_FALSE(input_waiting(*p.r));
  // A part of a line still in the pipe is taken in but is not a line yet: a
  // search that polls must not block on it.
  p.put("isr");
  EXPECT_FALSE(input_waiting(*p.r));
  EXPECT_FALSE(input_waiting(*p.r));
  p.put("eady");
  EXPECT_FALSE(input_waiting(*p.r));
  p.put("\n");
  EXPECT_TRUE(input_waiting(*p.r));
  ASSERT_TRUE(read_line(*p.r, buf, sizeof buf));
  EXPECT_STREQ(buf, "isready");
  // The end of input after a part of a line: that part is the last line.
  p.put("stop");
  EXPECT_FALSE(input_waiting(*p.r));
  p.close_writer();
  EXPECT_TRUE(input_waiting(*p.r));
  ASSERT_TRUE(read_line(*p.r, buf, sizeof buf));
  EXPECT_STREQ(buf, "stop");
  EXPECT_TRUE(input_waiting(*p.r));  // hang-up: the read meets the end
  EXPECT_FALSE(read_line(*p.r, buf, sizeof buf));
  EXPECT_TRUE(input_waiting(*p.r));
}

TEST(Pipes, WriteToAClosedPipeFailsWithoutASignal) {
  ignore_broken_pipes();
  int fds[2];
  ASSERT_EQ(pipe(fds), 0);
  close(fds[0]);
  EXPECT_FALSE(write_pipe(fds[1], "quit\n", 5));
  close(fds[1]);
  EXPECT_FALSE(write_pipe(-1, "x", 1));
}

TEST(Pipes, WriteToAPipeNobodyReadsGivesUp) {
  int fds[2];
  ASSERT_EQ(pipe2(fds, O_NONBLOCK), 0);
  const std::string chunk(1 << 20, 'a');  // more than a pipe holds
  const std::uint32_t start = tick_count();
  EXPECT_FALSE(write_pipe(fds[1], chunk.data(), chunk.size()));
  EXPECT_LT(tick_count() - start, 10000u);
  close(fds[0]);
  close(fds[1]);
}

// ---- shared memory ----

namespace {
// What a descriptor refers to, as /proc shows it.
std::string fd_target(int fd) {
  char buf[256];
  const ssize_t n = readlink(("/proc/self/fd/" + std::to_string(fd)).c_str(), buf, sizeof buf - 1);
  return n > 0 ? std::string(buf, static_cast<std::size_t>(n)) : std::string();
}
bool fd_open(int fd) { return fcntl(fd, F_GETFD) != -1; }
int count_open_fds() {
  int n = 0;
  for (int fd = 0; fd < 1024; ++fd) n += fd_open(fd);
  return n;
}
}  // namespace

// Only regular files open (a link to one too); a FIFO, with or without a
// writer, a directory and a device are refused at once, as a missing file.
TEST(ReadOnlyFiles, OnlyRegularFilesOpenAndNothingBlocks) {
  char tmpl[] = "/tmp/orvex-platform-XXXXXX";
  ASSERT_NE(mkdtemp(tmpl), nullptr);
  const std::string dir = tmpl;
  const std::string regular = dir + "/regular", fifo = dir + "/fifo", sub = dir + "/sub";
  const std::string to_regular = dir + "/to_regular", to_fifo = dir + "/to_fifo";
  {
    const int fd = open(regular.c_str(), O_CREAT | O_WRONLY, 0644);
    ASSERT_GE(fd, 0);
    ASSERT_EQ(write(fd, "table", 5), 5);
    close(fd);
  }
  ASSERT_EQ(mkfifo(fifo.c_str(), 0644), 0);
  ASSERT_EQ(mkdir(sub.c_str(), 0755), 0);
  ASSERT_EQ(symlink(regular.c_str(), to_regular.c_str()), 0);
  ASSERT_EQ(symlink(fifo.c_str(), to_fifo.c_str()), 0);
  // A FIFO with a writer waiting: a blocking open would succeed on it.
  const int writer = open(fifo.c_str(), O_RDWR | O_NONBLOCK);
  ASSERT_GE(writer, 0);
  alarm(20);  // a blocking open ends the test program instead of hanging it
  struct Case {
    std::string path;
    bool opens;
  } cases[] = {{regular, true}, {to_regular, true}, {dir + "/missing", false}, {sub, false},
               {fifo, false},   {to_fifo, false},   {"/dev/null", false}};
  for (const Case& c : cases) {
    const int fd = open_read_only(c.path.c_str());
    EXPECT_EQ(fd >= 0, c.opens) << c.path;
    if (fd < 0) continue;
    EXPECT_EQ(fcntl(fd, F_GETFL) & O_NONBLOCK, 0) << c.path;
    EXPECT_NE(fcntl(fd, F_GETFD) & FD_CLOEXEC, 0) << c.path;
    char buf[8] = {};
    EXPECT_EQ(read_at(fd, buf, sizeof buf, 1), 4) << c.path;
    EXPECT_STREQ(buf, "able");
    close_fd(fd);
  }
  close(writer);
  // The FIFO without a writer.
  EXPECT_LT(open_read_only(fifo.c_str()), 0);
  alarm(0);
  for (const std::string& p : {regular, fifo, to_regular, to_fifo}) unlink(p.c_str());
  rmdir(sub.c_str());
  rmdir(dir.c_str());
}

TEST(SharedMemory, AnonymousObjectIsZeroedSealedAndShared) {
  SharedMapping a, b, c;
  ASSERT_TRUE(create_shared("OrvexTest", 1 << 16, a));
  EXPECT_EQ(a.size, 1u << 16);
  // No name anywhere: the object is reached only through its descriptor,
  // which no exec'd program inherits unless it is handed on.
  ASSERT_GE(a.fd, 3);
  EXPECT_EQ(fd_target(a.fd).rfind("/memfd:OrvexTest", 0), 0u) << fd_target(a.fd);
  EXPECT_TRUE(fcntl(a.fd, F_GETFD) & FD_CLOEXEC);
  EXPECT_EQ(static_cast<volatile char*>(a.data)[0], 0);
  EXPECT_EQ(static_cast<volatile char*>(a.data)[(1 << 16) - 1], 0);
  // The size is sealed: nobody can cut the object under a mapping.
  EXPECT_NE(ftruncate(a.fd, 4096), 0);
  EXPECT_NE(ftruncate(a.fd, 1 << 20), 0);

  ASSERT_TRUE(map_inherited_shared(dup(a.fd), 1 << 16, b));
  EXPECT_EQ(b.fd, -1);  // taken over and closed
  static_cast<volatile char*>(a.data)[12345] = 42;
  EXPECT_EQ(static_cast<volatile char*>(b.data)[12345], 42);
  // Asking for more than the object holds fails instead of mapping past it,
  // and the descriptor is closed all the same.
  const int extra = dup(a.fd);
  EXPECT_FALSE(map_inherited_shared(extra, (1 << 16) + 1, c));
  EXPECT_EQ(c.data, nullptr);
  EXPECT_FALSE(fd_open(extra));

  // Without the descriptor the mappings stay valid.
  const int fd = a.fd;
  close_shared_fd(a);
  EXPECT_EQ(a.fd, -1);
  EXPECT_FALSE(fd_open(fd));
  static_cast<volatile char*>(b.data)[7] = 9;
  EXPECT_EQ(static_cast<volatile char*>(a.data)[7], 9);
  unmap_shared(a);
  unmap_shared(b);
  EXPECT_EQ(a.data, nullptr);
}

TEST(SharedMemory, DescriptorsOfOtherKindsAreRefused) {
  int fds[2];
  ASSERT_EQ(pipe(fds), 0);
  close(fds[1]);
  const int null_fd = open("/dev/null", O_RDWR);
  // A regular file of ample size, and an object without the size seals.
  const int file_fd = open("/proc/self/exe", O_RDONLY);
  const int unsealed = memfd_create("OrvexTestUnsealed", MFD_CLOEXEC);
  ASSERT_EQ(ftruncate(unsealed, 1 << 16), 0);
  struct Case {
    const char* what;
    int fd;
  } const cases[] = {{"none", -1}, {"pipe", fds[0]}, {"device", null_fd}, {"file", file_fd}, {"unsealed", unsealed}};
  for (const Case& c : cases) {
    SharedMapping m;
    EXPECT_FALSE(map_inherited_shared(c.fd, 4096, m)) << c.what;
    EXPECT_EQ(m.data, nullptr) << c.what;
    if (c.fd >= 0) {
      EXPECT_FALSE(fd_open(c.fd)) << c.what;
    }
  }
}

TEST(SharedMemory, OversizeFailsCleanlyAndLeavesNothing) {
  const int open_before = count_open_fds();
  SharedMapping m;
  EXPECT_FALSE(create_shared("OrvexTest", std::uint64_t{1} << 50, m));
  EXPECT_EQ(m.data, nullptr);
  EXPECT_EQ(m.fd, -1);
  EXPECT_FALSE(create_shared("OrvexTest", 0, m));
  EXPECT_EQ(count_open_fds(), open_before);
}

// ---- spawning ----
// The spawned copy of this test program runs ChildSide.ReportsItsSetUp,
// which records what it sees in a shared block and exits.  The block and a
// second object reach it as handed-on descriptors.

namespace {
struct ChildReport {
  int ran;
  int marker_ok;  // the second object arrived at its place
  int stdout_is_null;
  int stderr_is_null;
  int open_above_2;  // descriptors 3..1023 still open
  int sigpipe_default;
  char args[256];
  char lines[256];
};
constexpr const char* kChildEnv = "ORVEX_PLATFORM_CHILD";
constexpr const char kMarker[] = "second object";
}  // namespace

TEST(ChildSide, ReportsItsSetUp) {
  if (!std::getenv(kChildEnv)) GTEST_SKIP() << "runs only as a spawned child";
  // Handed on as {marker, report}: the marker at 3, the report at 4.
  SharedMapping m, marker;
  if (!map_inherited_shared(kFirstPassedFd + 1, sizeof(ChildReport), m)) _exit(3);
  ChildReport& rep = *static_cast<ChildReport*>(m.data);
  rep.marker_ok = map_inherited_shared(kFirstPassedFd, 4096, marker) &&
                  std::strcmp(static_cast<const char*>(marker.data), kMarker) == 0;
  struct stat null_st, st;
  stat("/dev/null", &null_st);
  rep.stdout_is_null = fstat(1, &st) == 0 && st.st_rdev == null_st.st_rdev && S_ISCHR(st.st_mode);
  rep.stderr_is_null = fstat(2, &st) == 0 && st.st_rdev == null_st.st_rdev && S_ISCHR(st.st_mode);
  // Both handed-on descriptors were closed after mapping; gtest may hold
  // none at this point either.
  int open_count = 0;
  for (int fd = 3; fd < 1024; ++fd)
    if (fcntl(fd, F_GETFD) != -1) ++open_count;
  rep.open_above_2 = open_count;
  struct sigaction sa;
  sigaction(SIGPIPE, nullptr, &sa);
  rep.sigpipe_default = sa.sa_handler == SIG_DFL;
  std::string lines;
  char buf[64];
  while (read_line(buf, sizeof buf)) lines += std::string(buf) + "|";
  std::strncpy(rep.lines, lines.c_str(), sizeof rep.lines - 1);
  rep.ran = 1;
  unmap_shared(marker);
  unmap_shared(m);
  _exit(0);
}

TEST(Spawn, ChildGetsPipeOnStdinNullOutputsAndOnlyTheHandedOnDescriptors) {
  SharedMapping m, marker;
  ASSERT_TRUE(create_shared("OrvexTestReport", sizeof(ChildReport), m));
  ASSERT_TRUE(create_shared("OrvexTestMarker", 4096, marker));
  std::strcpy(static_cast<char*>(marker.data), kMarker);
  setenv(kChildEnv, "1", 1);
  // A descriptor the child must not inherit although it lacks close-on-exec.
  const int leaked = open("/dev/null", O_RDONLY);
  ASSERT_GE(leaked, 3);
  signal(SIGPIPE, SIG_IGN);
  const std::string args[] = {"--gtest_filter=ChildSide.ReportsItsSetUp", "32", "0", "2", "4660", "1"};
  // In the opposite order of their numbers here (typically 3 and 4), so that
  // placing one at its new number would overwrite the other.
  const int passed[2] = {marker.fd, m.fd};
  ChildProcess child;
  ASSERT_TRUE(spawn_self("orvex", args, 6, child, passed, 2));
  unsetenv(kChildEnv);
  close(leaked);
  EXPECT_GT(child.pid, 0);
  EXPECT_GE(child.stdin_fd, 3);
  EXPECT_TRUE(fd_open(m.fd));  // the caller's descriptors stay its own
  EXPECT_TRUE(write_pipe(child.stdin_fd, "position startpos\r\ngo infinite\n", 31));
  close_fd(child.stdin_fd);  // end of input: the child finishes
  EXPECT_TRUE(reap_process(child.pid, 20000));
  EXPECT_FALSE(process_alive(child.pid));
  const ChildReport& rep = *static_cast<ChildReport*>(m.data);
  EXPECT_EQ(rep.ran, 1);
  EXPECT_EQ(rep.marker_ok, 1);
  EXPECT_EQ(rep.stdout_is_null, 1);
  EXPECT_EQ(rep.stderr_is_null, 1);
  EXPECT_EQ(rep.open_above_2, 0);
  EXPECT_EQ(rep.sigpipe_default, 1);
  EXPECT_STREQ(rep.lines, "position startpos|go infinite|");
  unmap_shared(marker);
  unmap_shared(m);
}

TEST(Spawn, TooManyDescriptorsToHandOnIsRefused) {
  const int fds[kMaxPassedFds + 1] = {};
  ChildProcess child;
  EXPECT_FALSE(spawn_self("orvex", nullptr, 0, child, fds, kMaxPassedFds + 1));
  EXPECT_EQ(child.pid, -1);
}
