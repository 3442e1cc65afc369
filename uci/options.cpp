#include "uci/options.h"

#include <cstring>

#include "core/numbers.h"
#include "core/text.h"
#include "core/worker_team.h"
#include "platform/platform.h"
#include "search/host.h"
#include "search/limits.h"
#include "search/tt.h"
#include "tablebases/cache.h"
#include "tablebases/probe.h"
#include "tablebases/registry.h"
#include "uci/front_end_status.h"
#include "uci/interpreter.h"

namespace orvex {

EngineOptions engine_options;

namespace {

constexpr const char* kEngineAboutAddress = "https://orvex.example.org/";

// One literal of an option row and the choice it stands for (the index of
// the value for check and combo rows; unused for rows that read a value).
struct OptionLiteral {
  const char* text;
  int choice;
  bool master_only = false;
};

using OptionHandler = void (*)(int choice, const char* value, const char* line);

struct OptionRow {
  OptionLiteral literals[8];
  int literal_count;
  OptionHandler handle;
};

void acknowledge(const char* text) {
  if (may_answer()) send_line("%s", text);
}

void on_hash(int, const char* value, const char*) {
  // Values above the declared maximum are taken as the maximum.
  const u32 mb = hash_mb_from_option(read_leading_integer(value));
  if (mb == 0) return;
  engine_options.hash_mb = mb;
  if (process_team.is_master) rebuild_worker_team();
}

void on_max_cpus(int, const char* value, const char*) {
  const i64 v = read_leading_integer(value);
  if (v < 1 || v > kMaxCpusLimit) return;
  engine_options.max_cpus = static_cast<u32>(v);
  if (!process_team.is_master) return;
  const i64 processes = process_team.process_count;
  if (v < processes || (v > processes && process_team.cpu_count > processes)) rebuild_worker_team();
}

void on_preserve_analysis(int choice, const char*, const char* line) {
  send_to_workers(line);
  search_settings.preserve_analysis = choice;
  tt_preserve_analysis = choice;
  acknowledge(choice ? "info setting preserve analysis to true\n" : "info setting preserve analysis to false\n");
}

void on_display_draw_scores(int choice, const char*, const char*) {
  search_settings.display_draw_scores = choice;
  acknowledge(choice ? "info setting display draw scores to true\n" : "info setting display draw scores to false\n");
}

void on_output(int choice, const char*, const char*) {
  static const char* const kAcks[] = {"info setting output to verbose\n", "info setting output to normal\n",
                                      "info setting output to sparse\n"};
  search_settings.output_mode = choice;
  acknowledge(kAcks[choice]);
}

void on_engine_priority(int choice, const char*, const char*) {
  acknowledge(choice == kPriorityNormalAndLow ? "info setting engine priority to normalandlow\n"
              : choice == kPriorityNormal     ? "info setting engine priority to normal\n"
                                              : "info setting engine priority to low\n");
  engine_options.engine_priority = choice;
  platform::set_below_normal_priority(choice == kPriorityLow);
  set_worker_priority(choice != kPriorityNormal);
}

void on_io_supplementation(int choice, const char*, const char*) {
  engine_options.io_supplementation = choice;
  acknowledge(choice ? "info io supplementation set to true\n" : "info io supplementation set to false\n");
}

void on_compensate_lost_time(int choice, const char*, const char*) {
  engine_options.compensate_lost_time = choice;
  // The second text is the engine's own spelling; interfaces may rely on it.
  acknowledge(choice ? "info lost time compensation set to true\n" : "info lost time compensationto set to false\n");
}

// Registers the tables of the new directory list, then empties the block
// cache, whose blocks belong to the old registration.  Without a cache (a
// worker) no table is probed.
void on_tb_path(int, const char* value, const char*) {
  copy_text(engine_options.tb_path, sizeof engine_options.tb_path, value);
  engine_options.tb_max_men = init_tablebases(engine_options.tb_path);
  if (engine_options.tb_max_men != 0) {
    if (tb_cache_buffer) init_tb_cache(tb_cache_buffer, tb_cache_bytes);
    else engine_options.tb_max_men = 0;
  }
}

void on_tb_cache(int, const char* value, const char*) {
  i64 mb = read_leading_integer(value);
  if (mb < kMinTbCacheMb) mb = kMinTbCacheMb;
  if (mb > kMaxTbCacheMb) mb = kMaxTbCacheMb;
  engine_options.tb_cache_bytes = static_cast<u32>(mb) << 20;
  set_tb_cache_size(static_cast<u32>(mb));
}

void on_tb_usage(int choice, const char*, const char*) {
  static const i32 kDepth[] = {4, 8, 14, 512};
  static const char* const kAcks[] = {
      "info setting nalimov usage to frequently\n", "info setting nalimov usage to normally\n",
      "info setting nalimov usage to rarely\n", "info setting nalimov usage to never\n"};
  engine_options.tb_never = choice == 3;
  search_settings.tb_probe_depth = kDepth[choice];
  acknowledge(kAcks[choice]);
}

void on_clear_hash(int, const char*, const char* line) { clear_hash_and_game_history(line); }

void on_multipv(int, const char* value, const char* line) {
  send_to_workers(line);
  const i64 v = read_leading_integer(value);
  search_settings.multipv = (v >= 1 && v <= kMaxMultiPv) ? static_cast<u32>(v) : 1;
  search_settings.worker_multipv = search_settings.multipv;
  if (may_answer()) send_line("info displaying %d variations\n", static_cast<int>(search_settings.multipv));
}

void on_show_currline(int choice, const char*, const char*) {
  search_settings.show_currline = choice;
  acknowledge(choice ? "info UCI_ShowCurrLine set to true\n" : "info UCI_ShowCurrLine set to false\n");
}

void on_show_refutations(int choice, const char*, const char*) {
  search_settings.show_refutations = choice;
  acknowledge(choice ? "info UCI_ShowRefutations set to true\n" : "info UCI_ShowRefutations set to false\n");
}

void on_limit_strength(int choice, const char*, const char*) {
  engine_options.limit_strength = choice;
  acknowledge(choice ? "info UCI_LimitStrength set to true\n" : "info UCI_LimitStrength set to false\n");
}

void on_elo(int, const char* value, const char*) {
  engine_options.elo = read_leading_i32(value);
  if (may_answer()) send_line("info UCI_Elo set to %d\n", engine_options.elo);
}

void on_server_buffer(int choice, const char*, const char*) {
  engine_options.server_buffer = choice;
  acknowledge(choice ? "info Server Buffer set to true\n" : "info Server Buffer set to false\n");
}

void on_analyse_mode(int choice, const char*, const char*) {
  engine_options.analyse_mode = choice;
  acknowledge(choice ? "info UCI_AnalyseMode set to true\n" : "info UCI_AnalyseMode set to false\n");
}

void on_opponent(int, const char* value, const char*) {
  copy_text(engine_options.opponent, sizeof engine_options.opponent, value);
  if (may_answer()) send_line("info UCI_Opponent set to %s\n", engine_options.opponent);
}

void on_contempt(int, const char* value, const char* line) {
  // Contempt is a score the searches return for repetitions: it is kept to
  // the declared range so it can never reach the mate scores or overflow.
  i32 v = read_leading_i32(value);
  if (v < kMinContempt) v = kMinContempt;
  if (v > kMaxContempt) v = kMaxContempt;
  engine_options.contempt = v;
  send_to_workers(line);
  for (i32& copy : search_settings.contempt_copies) copy = v;
  if (may_answer()) send_line("info contempt set to %d centipawns\n", v);
}

void on_outlook(int choice, const char*, const char* line) {
  static const char* const kAcks[] = {
      "info setting outlook to very pessimistic\n", "info setting outlook to slightly pessimistic\n",
      "info setting outlook to neutral\n",          "info setting outlook to slightly optimistic\n",
      "info setting outlook to very optimistic\n",  "info setting outlook to ultra optimistic\n"};
  send_to_workers(line);
  search_settings.outlook = choice;
  acknowledge(kAcks[choice]);
}

void on_rate_of_play(int choice, const char*, const char*) {
  static const char* const kAcks[] = {
      "info setting rate of play to ultraslow\n", "info setting rate of play to slow\n",
      "info setting rate of play to normal\n", "info setting rate of play to fast\n",
      "info setting rate of play to ultrafast\n"};
  engine_options.rate_of_play = choice;
  acknowledge(kAcks[choice]);
}

void on_time_usage(int choice, const char*, const char*) {
  search_settings.time_usage = choice;
  acknowledge(choice == kTimeUsageConstant ? "info setting time usage to constant\n"
                                           : "info setting time usage style to varied\n");
}

void on_emergency_buffer(int choice, const char*, const char*) {
  static const char* const kAcks[] = {"info setting emergency time buffer to small\n",
                                      "info setting emergency time buffer to medium\n",
                                      "info setting emergency time buffer to large\n"};
  engine_options.emergency_buffer = choice;
  acknowledge(kAcks[choice]);
}

#define SO "setoption name "

// The rows in matching order; within a row the literals in matching order
// (a literal that is a prefix of another comes after it).
const OptionRow kOptionRows[] = {
    {{{SO "Hash value", 0}, {SO "hash value", 0}}, 2, on_hash},
    {{{SO "Max CPUs value", 0}, {SO "max cpus value", 0}}, 2, on_max_cpus},
    {{{SO "Preserve Analysis value true", 1},
      {SO "preserve analysis value true", 1},
      {SO "Preserve Analysis value false", 0},
      {SO "preserve analysis value false", 0}},
     4, on_preserve_analysis},
    {{{SO "Display Draw Scores value true", 1},
      {SO "display draw scores value true", 1},
      {SO "Display Draw Scores value false", 0},
      {SO "display draw scores value false", 0}},
     4, on_display_draw_scores},
    {{{SO "Output value Verbose", 0},
      {SO "output value verbose", 0},
      {SO "Output value Normal", 1},
      {SO "output value normal", 1},
      {SO "Output value Sparse", 2},
      {SO "output value sparse", 2}},
     6, on_output},
    {{{SO "Engine Priority value NormalAndLow", kPriorityNormalAndLow},
      {SO "engine priority value normalandlow", kPriorityNormalAndLow},
      {SO "Engine Priority value Normal", kPriorityNormal},
      {SO "engine priority value normal", kPriorityNormal},
      {SO "Engine Priority value Low", kPriorityLow},
      {SO "engine priority value low", kPriorityLow}},
     6, on_engine_priority},
    {{{SO "IO Supplementation value true", 1}, {SO "IO Supplementation value false", 0}}, 2, on_io_supplementation},
    {{{SO "Compensate Lost Time value true", 1}, {SO "Compensate Lost Time value false", 0}},
     2, on_compensate_lost_time},
    {{{SO "NalimovPath value", 0, true}, {SO "nalimovpath value", 0}}, 2, on_tb_path},
    {{{SO "NalimovCache value", 0, true}, {SO "nalimovcache value", 0}}, 2, on_tb_cache},
    {{{SO "NalimovUsage value Frequently", 0},
      {SO "nalimovusage value frequently", 0},
      {SO "NalimovUsage value Normally", 1},
      {SO "nalimovusage value normally", 1},
      {SO "NalimovUsage value Rarely", 2},
      {SO "nalimovusage value rarely", 2},
      {SO "NalimovUsage value Never", 3},
      {SO "nalimovusage value never", 3}},
     8, on_tb_usage},
    {{{SO "Clear Hash", 0}, {SO "clear hash", 0}}, 2, on_clear_hash},
    {{{SO "MultiPV value", 0}, {SO "multipv value", 0}}, 2, on_multipv},
    {{{SO "UCI_ShowCurrLine value false", 0}, {SO "UCI_ShowCurrLine value true", 1}}, 2, on_show_currline},
    {{{SO "UCI_ShowRefutations value false", 0}, {SO "UCI_ShowRefutations value true", 1}}, 2, on_show_refutations},
    {{{SO "UCI_LimitStrength value false", 0}, {SO "UCI_LimitStrength value true", 1}}, 2, on_limit_strength},
    {{{SO "UCI_Elo value", 0}}, 1, on_elo},
    {{{SO "Server Buffer value false", 0}, {SO "Server Buffer value true", 1}}, 2, on_server_buffer},
    {{{SO "UCI_AnalyseMode value false", 0}, {SO "UCI_AnalyseMode value true", 1}}, 2, on_analyse_mode},
    {{{SO "UCI_Opponent value", 0}}, 1, on_opponent},
    {{{SO "Contempt value", 0}}, 1, on_contempt},
    {{{SO "Outlook value Very Pessimistic", 0},
      {SO "Outlook value Slightly Pessimistic", 1},
      {SO "Outlook value Neutral", 2},
      {SO "Outlook value Slightly Optimistic", 3},
      {SO "Outlook value Very Optimistic", 4},
      {SO "Outlook value Ultra Optimistic", 5}},
     6, on_outlook},
    {{{SO "Rate Of Play value Ultraslow", 0},
      {SO "Rate Of Play value Slow", 1},
      {SO "Rate Of Play value Normal", 2},
      {SO "Rate Of Play value Fast", 3},
      {SO "Rate Of Play value Ultrafast", 4}},
     5, on_rate_of_play},
    {{{SO "Time Usage value Constant", 0}, {SO "Time Usage value Varied", 1}}, 2, on_time_usage},
    {{{SO "Emergency Time Buffer value Small", 0},
      {SO "Emergency Time Buffer value Medium", 1},
      {SO "Emergency Time Buffer value Large", 2}},
     3, on_emergency_buffer},
};

#undef SO

}  // namespace

void rebuild_worker_team() {
  EngineOptions& o = engine_options;
  TeamConfig cfg;
  cfg.hash_mb = o.hash_mb;
  cfg.max_cpus = o.max_cpus;
  cfg.workers_below_normal = o.engine_priority != kPriorityNormal;
  const SearchSettings& s = search_settings;
  cfg.replay = main_engine_replay(s.multipv, o.contempt, s.outlook, s.preserve_analysis);
  o.hash_mb = setup_workers(cfg);
}

void send_option_declarations() {
  send_line("option name Hash type spin min 2 max 4096 default 32\n");
  send_line("option name Max CPUs type spin min 1 max %d default %d\n", 2048, 2048);
  send_line("option name Display Draw Scores type check default false\n");
  send_line("option name Output type combo default %s var Verbose var Normal var Sparse\n", "Verbose");
  send_line("option name Engine Priority type combo default NormalAndLow var Normal var NormalAndLow var Low\n");
  send_line("option name IO Supplementation type check default false\n");
  send_line("option name Compensate Lost Time type check default true\n");
  send_line("option name NalimovPath type string default <empty>\n");
  send_line("option name NalimovCache type spin min 1 max 256 default 1\n");
  send_line("option name NalimovUsage type combo default Never var Frequently var Normally var Rarely var Never\n");
  send_line("option name Preserve Analysis type check default false\n");
  send_line("option name Clear Hash type button\n");
  send_line("option name Ponder type check default true\n");
  send_line("option name MultiPV type spin default 1 min 1 max %d\n", 100);
  send_line("option name UCI_ShowCurrLine type check default false\n");
  send_line("option name UCI_ShowRefutations type check default false\n");
  send_line("option name UCI_LimitStrength type check default false\n");
  send_line("option name UCI_Elo type spin default %d min 1200 max 2400 \n", 1200);
  send_line("option name Server Buffer type check default false\n");
  send_line("option name UCI_AnalyseMode type check default false\n");
  send_line("option name UCI_Opponent type string default <empty>\n");
  send_line("option name UCI_EngineAbout type string default %s\n", kEngineAboutAddress);
  send_line("option name Contempt type spin default 0 min -100 max 100\n");
  send_line(
      "option name Outlook type combo default Neutral var Very Pessimistic var Slightly Pessimistic var Neutral "
      "var Slightly Optimistic var Very Optimistic var Ultra Optimistic\n");
  send_line("option name Rate Of Play type combo default Normal var Ultraslow var Slow var Normal var Fast var Ultrafast\n");
  send_line("option name Time Usage type combo default Varied var Constant var Varied\n");
  send_line("option name Emergency Time Buffer type combo default Medium var Small var Medium var Large\n");
}

bool handle_option_line(const char* line) {
  for (const OptionRow& row : kOptionRows) {
    for (int i = 0; i < row.literal_count; ++i) {
      const OptionLiteral& lit = row.literals[i];
      if (lit.master_only && !process_team.is_master) continue;
      if (!starts_with(line, lit.text)) continue;
      // The value starts one character after the literal; a line that ends
      // with the literal has an empty value.
      const char* value = line + std::strlen(lit.text);
      if (*value != '\0') ++value;
      row.handle(lit.choice, value, line);
      return true;
    }
  }
  return false;
}

}  // namespace orvex
