#include "tools/tbgen/tables.h"

#include <cstdio>
#include <cstring>

#include "tablebases/tb_types.h"
#include "tools/tbgen/encoder.h"

namespace orvex::tbgen {

int class_id(Man man) {
  for (int c = 1; c < kTbClassCount; ++c)
    if (std::strcmp(tb_class_descriptors[c].name, class_name(man)) == 0) return c;
  return -1;
}

std::vector<u8> build_table(const Solved& s, int side, u64* conflicts) {
  const TbClassDescriptor& d = tb_class_descriptors[class_id(s.man)];
  std::vector<u8> table(d.position_count[side], 127);
  std::vector<bool> written(table.size(), false);
  static constexpr PieceType kTypes[] = {kQueen, kRook, kBishop, kKnight, kPawn};
  const PieceType type = kTypes[static_cast<int>(s.man)];
  *conflicts = 0;
  for (u32 i = 0; i < kThreeMenStates; ++i) {
    const ThreeMen p = state_of(i);
    if (p.stm != static_cast<u32>(side) || s.result[i].outcome == Outcome::kIllegal) continue;
    TbPieceList first{}, second{};
    first.sq[kTbKingSlot] = p.strong_king;
    first.sq[tb_first_slot(type)] = p.man;
    second.sq[kTbKingSlot] = p.weak_king;
    const u64 index = d.index_fn[side](&first, &second, kTbNoEnPassant, 0);
    const u8 b = table_byte(s.result[i]);
    if (index >= table.size()) {
      ++*conflicts;
      continue;
    }
    if (written[index] && table[index] != b) ++*conflicts;
    table[index] = b;
    written[index] = true;
  }
  return table;
}

bool write_tables(const std::vector<Solved>& classes, const std::string& dir, bool compressed, std::string* error) {
  for (const Solved& s : classes) {
    for (int side = 0; side < 2; ++side) {
      u64 conflicts = 0;
      const std::vector<u8> table = build_table(s, side, &conflicts);
      std::string path = dir + "/" + class_name(s.man) + (side == 0 ? ".nbw" : ".nbb");
      if (conflicts != 0) {
        *error = path + ": " + std::to_string(conflicts) + " positions numbered outside the table or twice";
        return false;
      }
      std::vector<u8> bytes = table;
      if (compressed) {
        bytes = encode_table(table);
        path += ".emd";
      }
      FILE* f = std::fopen(path.c_str(), "wb");
      if (!f || std::fwrite(bytes.data(), 1, bytes.size(), f) != bytes.size() || std::fclose(f) != 0) {
        *error = "cannot write " + path;
        return false;
      }
    }
  }
  return true;
}

}  // namespace orvex::tbgen
