// orvex-tbcheck TABLE_DIR GAVIOTA_DIR [ENGINE]: reads every legal position of
// the five three-man classes from the tables in TABLE_DIR through the
// engine's own registry, cache and index functions, and compares result and
// distance to mate with the Gaviota tables of GAVIOTA_DIR (an outside truth
// of another format: it counts plies, the engine's tables count moves).
//
// With ENGINE, it then plays random positions of every class, with the man on
// either colour and either side to move, through that program's pipes
// ("go depth 4" with NalimovPath TABLE_DIR, NalimovUsage Frequently, one
// process): the score shown last must be the Gaviota mate distance ("score
// mate N", negative when the side to move is mated) or, for a draw,
// "score cp 0" (a few centipawns when the line takes the man and reaches
// bare kings, which the evaluation scores).
#include <gtb-probe.h>

#include <algorithm>
#include <cstdio>
#include <cstdlib>
#include <optional>
#include <random>
#include <sstream>
#include <string>
#include <vector>

#include "position/fen.h"
#include "position/move_text.h"
#include "tablebases/cache.h"
#include "tablebases/registry.h"
#include "tablebases/tb_types.h"
#include "tests/e2e/engine_process.h"
#include "tests/squares.h"
#include "tools/tbgen/solver.h"
#include "tools/tbgen/tables.h"

using namespace orvex;
using namespace orvex::tbgen;

