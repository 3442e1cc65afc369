#include "larkspire/options.h"

#include <cstring>

#include "core/numbers.h"
#include "core/text.h"
#include "larkspire/entry.h"
#include "larkspire/search_io.h"
#include "search/host.h"
#include "search/pawns.h"

namespace orvex::larkspire {

EngineOptions engine_options;

namespace {

constexpr const char* kVersion = "2.2";

// The value of an option line: one character after the row's text; a line
// that ends with the text has an empty value (read as 0).
const char* value_after(const char* line, const char* text) {
  const char* value = line + std::strlen(text);
  return *value != '\0' ? value + 1 : value;
}

void on_hash(const char* value) {
  // Below 2 ignored; otherwise the largest power of two not above the value,
  // kept to the declared maximum so the table size cannot overflow.
  const u32 mb = hash_mb_from_option(read_leading_integer(value));
  if (mb == 0) return;
  engine_options.hash_mb = mb;
  if (process_team.is_master) setup_workers();
}

void on_max_cpus(const char* value) {
  const i64 v = read_leading_integer(value);
  if (v < 1 || v > kMaxProcesses) return;
  engine_options.max_cpus = static_cast<u32>(v);
  if (!process_team.is_master) return;
  const i64 processes = process_team.process_count;
  if (v < processes || (v > processes && process_team.cpu_count > processes)) setup_workers();
}

void on_multipv(const char* value, const char* line) {
  send_to_workers(line);
  const i64 v = read_leading_integer(value);
  engine_options.multipv = v >= 1 && v <= kMaxMultiPv ? static_cast<u32>(v) : 1;
  if (may_answer()) send_line("info displaying %d variations\n", static_cast<int>(engine_options.multipv));
}

}  // namespace

void send_identification() {
  if (!may_answer()) return;
  send_line("id name Orvex Larkspire %s mp\n", kVersion);
  send_line("id author Kestrin\n");
  send_line("option name Hash type spin min 2 max 4096 default 32\n");
  send_line("option name Max CPUs type spin min 1 max %d default %d\n", 2048, 2048);
  send_line("option name Clear Hash type button\n");
  send_line("option name Ponder type check default true\n");
  send_line("option name MultiPV type spin default 1 min 1 max %d\n", 100);
  send_line("uciok\n");
}

void clear_hashes(const char* line) {
  send_to_workers(line);
  clear_hash();
  clear_pawn_hash();
}

bool handle_option_line(const char* line) {
  // The rows in matching order, each with its two spellings.
  static const char* const kHash[] = {"setoption name Hash value", "setoption name hash value"};
  static const char* const kMaxCpus[] = {"setoption name Max CPUs value", "setoption name max cpus value"};
  static const char* const kClearHash[] = {"setoption name Clear Hash", "setoption name clear hash"};
  static const char* const kMultiPv[] = {"setoption name MultiPV value", "setoption name multipv value"};
  for (const char* text : kHash) {
    if (starts_with(line, text)) {
      on_hash(value_after(line, text));
      return true;
    }
  }
  for (const char* text : kMaxCpus) {
    if (starts_with(line, text)) {
      on_max_cpus(value_after(line, text));
      return true;
    }
  }
  for (const char* text : kClearHash) {
    if (starts_with(line, text)) {
      clear_hashes(line);
      return true;
    }
  }
  for (const char* text : kMultiPv) {
    if (starts_with(line, text)) {
      on_multipv(value_after(line, text), line);
      return true;
    }
  }
  return false;
}

}  // namespace orvex::larkspire
