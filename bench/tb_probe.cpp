// Tablebase speed on the project's generated three-man tables: cached probes
// per second (the whole probe of the position after each legal move of many
// positions, make and unmake included, every block in the cache) and decoded
// megabytes per second (every block of the compressed files read and
// decoded).  bench_tb_probe [TABLE_DIR]; TABLE_DIR holds raw/ and compressed/.
#include <chrono>
#include <cstdio>
#include <random>
#include <string>
#include <vector>

#include "platform/platform.h"
#include "position/fen.h"
#include "position/perft.h"
#include "tablebases/cache.h"
#include "tablebases/compressed.h"
#include "tablebases/probe.h"
#include "tablebases/registry.h"

using namespace orvex;

namespace {

double seconds_since(std::chrono::steady_clock::time_point t0) {
  return std::chrono::duration<double>(std::chrono::steady_clock::now() - t0).count();
}

// Random root positions of the five classes (those whose side not to move
// stands in check are skipped where they are used).
std::vector<std::string> roots() {
  std::mt19937 rng(12);
  std::vector<std::string> out;
  const char men[] = {'Q', 'R', 'B', 'N', 'P'};
  while (out.size() < 500) {
    const u32 wk = rng() % 64, bk = rng() % 64, m = rng() % 64;
    const char man = men[out.size() % 5];
    if (wk == bk || wk == m || bk == m) continue;
    if (std::abs(int(wk % 8) - int(bk % 8)) <= 1 && std::abs(int(wk / 8) - int(bk / 8)) <= 1) continue;
    if (man == 'P' && (m < 8 || m >= 56)) continue;
    char board[64];
    for (char& c : board) c = 0;
    board[wk] = 'K';
    board[bk] = 'k';
    board[m] = man;
    std::string fen;
    for (int r = 7; r >= 0; --r) {
      int empty = 0;
      for (int f = 0; f < 8; ++f) {
        const char c = board[r * 8 + f];
        if (!c) {
          ++empty;
          continue;
        }
        if (empty) fen += char('0' + empty), empty = 0;
        fen += c;
      }
      if (empty) fen += char('0' + empty);
      if (r) fen += '/';
    }
    fen += out.size() % 2 ? " w - - 0 1" : " b - - 0 1";
    out.push_back(fen);
  }
  return out;
}

void probes_per_second(const std::string& dir, const char* what) {
  set_tb_cache_size(1);
  init_tablebases(dir.c_str());
  const std::vector<std::string> fens = roots();
  u64 probes = 0, hits = 0;
  i32 sink = 0;
  auto t0 = std::chrono::steady_clock::now();
  for (int round = 0; round < 200; ++round) {
    for (const std::string& fen : fens) {
      parse_fen(fen.c_str());
      if (king_attacked(current_position.side_to_move ^ 1)) continue;
      SearchMove moves[kMaxMoves];
      generate_all_moves(moves);
      const Colour mover = current_position.side_to_move;
      for (const SearchMove* m = moves; *m; ++m) {
        UndoRecord u;
        make_move(*m, u);
        if (!king_attacked(mover)) {
          i32 s;
          ++probes;
          if (probe_tablebases(&s)) ++hits, sink += s;
        }
        unmake_move(*m, u);
      }
    }
  }
  const double t = seconds_since(t0);
  std::printf("%-10s %llu probes (%llu with a value) in %.3f s: %.2f M probes/s (make, unmake and FEN set-up included)\n",
              what, static_cast<unsigned long long>(probes), static_cast<unsigned long long>(hits), t, probes / t / 1e6);
  if (sink == 1) std::printf(" ");
}

void decoded_megabytes(const std::string& dir) {
  static const char* names[] = {"kqk", "krk", "kbk", "knk", "kpk"};
  std::vector<TbCompressedFile*> files;
  std::vector<int> fds;
  for (const char* n : names)
    for (const char* ext : {".nbw.emd", ".nbb.emd"}) {
      const std::string path = dir + "/" + n + ext;
      const int fd = platform::open_read_only(path.c_str());
      TbCompressedFile* f = nullptr;
      if (fd < 0 || tb_open_compressed_table(fd, &f) != 0) {
        std::printf("cannot open %s\n", path.c_str());
        return;
      }
      files.push_back(f);
      fds.push_back(fd);
    }
  TbDecodeBlock* d = tb_create_decode_block();
  static u8 slot[kTbSlotDataBytes];
  u64 bytes = 0, coded = 0, blocks = 0;
  auto t0 = std::chrono::steady_clock::now();
  for (int round = 0; round < 200; ++round)
    for (std::size_t i = 0; i < files.size(); ++i)
      for (u32 b = 0; b < files[i]->block_count; ++b) {
        d->target = slot;
        if (tb_read_compressed_block(*d, *files[i], fds[i], b) || tb_decode_compressed_block(*d, *files[i], d->decoded_size))
          return;
        bytes += d->decoded_size;
        coded += d->stored_length != d->decoded_size;
        ++blocks;
      }
  const double t = seconds_since(t0);
  std::printf("decoding   %.1f MB in %.3f s: %.1f MB/s (%llu coded blocks of %llu; file reads included)\n", bytes / 1e6,
              t, bytes / t / 1e6, static_cast<unsigned long long>(coded),
              static_cast<unsigned long long>(blocks));
  tb_free_decode_block(d);
  for (std::size_t i = 0; i < files.size(); ++i) {
    tb_free_compressed_table(files[i]);
    platform::close_fd(fds[i]);
  }
}

}  // namespace

int main(int argc, char** argv) {
  const std::string dir = argc > 1 ? argv[1] : ORVEX_TABLES_DIR;
  probes_per_second(dir + "/raw", "raw");
  probes_per_second(dir + "/compressed", "compressed");
  decoded_megabytes(dir + "/compressed");
  return 0;
}
