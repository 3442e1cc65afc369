#include "tablebases/registry.h"

#include <cinttypes>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <string>

#include "platform/platform.h"
#include "tablebases/cache.h"
#include "tablebases/material.h"

namespace orvex {

TbRegistration tb_registry[kTbClassCount];
TbDecodeBlock* tb_decode_block = nullptr;
u32 compressed_files_opened = 0;

namespace {

void free_registrations() {
  for (int c = 1; c < kTbClassCount; ++c) {
    TbRegistration& reg = tb_registry[c];
    for (int side = 0; side < 2; ++side) {
      reg.has_buckets[side] = false;
      for (TbCacheSlot*& h : reg.buckets[side]) h = nullptr;
      for (int e = 0; e < kTbMaxExtents; ++e) {
        std::free(reg.file_name[side][e]);
        reg.file_name[side][e] = nullptr;
        tb_free_compressed_table(reg.compressed[side][e]);
        reg.compressed[side][e] = nullptr;
      }
    }
  }
  tb_free_decode_block(tb_decode_block);
  tb_decode_block = nullptr;
}

[[noreturn]] void fatal_out_of_memory(u64 bytes) {
  char text[96];
  std::snprintf(text, sizeof text, "*** Cannot allocate %" PRIu64 " bytes of memory\n", bytes);
  tb_fatal(text);
}

// Candidate names of a compressed file, from the raw path p ("d/kpk.nbw"):
// p.emd, d/kpk_nbw.emd, d/kpk_nbw_emd, and for classes of up to five men
// d/kpknbw.emd.  The forms with '_' and without the dot are not used for
// split classes.
int compressed_candidates(const char* raw, int cls, std::string* out) {
  const std::string p(raw);
  const std::size_t dot = p.size() - 4;  // the '.' before nbw / nbb
  int n = 0;
  out[n++] = p + ".emd";
  if (!(tb_class_descriptors[cls].flags & kTbSplit)) {
    std::string under = p + ".emd";
    under[dot] = '_';
    out[n++] = under;
    std::string both = under;
    both[both.size() - 4] = '_';
    out[n++] = both;
    if (cls <= 145) out[n++] = p.substr(0, dot) + p.substr(dot + 1) + ".emd";
  }
  return n;
}

}  // namespace

void tb_fatal(const char* text) {
  platform::write_stdout(text, std::strlen(text));
  std::exit(1);
}

bool tb_table_path(char* out, const char* directory, int cls, int side, int extent) {
  const std::size_t dir_len = std::strlen(directory);
  const bool slash = dir_len != 0 && directory[dir_len - 1] != '/';
  char ext[3] = "";
  if (tb_class_descriptors[cls].flags & kTbSplit) {
    ext[0] = '.';
    ext[1] = static_cast<char>(extent < 10 ? '0' + extent : 'a' + (extent - 10));
  }
  const int n = std::snprintf(out, kTbPathBytes, "%s%s%s%s%s", directory, slash ? "/" : "",
                              tb_class_descriptors[cls].name, ext, side == 0 ? ".nbw" : ".nbb");
  return n > 0 && static_cast<u32>(n) < kTbPathBytes;
}

namespace {

// Positions in each extent of a split class but the last: 2^31 at one byte
// a value, 2^30 at two.
u64 split_extent_positions(const TbClassDescriptor& d) {
  return (d.flags & kTbTwoByteValues) ? (u64{1} << 30) : (u64{1} << 31);
}

// Ends the process with the corrupted message: the file, the positions an
// extent holds and those of the last extent (for a class that is not split,
// the count twice), then the positions found.
[[noreturn]] void report_corrupted(int cls, int side, u64 found, const char* path) {
  const TbClassDescriptor& d = tb_class_descriptors[cls];
  u64 extent = d.position_count[side], last = d.position_count[side];
  if (d.flags & kTbSplit) {
    extent = split_extent_positions(d);
    last = d.position_count[side] % extent;
  }
  char text[kTbPathBytes + 96];
  std::snprintf(text, sizeof text, "*** %s corrupted %" PRIu64 " %" PRIu64 " %" PRIu64 "\n", path, extent, last,
                found);
  tb_fatal(text);
}

}  // namespace

void check_table_size(int cls, int side, u64 size, const char* path) {
  const TbClassDescriptor& d = tb_class_descriptors[cls];
  if (d.flags & kTbSplit) {
    const u64 extent = split_extent_positions(d);
    if (size == extent || size == d.position_count[side] % extent) return;
  } else if (size == d.position_count[side]) {
    return;
  }
  report_corrupted(cls, side, size, path);
}

u64 tb_extent_positions(int cls, int side, int extent) {
  const TbClassDescriptor& d = tb_class_descriptors[cls];
  if (!(d.flags & kTbSplit)) return d.position_count[side];
  const u64 full = split_extent_positions(d);
  const u64 before = full * static_cast<u64>(extent);
  if (before >= d.position_count[side]) return 0;
  const u64 rest = d.position_count[side] - before;
  return rest < full ? rest : full;
}

void check_raw_table_size(int cls, int side, int extent, u64 bytes, const char* path) {
  const u64 width = tb_value_bytes(cls);
  if (bytes % width == 0 && bytes / width == tb_extent_positions(cls, side, extent)) return;
  report_corrupted(cls, side, bytes / width, path);
}

i32 register_table_file(const char* directory, int cls, int side, int extent) {
  const TbClassDescriptor& desc = tb_class_descriptors[cls];
  if (desc.flags & kTbSymmetric) side = 0;
  TbRegistration& reg = tb_registry[cls];
  if (reg.file_name[side][extent]) return 1;

  char path[kTbPathBytes];
  if (!tb_table_path(path, directory, cls, side, extent)) return 0;
  std::string chosen = path;
  TbCompressedFile* compressed = nullptr;
  int fd = platform::open_read_only(path);
  if (fd >= 0) {
    // A raw file, whatever its value width and length, is measured: a file
    // of the wrong size would register and then answer nothing, or wrong
    // values.
    const i64 size = platform::file_size(fd);
    platform::close_fd(fd);
    if (size < 0) {
      char text[kTbPathBytes + 32];
      std::snprintf(text, sizeof text, "*** Seek in %s failed\n", path);
      tb_fatal(text);
    }
    if (desc.position_count[side] != 0) check_raw_table_size(cls, side, extent, static_cast<u64>(size), path);
  } else {
    std::string candidates[4];
    const int n = compressed_candidates(path, cls, candidates);
    int k = 0;
    for (; k < n; ++k) {
      if (candidates[k].size() >= kTbPathBytes) continue;
      if ((fd = platform::open_read_only(candidates[k].c_str())) >= 0) break;
    }
    if (k == n) return 0;
    chosen = candidates[k];
    ++compressed_files_opened;
    const u32 err = tb_open_compressed_table(fd, &compressed);
    platform::close_fd(fd);
    char text[kTbPathBytes + 96];
    if (err != 0) {
      const char* kinds[] = {"read error\n", "out of memory\n", "file broken\n"};
      const u32 kind = tb_error_kind(err);
      const char* what = kind == kTbReadError ? kinds[0] : kind == kTbOutOfMemory ? kinds[1]
                         : kind == kTbBrokenFile ? kinds[2] : nullptr;
      char other[32];
      if (!what) {
        std::snprintf(other, sizeof other, "error %u\n", err);
        what = other;
      }
      std::snprintf(text, sizeof text, "*** Unable to read %s - %s", chosen.c_str(), what);
      tb_fatal(text);
    }
    if (compressed->block_size != kTbBlockSize) {
      std::snprintf(text, sizeof text, "*** %s: Unsupported block size %u\n", chosen.c_str(), compressed->block_size);
      tb_free_compressed_table(compressed);
      tb_fatal(text);
    }
    if (desc.position_count[side] != 0) {
      const u64 bytes = tb_decoded_length(*compressed);
      check_table_size(cls, side, (desc.flags & kTbTwoByteValues) ? bytes / 2 : bytes, chosen.c_str());
    }
  }

  if (!insert_material_class(desc)) {
    char text[kTbPathBytes + 32];
    std::snprintf(text, sizeof text, "*** Unable to register %s\n", chosen.c_str());
    tb_fatal(text);
  }
  char* copy = static_cast<char*>(std::malloc(chosen.size() + 1));
  if (!copy) fatal_out_of_memory(chosen.size() + 1);
  std::memcpy(copy, chosen.c_str(), chosen.size() + 1);
  std::free(reg.file_name[side][extent]);
  reg.file_name[side][extent] = copy;
  reg.has_buckets[side] = true;
  tb_free_compressed_table(reg.compressed[side][extent]);
  reg.compressed[side][extent] = compressed;
  return 1;
}

u32 init_tablebases(const char* list) {
  reset_tb_cache();
  free_registrations();

  int highest = 0;
  const char* entry = list;
  for (;;) {
    const char* stop = entry;
    while (*stop && *stop != ',' && *stop != ';') ++stop;
    const std::string dir(entry, stop);
    // A directory that is not there holds no tables; the empty entry is the
    // working directory.
    if (dir.empty() || platform::is_directory(dir.c_str())) {
      for (int c = 1; c < kTbClassCount; ++c) {
        const int sides = (tb_class_descriptors[c].flags & kTbSymmetric) ? 1 : 2;
        for (int side = 0; side < sides; ++side) {
          const int extents = tb_extent_count(c, side);
          bool found = false;
          for (int e = 0; e < extents; ++e) {
            if (!register_table_file(dir.c_str(), c, side, e)) break;
            if (e == 0) found = true;
          }
          if (found && c > highest) highest = c;
        }
      }
    }
    if (!*stop) break;
    entry = stop + 1;
  }

  if (compressed_files_opened != 0) {
    tb_decode_block = tb_create_decode_block();
    if (!tb_decode_block) {
      char text[64];
      std::snprintf(text, sizeof text, "*** Cannot allocate decode block: error code %u\n", kTbOutOfMemory);
      tb_fatal(text);
    }
  }
  return highest >= 146 ? 6 : highest >= 36 ? 5 : highest >= 6 ? 4 : highest >= 1 ? 3 : 0;
}

}  // namespace orvex