namespace {

// A result as (kind, moves): kind 0 draw, 1 the side to move wins, 2 it
// loses; -1 no value.
struct Verdict {
  int kind;
  u32 moves;
  bool operator==(const Verdict&) const = default;
};

Verdict from_engine(i32 v) {
  if (v == kTbUnknown) return {-1, 0};
  if (v == 0) return {0, 0};
  if (v > 0) return {1, static_cast<u32>(32767 - v)};
  return {2, static_cast<u32>(v + 32766)};
}

Verdict from_gaviota(bool ok, unsigned info, unsigned plies, u32 stm) {
  if (!ok) return {-1, 0};
  if (info == tb_DRAW) return {0, 0};
  const bool white_mates = info == tb_WMATE;
  if (!white_mates && info != tb_BMATE) return {-1, 0};
  const bool stm_wins = white_mates == (stm == 0);
  return stm_wins ? Verdict{1, (plies + 1) / 2} : Verdict{2, plies / 2};
}

constexpr unsigned char kGaviotaPiece[] = {tb_QUEEN, tb_ROOK, tb_BISHOP, tb_KNIGHT, tb_PAWN};

// A three-man position on the board: the man's side has `man_colour` (0
// White, 1 Black), squares a1 = 0 .. h8 = 63, `stm` the colour to move.
struct BoardPosition {
  Man man;
  u32 man_colour, stm;
  u32 strong_king, weak_king, man_square;
};

Verdict gaviota_verdict(const BoardPosition& b) {
  const unsigned strong[] = {b.strong_king, b.man_square, tb_NOSQUARE};
  const unsigned weak[] = {b.weak_king, tb_NOSQUARE};
  const unsigned char strong_pc[] = {tb_KING, kGaviotaPiece[static_cast<int>(b.man)], tb_NOPIECE};
  const unsigned char weak_pc[] = {tb_KING, tb_NOPIECE};
  const bool white_strong = b.man_colour == 0;
  unsigned info = tb_UNKNOWN, plies = 0;
  const bool ok = tb_probe_hard(b.stm == 0 ? tb_WHITE_TO_MOVE : tb_BLACK_TO_MOVE, tb_NOSQUARE, tb_NOCASTLE,
                                white_strong ? strong : weak, white_strong ? weak : strong,
                                white_strong ? strong_pc : weak_pc, white_strong ? weak_pc : strong_pc, &info, &plies);
  return from_gaviota(ok, info, plies, b.stm);
}

std::string fen_of(const BoardPosition& b) {
  static constexpr char kLetter[] = {'q', 'r', 'b', 'n', 'p'};
  char board[64];
  std::fill(board, board + 64, '.');
  const auto piece = [&](char c, u32 colour) { return colour == 0 ? static_cast<char>(c - 'a' + 'A') : c; };
  board[b.strong_king] = piece('k', b.man_colour);
  board[b.weak_king] = piece('k', b.man_colour ^ 1);
  board[b.man_square] = piece(kLetter[static_cast<int>(b.man)], b.man_colour);
  return orvex::testing::placement_fen(board) + (b.stm == 0 ? " w - - 0 1" : " b - - 0 1");
}

// A random legal position of the class with the man on `colour` and `stm`
// to move, in which the side to move has a move.
BoardPosition random_position(Man man, u32 colour, u32 stm, std::mt19937_64& rng) {
  for (;;) {
    const u32 sk = static_cast<u32>(rng() % 64), wk = static_cast<u32>(rng() % 64), m = static_cast<u32>(rng() % 64);
    // The solver's frame has the man's side moving up the board; Black's
    // positions are its mirror in the ranks.
    if (!is_legal(man, {stm == colour ? 0u : 1u, sk, wk, m})) continue;
    const u32 flip = colour == 0 ? 0 : 56;
    const BoardPosition b{man, colour, stm, sk ^ flip, wk ^ flip, m ^ flip};
    parse_fen(fen_of(b).c_str());
    UciMove moves[kMaxLegalMoves];
    if (generate_legal_uci_moves(moves) > 0) return b;
  }
}

// What the engine shows last for a "go" in a position: the score ("mate N"
// or "cp N") and the first move of its line.
struct Shown {
  std::string unit;
  int value = 0;
  std::string first_move;
};

// Nothing when no bestmove comes.
std::optional<Shown> engine_score(e2e::EngineProcess& engine, const std::string& fen) {
  engine.send("position fen " + fen);
  engine.send("go depth 4");
  Shown last;
  for (;;) {
    const auto line = engine.read_line(20000);
    if (!line) return std::nullopt;
    if (line->rfind("bestmove ", 0) == 0) return last;
    std::istringstream words(*line);
    std::string w;
    bool scored = false;
    while (words >> w) {
      if (w == "score" && words >> last.unit >> last.value) scored = true;
      if (w == "pv" && scored) words >> last.first_move;
    }
  }
}

std::string square_name(u32 s) { return {static_cast<char>('a' + (s & 7)), static_cast<char>('1' + (s >> 3))}; }

// Whether the engine's score is Gaviota's verdict.  A win or a loss must show
// the exact mate distance; a draw shows "cp 0", or, when the line begins by
// taking the man, the evaluation of the bare kings it reaches (a few
// centipawns: the general evaluation scores bare kings by their squares and
// the move's tempo, it does not call them drawn).  `bare_kings` tells which.
bool agrees(const Verdict& truth, const BoardPosition& b, const Shown& shown, bool* bare_kings) {
  *bare_kings = false;
  if (truth.kind == 1) return shown.unit == "mate" && shown.value == static_cast<int>(truth.moves);
  if (truth.kind == 2) return shown.unit == "mate" && shown.value == -static_cast<int>(truth.moves);
  if (truth.kind != 0 || shown.unit != "cp") return false;
  if (shown.value == 0) return true;
  *bare_kings = shown.first_move.size() >= 4 && shown.first_move.substr(2, 2) == square_name(b.man_square) &&
                std::abs(shown.value) <= 50;
  return *bare_kings;
}

std::string expected_score(const Verdict& v) {
  if (v.kind == 0) return "a draw";
  if (v.kind == 1) return "mate " + std::to_string(v.moves);
  if (v.kind == 2) return "mate -" + std::to_string(v.moves);
  return "(no value)";
}

// Plays `per_group` random positions of every class, man colour and side to
// move through the engine; returns the number of differences from Gaviota.
u64 sweep_through_engine(const char* engine_path, const char* table_dir, u32 per_group, u64 seed) {
  e2e::EngineProcess engine({}, engine_path);
  engine.send("setoption name Max CPUs value 1");
  engine.send(std::string("setoption name NalimovPath value ") + table_dir);
  engine.send("setoption name NalimovUsage value Frequently");
  if (!engine.started() || !engine.sync(20000)) {
    std::printf("engine %s did not start\n", engine_path);
    return 1;
  }
  std::mt19937_64 rng(seed);
  u64 total_differences = 0;
  for (Man man : {Man::kQueen, Man::kRook, Man::kBishop, Man::kKnight, Man::kPawn}) {
    u64 positions = 0, won = 0, lost = 0, drawn = 0, bare_kings = 0, differences = 0;
    for (u32 colour = 0; colour < 2; ++colour)
      for (u32 stm = 0; stm < 2; ++stm)
        for (u32 n = 0; n < per_group; ++n) {
          const BoardPosition b = random_position(man, colour, stm, rng);
          const std::string fen = fen_of(b);
          const Verdict truth = gaviota_verdict(b);
          const std::optional<Shown> shown = engine_score(engine, fen);
          if (!shown) {
            std::printf("  %s: no bestmove from the engine\n", fen.c_str());
            return total_differences + differences + 1;
          }
          ++positions;
          won += truth.kind == 1;
          lost += truth.kind == 2;
          drawn += truth.kind == 0;
          bool bare = false;
          if (!agrees(truth, b, *shown, &bare)) {
            if (++differences <= 5)
              std::printf("  %s: engine score %s %d, gaviota %s\n", fen.c_str(), shown->unit.c_str(), shown->value,
                          expected_score(truth).c_str());
          }
          bare_kings += bare;
        }
    std::printf("%s through the engine: %llu positions (%llu won, %llu lost, %llu drawn for the side to move; "
                "%llu draws shown through bare kings), %llu differences\n",
                class_name(man), static_cast<unsigned long long>(positions), static_cast<unsigned long long>(won),
                static_cast<unsigned long long>(lost), static_cast<unsigned long long>(drawn),
                static_cast<unsigned long long>(bare_kings), static_cast<unsigned long long>(differences));
    total_differences += differences;
  }
  engine.send("quit");
  engine.wait_exit(10000);
  return total_differences;
}

}  // namespace

