#include "core/process_role.h"

#include <cstring>

#include "core/numbers.h"

namespace orvex {

namespace {

bool ends_with(const char* text, std::size_t length, const char* suffix) {
  const std::size_t n = std::strlen(suffix);
  return length >= n && std::memcmp(text + length - n, suffix, n) == 0;
}

bool is_quote_or_blank(char c) { return c == '\'' || c == '"' || c == ' '; }

bool is_program_argument(const char* arg) {
  const std::size_t n = std::strlen(arg);
  if (ends_with(arg, n, ".exe")) return true;
  if (n >= 5 && is_quote_or_blank(arg[n - 1]) && ends_with(arg, n - 1, ".exe")) return true;
  return n >= 6 && arg[n - 1] == ' ' && is_quote_or_blank(arg[n - 2]) && ends_with(arg, n - 2, ".exe");
}

u32 read_u32(const char* text) {
  const i64 v = read_leading_integer(text);
  return v < 0 ? 0 : v > 0xFFFFFFFFll ? 0xFFFFFFFFu : static_cast<u32>(v);
}

}  // namespace

int program_argument_index(int argc, const char* const* argv) {
  for (int i = 0; i < argc; ++i)
    if (argv[i] != nullptr && is_program_argument(argv[i])) return i;
  return 0;
}

ProcessRole read_process_role(int argc, const char* const* argv) {
  ProcessRole role;
  const int k = program_argument_index(argc, argv);
  if (argc - k - 1 < 5) return role;
  role.worker = true;
  role.hash_mb = read_u32(argv[k + 1]);
  role.generation = read_u32(argv[k + 2]);
  role.process_count = read_leading_i32(argv[k + 3]);
  role.master_pid = read_u32(argv[k + 4]);
  role.worker_index = read_leading_i32(argv[k + 5]);
  return role;
}

}  // namespace orvex
