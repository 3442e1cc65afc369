// Tablebase positions written as text for the index tests: one side's men as
// "Kc3 Nd5 Pa2" (king letter and square, men in any order), classes by name.
#pragma once
#include <cstring>

#include "tablebases/tb_types.h"
#include "tests/squares.h"

namespace orvex::testing {

// Like men keep the order of the text, so tests can vary it.
inline TbPieceList tb_list(const char* men) {
  TbPieceList l{};
  u32 used[6] = {};
  for (const char* c = men; *c;) {
    if (*c == ' ') {
      ++c;
      continue;
    }
    const char* kinds = "PNBRQK";
    const u32 t = static_cast<u32>(std::strchr(kinds, *c) - kinds);
    const Square s = sq(c + 1);
    if (t == kKing) l.sq[kTbKingSlot] = s;
    else l.sq[tb_first_slot(t) + used[t]++] = s;
    c += 3;
  }
  return l;
}

inline const TbClassDescriptor& tb_class(const char* name) {
  for (const TbClassDescriptor& d : tb_class_descriptors) {
    if (std::strcmp(d.name, name) == 0) return d;
  }
  return tb_class_descriptors[0];
}

// The number of a position: class name, side to move (0: first-named side),
// the first-named side's men, the other side's, the en-passant square ("-" for
// none) and the flip (1 when the first-named side is Black).
inline u64 tb_number(const char* cls, int side, const char* first, const char* second, const char* ep = "-",
                     int flip = 0) {
  const TbPieceList f = tb_list(first), s = tb_list(second);
  const u32 e = ep[0] == '-' ? kTbNoEnPassant : sq(ep);
  return tb_class(cls).index_fn[side](&f, &s, e, flip);
}

}  // namespace orvex::testing