int main(int argc, char** argv) {
  if (argc != 3 && argc != 4) {
    std::fprintf(stderr, "usage: orvex-tbcheck TABLE_DIR GAVIOTA_DIR [ENGINE]\n");
    return 2;
  }
  init_tablebases(argv[1]);
  static std::vector<u8> cache(8 << 20);
  init_tb_cache(cache.data(), static_cast<u32>(cache.size()));
  const char* paths[] = {argv[2], nullptr};
  tb_init(0, tb_CP4, paths);
  tbcache_init(32 << 20, 0);
  if (!(tb_availability() & 1)) {
    std::fprintf(stderr, "orvex-tbcheck: no Gaviota tables in %s\n", argv[2]);
    return 2;
  }
  static constexpr PieceType kType[] = {kQueen, kRook, kBishop, kKnight, kPawn};
  u64 total_differences = 0;
  for (Man man : {Man::kQueen, Man::kRook, Man::kBishop, Man::kKnight, Man::kPawn}) {
    const int cls = class_id(man);
    const TbClassDescriptor& d = tb_class_descriptors[cls];
    u64 positions = 0, differences = 0, wins = 0, losses = 0;
    u32 longest = 0;
    for (u32 i = 0; i < kThreeMenStates; ++i) {
      const ThreeMen p = state_of(i);
      if (!is_legal(man, p)) continue;
      ++positions;
      TbPieceList first{}, second{};
      first.sq[kTbKingSlot] = p.strong_king;
      first.sq[tb_first_slot(kType[static_cast<int>(man)])] = p.man;
      second.sq[kTbKingSlot] = p.weak_king;
      const u64 index = d.index_fn[p.stm](&first, &second, kTbNoEnPassant, 0);
      const Verdict ours = from_engine(probe_table(cls, p.stm, index));
      const Verdict truth = gaviota_verdict({man, 0, p.stm, p.strong_king, p.weak_king, p.man});
      wins += ours.kind == 1;
      losses += ours.kind == 2;
      if (ours.kind != 0 && ours.moves > longest) longest = ours.moves;
      if (!(ours == truth)) {
        if (++differences <= 5)
          std::printf("  %s stm %u kings %u %u man %u: engine %d/%u, gaviota %d/%u\n", class_name(man), p.stm,
                      p.strong_king, p.weak_king, p.man, ours.kind, ours.moves, truth.kind, truth.moves);
      }
    }
    std::printf("%s: %llu positions (%llu won, %llu lost for the side to move, longest mate %u moves), %llu differences\n",
                class_name(man), static_cast<unsigned long long>(positions), static_cast<unsigned long long>(wins),
                static_cast<unsigned long long>(losses), longest, static_cast<unsigned long long>(differences));
    total_differences += differences;
  }
  if (argc == 4) {
    // 100 positions per class, man colour and side to move; a fixed seed, so
    // every run plays the same positions.
    total_differences += sweep_through_engine(argv[3], argv[1], 100, 20261211);
  }
  tbcache_done();
  tb_done();
  return total_differences == 0 ? 0 : 1;
}
