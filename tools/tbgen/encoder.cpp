#include "tools/tbgen/encoder.h"

#include <algorithm>
#include <cstdio>
#include <numeric>
#include <queue>

#include "tablebases/compressed.h"

namespace orvex::tbgen {

const char kTestBanner[59] = "Orvex test tables: blocks of canonical codes, 24 distances";
static_assert(sizeof kTestBanner == 59);

void BitWriter::put(u64 value, u32 bits) {
  for (u32 i = bits; i-- > 0;) {
    if (used == 0) bytes.push_back(0);
    if ((value >> i) & 1) bytes.back() |= static_cast<u8>(0x80 >> used);
    used = (used + 1) & 7;
  }
}

std::vector<u32> canonical_codes(const std::vector<u8>& lengths) {
  std::vector<u32> order(lengths.size());
  std::iota(order.begin(), order.end(), 0u);
  std::stable_sort(order.begin(), order.end(), [&](u32 a, u32 b) { return lengths[a] < lengths[b]; });
  std::vector<u32> codes(lengths.size(), 0);
  u32 code = 0, prev_len = 0;
  bool first = true;
  for (u32 s : order) {
    if (lengths[s] == 0) continue;
    if (first) {
      code = 0;
      first = false;
    } else {
      code = (code + 1) << (lengths[s] - prev_len);
    }
    prev_len = lengths[s];
    codes[s] = code;
  }
  return codes;
}

std::vector<u8> huffman_lengths(const std::vector<u64>& freq_in, u32 max_len) {
  std::vector<u64> freq = freq_in;
  for (;;) {
    const std::size_t n = freq.size();
    std::vector<u8> len(n, 0);
    std::vector<std::size_t> used;
    for (std::size_t s = 0; s < n; ++s)
      if (freq[s]) used.push_back(s);
    if (used.empty()) return len;
    if (used.size() == 1) {
      len[used[0]] = 1;
      return len;
    }
    // Nodes: leaves 0..n-1, inner nodes after; parent links give depths.
    std::vector<std::size_t> parent(2 * n, 0);
    using Item = std::pair<u64, std::size_t>;
    std::priority_queue<Item, std::vector<Item>, std::greater<Item>> q;
    for (std::size_t s : used) q.push({freq[s], s});
    std::size_t next = n;
    while (q.size() > 1) {
      const Item a = q.top();
      q.pop();
      const Item b = q.top();
      q.pop();
      parent[a.second] = parent[b.second] = next;
      q.push({a.first + b.first, next++});
    }
    const std::size_t root = next - 1;
    u32 longest = 0;
    for (std::size_t s : used) {
      u32 d = 0;
      for (std::size_t x = s; x != root; x = parent[x]) ++d;
      len[s] = static_cast<u8>(std::min<u32>(d, 255));
      longest = std::max(longest, d);
    }
    if (longest <= max_len) return len;
    for (u64& f : freq)
      if (f) f = (f + 1) / 2;  // flatten and try again
  }
}

namespace {

// Pre-code A: 0..31 a length, 32 + v a repeat of length v; pre-code B: the
// repeat count (t <= 31: t + 2; t = 32 + k: 2^k + x + 33 with k bits x).
struct LengthToken {
  u32 a;           // symbol of A
  int b = -1;      // symbol of B, -1 for none
  u32 extra = 0;   // k bits after a long repeat
  u32 extra_bits = 0;
};

std::vector<LengthToken> tokenize(const std::vector<u8>& lengths) {
  std::vector<LengthToken> out;
  std::size_t i = 0;
  while (i < lengths.size()) {
    std::size_t run = 1;
    while (i + run < lengths.size() && lengths[i + run] == lengths[i]) ++run;
    std::size_t left = run;
    while (left > 0) {
      if (left == 1) {
        out.push_back({lengths[i]});
        left = 0;
      } else if (left <= 33) {
        out.push_back({32u + lengths[i], static_cast<int>(left - 2)});
        left = 0;
      } else {
        // r = 2^k + x + 33 with x < 2^k: the largest k with 2^k + 33 <= left.
        u32 k = 0;
        while (k < 11 && (u64{1} << (k + 1)) + 33 <= left) ++k;
        const u64 r = std::min<u64>(left, (u64{1} << (k + 1)) - 1 + 33);
        LengthToken t{32u + lengths[i], static_cast<int>(32 + k)};
        t.extra = static_cast<u32>(r - (u64{1} << k) - 33);
        t.extra_bits = k;
        out.push_back(t);
        left -= r;
      }
    }
    i += run;
  }
  return out;
}

void put_symbol(BitWriter& w, const std::vector<u8>& len, const std::vector<u32>& code, u32 s, bool single) {
  if (single) return;  // a code of one symbol takes no bits
  w.put(code[s], len[s]);
}

bool single_symbol(const std::vector<u8>& len) {
  return std::count_if(len.begin(), len.end(), [](u8 l) { return l != 0; }) == 1;
}

// The fixed-width form for at most 128 lengths: width 5, each length, and
// after a 0 a 4-bit count of further zeros.
void write_fixed_lengths(BitWriter& w, const std::vector<u8>& lengths) {
  if (std::all_of(lengths.begin(), lengths.end(), [](u8 l) { return l == 0; })) {
    w.put(1, 1);
    return;
  }
  w.put(0, 1);
  w.put(5, 5);
  std::size_t i = 0;
  while (i < lengths.size()) {
    w.put(lengths[i], 5);
    if (lengths[i++] == 0) {
      u32 z = 0;
      while (z < 15 && i < lengths.size() && lengths[i] == 0) ++z, ++i;
      w.put(z, 4);
    }
  }
}

}  // namespace

void write_code_lengths(BitWriter& w, const std::vector<u8>& lengths) {
  if (lengths.size() <= 128) {
    write_fixed_lengths(w, lengths);
    return;
  }
  if (std::all_of(lengths.begin(), lengths.end(), [](u8 l) { return l == 0; })) {
    w.put(1, 1);
    return;
  }
  w.put(0, 1);
  const std::vector<LengthToken> tokens = tokenize(lengths);
  std::vector<u64> fa(64, 0), fb(64, 0);
  for (const LengthToken& t : tokens) {
    ++fa[t.a];
    if (t.b >= 0) ++fb[static_cast<u32>(t.b)];
  }
  const std::vector<u8> la = huffman_lengths(fa, 31), lb = huffman_lengths(fb, 31);
  std::vector<u8> pre(la);
  pre.insert(pre.end(), lb.begin(), lb.end());
  write_fixed_lengths(w, pre);
  const std::vector<u32> ca = canonical_codes(la), cb = canonical_codes(lb);
  const bool sa = single_symbol(la), sb = single_symbol(lb);
  for (const LengthToken& t : tokens) {
    put_symbol(w, la, ca, t.a, sa);
    if (t.b >= 0) {
      put_symbol(w, lb, cb, static_cast<u32>(t.b), sb);
      if (t.extra_bits) w.put(t.extra, t.extra_bits);
    }
  }
}

namespace {

constexpr i32 kDistances[24] = {1, 2, 3, 4, 5, 6, 7, 8, 12, 16, 24, 32, 48, 64, 96, 128, 192, 256, 384, 512, 768,
                                1024, 2048, 4096};

// One coded token of a block: a main symbol and the extra bits of a long match.
struct Token {
  u32 symbol;
  u32 extra = 0;
  u32 extra_bits = 0;
};

std::vector<Token> tokenize_block(const u8* data, u32 size) {
  std::vector<Token> out;
  u32 pos = 0;
  while (pos < size) {
    u32 best_len = 0, best_slot = 0;
    for (u32 slot = 0; slot < 24; ++slot) {
      const u32 d = static_cast<u32>(kDistances[slot]);
      if (d > pos) continue;
      u32 n = 0;
      while (pos + n < size && data[pos + n] == data[pos + n - d]) ++n;
      if (n > best_len) best_len = n, best_slot = slot;
    }
    if (best_len >= 2) {
      u32 c;
      Token t{0};
      if (best_len <= 15) {
        c = best_len - 1;
      } else {
        u32 bits = 1;
        while ((u32{1} << (bits + 1)) <= best_len - 14) ++bits;
        c = bits + 14;
        t.extra = best_len - 14 - (u32{1} << bits);
        t.extra_bits = bits;
      }
      t.symbol = 256 + best_slot * 32 + c;
      out.push_back(t);
      pos += best_len;
    } else {
      out.push_back({data[pos]});
      ++pos;
    }
  }
  return out;
}

void put_be32(std::vector<u8>& v, u64 at, u32 x) {
  v[at] = static_cast<u8>(x >> 24);
  v[at + 1] = static_cast<u8>(x >> 16);
  v[at + 2] = static_cast<u8>(x >> 8);
  v[at + 3] = static_cast<u8>(x);
}

}  // namespace

void reseal_header(std::vector<u8>& file) {
  const u64 h = (u64{file[64]} << 24) | (u64{file[65]} << 16) | (u64{file[66]} << 8) | file[67];
  put_be32(file, h - 4, tb_checksum(file.data(), h - 4));
}

std::vector<u8> encode_table(const std::vector<u8>& table, const EncodeOptions& options,
                                EncodedLayout* layout) {
  const u32 L = options.block_bits;
  const u64 block = u64{1} << L;
  const u64 n = table.empty() ? 1 : (table.size() + block - 1) / block;
  const u32 last = static_cast<u32>(table.size() - (n - 1) * block);

  std::vector<std::vector<Token>> tokens(n);
  std::vector<u64> freq(1024, 0);
  for (u64 b = 0; b < n; ++b) {
    const u32 size = b == n - 1 ? last : static_cast<u32>(block);
    tokens[b] = tokenize_block(table.data() + b * block, size);
    for (const Token& t : tokens[b]) ++freq[t.symbol];
  }
  if (options.every_symbol)
    for (u64& f : freq) f += 1;
  std::vector<u8> lengths = options.zero_lengths ? std::vector<u8>(1024, 0) : huffman_lengths(freq, 31);
  const std::vector<u32> codes = canonical_codes(lengths);
  const bool single = single_symbol(lengths);

  std::vector<std::vector<u8>> stored(n);
  u32 coded = 0;
  for (u64 b = 0; b < n; ++b) {
    const u32 size = b == n - 1 ? last : static_cast<u32>(block);
    const u8* data = table.data() + b * block;
    if (!options.raw_blocks) {
      BitWriter w;
      for (const Token& t : tokens[b]) {
        put_symbol(w, lengths, codes, t.symbol, single);
        if (t.extra_bits) w.put(t.extra, t.extra_bits);
      }
      if (w.bytes.empty()) w.bytes.push_back(0);  // a stored length is at least 1
      if (w.bytes.size() < size) {
        stored[b] = w.bytes;
        ++coded;
        continue;
      }
    }
    stored[b].assign(data, data + size);
  }

  BitWriter sizes;
  for (u64 b = 0; b < n; ++b) sizes.put(stored[b].size() & (block - 1), L);
  sizes.put(last & (block - 1), L);
  for (i32 d : kDistances) sizes.put(static_cast<u64>(d) & (block - 1), L);
  BitWriter code_lengths;
  write_code_lengths(code_lengths, lengths);

  std::vector<u8> file(80 + 8 * n, 0);
  for (int i = 0; i < 58; ++i) file[i] = static_cast<u8>(kTestBanner[i]);
  file[58] = '\r';
  file[59] = '\n';
  file[70] = static_cast<u8>(L);
  file[71] = 24;
  put_be32(file, 72, static_cast<u32>(n));
  put_be32(file, 76, kTbFormatWord);
  for (u64 b = 0; b < n; ++b) {
    const u32 size = b == n - 1 ? last : static_cast<u32>(block);
    put_be32(file, 80 + 8 * b, tb_checksum(table.data() + b * block, size));
    put_be32(file, 84 + 8 * b, tb_checksum(stored[b].data(), stored[b].size()));
  }
  const u64 sizes_at = file.size();
  file.insert(file.end(), sizes.bytes.begin(), sizes.bytes.end());
  const u64 lengths_at = file.size();
  file.insert(file.end(), code_lengths.bytes.begin(), code_lengths.bytes.end());
  file.resize(file.size() + 4);
  const u64 header = file.size();
  put_be32(file, 64, static_cast<u32>(header));
  reseal_header(file);
  if (layout) {
    layout->header_size = header;
    layout->sizes_at = sizes_at;
    layout->lengths_at = lengths_at;
    layout->coded_blocks = coded;
    layout->block_at.clear();
    layout->stored.clear();
  }
  for (u64 b = 0; b < n; ++b) {
    if (layout) {
      layout->block_at.push_back(file.size());
      layout->stored.push_back(static_cast<u32>(stored[b].size()));
    }
    file.insert(file.end(), stored[b].begin(), stored[b].end());
  }
  if (layout) layout->block_at.push_back(file.size());
  return file;
}

std::vector<u8> encode_raw_header(u64 n, u32 last) {
  BitWriter sizes;
  for (u64 b = 0; b <= n; ++b) sizes.put(b + 1 >= n ? last & 8191 : 0, 13);
  for (i32 d : kDistances) sizes.put(static_cast<u64>(d) & 8191, 13);
  std::vector<u8> file(80 + 8 * n, 0);
  for (int i = 0; i < 58; ++i) file[i] = static_cast<u8>(kTestBanner[i]);
  file[58] = '\r';
  file[59] = '\n';
  file[70] = 13;
  file[71] = 24;
  put_be32(file, 72, static_cast<u32>(n));
  put_be32(file, 76, kTbFormatWord);
  file.insert(file.end(), sizes.bytes.begin(), sizes.bytes.end());
  file.push_back(0x80);  // the code lengths: flag bit 1, all zero
  file.resize(file.size() + 4);
  put_be32(file, 64, static_cast<u32>(file.size()));
  reseal_header(file);
  return file;
}

void write_file(const std::string& path, const std::vector<u8>& bytes) {
  FILE* f = std::fopen(path.c_str(), "wb");
  if (!f) return;
  if (!bytes.empty()) std::fwrite(bytes.data(), 1, bytes.size(), f);
  std::fclose(f);
}

}  // namespace orvex::tbgen
