// orvex-tbfuzz [SECONDS] [SEED]: damages compressed table files at random
// (byte flips, bit flips, truncation, rewritten header fields with the
// checksum made good again, garbage over coded blocks) and opens and decodes
// every block of each.  Run it in the sanitizer build: any read or write
// outside a buffer ends it with a report.  Prints what it tried.
#include <unistd.h>

#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <random>
#include <string>
#include <vector>

#include "platform/platform.h"
#include "tablebases/compressed.h"
#include "tools/tbgen/encoder.h"

using namespace orvex;

namespace {

std::vector<u8> sample(std::mt19937& rng, std::size_t size) {
  std::vector<u8> t(size);
  const u32 style = rng() % 4;
  for (std::size_t i = 0; i < size; ++i) {
    switch (style) {
      case 0: t[i] = static_cast<u8>(rng()); break;
      case 1: t[i] = static_cast<u8>((i / (1 + rng() % 64)) % 5); break;
      case 2: t[i] = static_cast<u8>(rng() % 8 == 0 ? rng() : 0x7F); break;
      default: t[i] = static_cast<u8>((i * 13) % 251); break;
    }
  }
  return t;
}

}  // namespace

int main(int argc, char** argv) {
  const double seconds = argc > 1 ? std::atof(argv[1]) : 60;
  std::mt19937 rng(argc > 2 ? static_cast<u32>(std::atoi(argv[2])) : 1);
  char dir_template[] = "/tmp/orvex-tbfuzz-XXXXXX";
  const char* dir = mkdtemp(dir_template);
  if (!dir) return 1;
  const std::string path = std::string(dir) + "/f.emd";
  TbDecodeBlock* d = tb_create_decode_block();
  std::vector<u8> slot(8192 + 3);  // a block and the 3 bytes a short match may write beyond it
  u64 files = 0, opened = 0, blocks = 0, broken_blocks = 0;
  const auto t0 = std::chrono::steady_clock::now();
  while (std::chrono::duration<double>(std::chrono::steady_clock::now() - t0).count() < seconds) {
    tbgen::EncodeOptions options;
    options.raw_blocks = rng() % 10 == 0;
    options.every_symbol = rng() % 3 == 0;
    options.zero_lengths = rng() % 20 == 0;
    const std::vector<u8> table = sample(rng, 1 + rng() % (40 * 8192));
    tbgen::EncodedLayout layout;
    std::vector<u8> v = tbgen::encode_table(table, options, &layout);
    const u32 damage = rng() % 6;
    const int count = 1 + static_cast<int>(rng() % 16);
    for (int k = 0; k < count; ++k) {
      switch (damage) {
        case 0: v[rng() % v.size()] ^= static_cast<u8>(1u << (rng() % 8)); break;
        case 1: v[rng() % v.size()] = static_cast<u8>(rng()); break;
        case 2: v[64 + rng() % (layout.header_size - 68)] = static_cast<u8>(rng()); break;  // header, resealed below
        case 3: v.resize(rng() % v.size()); break;
        case 4: {  // garbage over one block
          const u32 b = static_cast<u32>(rng() % layout.stored.size());
          for (u64 i = layout.block_at[b]; i < layout.block_at[b + 1] && i < v.size(); ++i) v[i] = static_cast<u8>(rng());
          break;
        }
        default: v[layout.lengths_at + rng() % (layout.header_size - 4 - layout.lengths_at)] ^= static_cast<u8>(rng()); break;
      }
      if (v.empty()) break;
    }
    if ((damage == 2 || damage == 5) && v.size() >= layout.header_size) {
      // The checksum made good again where the undamaged header had it.
      const u64 at = layout.header_size - 4;
      const u32 c = tb_checksum(v.data(), at);
      for (int i = 0; i < 4; ++i) v[at + i] = static_cast<u8>(c >> (24 - 8 * i));
    }
    tbgen::write_file(path, v);
    ++files;
    const int fd = platform::open_read_only(path.c_str());
    TbCompressedFile* f = nullptr;
    if (fd >= 0 && tb_open_compressed_table(fd, &f) == 0) {
      ++opened;
      for (u32 b = 0; b < f->block_count && b < 4096; ++b) {
        d->target = slot.data();
        u32 err = tb_read_compressed_block(*d, *f, fd, b);
        if (!err) err = tb_decode_compressed_block(*d, *f, d->decoded_size);
        ++blocks;
        broken_blocks += err != 0;
      }
      tb_free_compressed_table(f);
    }
    if (fd >= 0) platform::close_fd(fd);
  }
  tb_free_decode_block(d);
  unlink(path.c_str());
  rmdir(dir);
  std::printf("%llu damaged files, %llu opened, %llu blocks read, %llu of them reported broken or unreadable\n",
              static_cast<unsigned long long>(files), static_cast<unsigned long long>(opened),
              static_cast<unsigned long long>(blocks), static_cast<unsigned long long>(broken_blocks));
  return 0;
}
