#include "engine_process.h"

#include <dirent.h>
#include <fcntl.h>
#include <poll.h>
#include <signal.h>
#include <spawn.h>
#include <sys/wait.h>
#include <time.h>
#include <unistd.h>

#include <algorithm>
#include <cctype>
#include <cerrno>
#include <cstdio>
#include <cstring>
#include <fstream>
#include <sstream>

#include "core/position_command.h"
#include "position/move_text.h"

extern char** environ;

namespace orvex::e2e {

namespace {

long long now_ms() {
  timespec ts;
  clock_gettime(CLOCK_MONOTONIC, &ts);
  return ts.tv_sec * 1000LL + ts.tv_nsec / 1000000;
}

}  // namespace

EngineProcess::EngineProcess(std::vector<std::string> args, const char* program) {
  signal(SIGPIPE, SIG_IGN);
  int to_engine[2], from_engine[2];
  if (pipe2(to_engine, O_CLOEXEC) != 0) return;
  if (pipe2(from_engine, O_CLOEXEC) != 0) {
    close(to_engine[0]);
    close(to_engine[1]);
    return;
  }
  posix_spawn_file_actions_t actions;
  posix_spawn_file_actions_init(&actions);
  posix_spawn_file_actions_adddup2(&actions, to_engine[0], 0);
  posix_spawn_file_actions_adddup2(&actions, from_engine[1], 1);
  std::vector<char*> argv;
  std::string name = program;
  argv.push_back(name.data());
  for (std::string& a : args) argv.push_back(a.data());
  argv.push_back(nullptr);
  pid_t pid;
  if (posix_spawn(&pid, program, &actions, nullptr, argv.data(), environ) == 0) pid_ = pid;
  posix_spawn_file_actions_destroy(&actions);
  close(to_engine[0]);
  close(from_engine[1]);
  in_fd_ = to_engine[1];
  out_fd_ = from_engine[0];
}

EngineProcess::~EngineProcess() {
  if (pid_ > 0 && exit_code_ == -2) {
    kill_now();
  }
  if (in_fd_ >= 0) close(in_fd_);
  if (out_fd_ >= 0) close(out_fd_);
}

bool EngineProcess::send(const std::string& text, bool raw) {
  if (in_fd_ < 0) return false;
  std::string data = raw ? text : text + "\n";
  std::size_t done = 0;
  while (done < data.size()) {
    const ssize_t n = write(in_fd_, data.data() + done, data.size() - done);
    if (n < 0 && errno == EINTR) continue;
    if (n <= 0) return false;
    done += static_cast<std::size_t>(n);
  }
  return true;
}

void EngineProcess::close_input() {
  if (in_fd_ >= 0) close(in_fd_);
  in_fd_ = -1;
}

std::optional<std::string> EngineProcess::read_line(int timeout_ms) {
  const long long deadline = now_ms() + timeout_ms;
  for (;;) {
    const std::size_t nl = buffer_.find('\n');
    if (nl != std::string::npos) {
      std::string line = buffer_.substr(0, nl);
      buffer_.erase(0, nl + 1);
      return line;
    }
    if (output_ended_) return std::nullopt;
    const long long left = deadline - now_ms();
    if (left <= 0) return std::nullopt;
    pollfd p{out_fd_, POLLIN, 0};
    const int r = poll(&p, 1, static_cast<int>(left));
    if (r < 0 && errno == EINTR) continue;
    if (r <= 0) return std::nullopt;
    char chunk[4096];
    const ssize_t n = read(out_fd_, chunk, sizeof chunk);
    if (n < 0 && errno == EINTR) continue;
    if (n <= 0) {
      output_ended_ = true;
      continue;
    }
    buffer_.append(chunk, static_cast<std::size_t>(n));
  }
}

std::vector<std::string> EngineProcess::read_until(const std::string& last, int timeout_ms) {
  const long long deadline = now_ms() + timeout_ms;
  std::vector<std::string> lines;
  for (;;) {
    const long long left = deadline - now_ms();
    auto line = read_line(left > 0 ? static_cast<int>(left) : 0);
    if (!line) return {};
    lines.push_back(*line);
    if (*line == last) return lines;
  }
}

std::optional<std::vector<std::string>> EngineProcess::sync(int timeout_ms) {
  if (!send("isready")) return std::nullopt;
  std::vector<std::string> lines = read_until("readyok", timeout_ms);
  if (lines.empty()) return std::nullopt;
  lines.pop_back();
  return lines;
}

bool EngineProcess::silent_for(int ms) {
  if (!buffer_.empty()) return false;
  return !read_line(ms).has_value();
}

int EngineProcess::wait_exit(int timeout_ms) {
  if (exit_code_ != -2) return exit_code_;
  const long long deadline = now_ms() + timeout_ms;
  for (;;) {
    int status = 0;
    const pid_t r = waitpid(pid_, &status, WNOHANG);
    if (r == pid_) {
      exit_code_ = WIFEXITED(status) ? WEXITSTATUS(status) : -1;
      return exit_code_;
    }
    if (r < 0) return -1;
    if (now_ms() >= deadline) return -1;
    usleep(10000);
  }
}

void EngineProcess::kill_now() {
  if (pid_ <= 0 || exit_code_ != -2) return;
  ::kill(pid_, SIGKILL);
  int status = 0;
  waitpid(pid_, &status, 0);
  exit_code_ = -1;
}

std::vector<pid_t> child_processes(pid_t parent) {
  std::vector<pid_t> children;
  DIR* proc = opendir("/proc");
  if (!proc) return children;
  while (dirent* e = readdir(proc)) {
    char* end = nullptr;
    const long pid = std::strtol(e->d_name, &end, 10);
    if (pid <= 0 || *end != '\0') continue;
    std::ifstream stat("/proc/" + std::string(e->d_name) + "/stat");
    std::string text;
    std::getline(stat, text);
    // Fields after the command name in parentheses: state, parent id.
    const std::size_t close_paren = text.rfind(')');
    if (close_paren == std::string::npos) continue;
    std::istringstream rest(text.substr(close_paren + 1));
    char state = 0;
    long ppid = 0;
    rest >> state >> ppid;
    if (ppid == parent && state != 'Z') children.push_back(static_cast<pid_t>(pid));
  }
  closedir(proc);
  return children;
}

bool process_running(pid_t pid) {
  std::ifstream stat("/proc/" + std::to_string(pid) + "/stat");
  std::string text;
  if (!std::getline(stat, text)) return false;
  const std::size_t close_paren = text.rfind(')');
  if (close_paren == std::string::npos || close_paren + 2 >= text.size()) return false;
  return text[close_paren + 2] != 'Z';
}

std::vector<std::string> shared_memory_names(pid_t master) {
  std::vector<std::string> names;
  DIR* shm = opendir("/dev/shm");
  if (!shm) return names;
  const std::string id = std::to_string(master);
  const auto is_digit = [](char c) { return std::isdigit(static_cast<unsigned char>(c)) != 0; };
  while (dirent* e = readdir(shm)) {
    const std::string name = e->d_name;
    for (const std::string base : {"OrvexSync", "OrvexEx"}) {
      if (name.rfind(base, 0) != 0 || name.size() <= base.size() + id.size()) continue;
      const std::string numbers = name.substr(base.size());
      if (numbers.compare(numbers.size() - id.size(), id.size(), id) == 0 &&
          std::all_of(numbers.begin(), numbers.end(), is_digit))
        names.push_back(name);
    }
  }
  closedir(shm);
  return names;
}

void set_position(const std::string& line) {
  std::vector<char> text(line.begin(), line.end());
  text.push_back('\0');
  handle_position(text.data());
}

bool legal_in(const std::string& position_line, const std::string& move) {
  if (move.size() < 4 || move.size() > 5) return false;
  set_position(position_line);
  return is_legal_uci_move(parse_uci_move(move.c_str()));
}

}  // namespace orvex::e2e
