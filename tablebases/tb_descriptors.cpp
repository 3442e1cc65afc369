// The descriptor table: each class's index functions are instances of its
// family's routine, chosen by class number and made from the class name.
#include <utility>

#include "tablebases/index_standard.h"
#include "tablebases/index_three_against_pawn.h"
#include "tablebases/index_two_against_two.h"
#include "tablebases/tb_class_rows.h"

namespace orvex {
namespace tb_detail {
namespace {

template <int Id, int Side>
constexpr TbIndexFn index_fn_of() {
  if constexpr (Id == 0) {
    return nullptr;
  } else {
    constexpr TbMaterial first = material_of_name(kTbClassRows[Id].name, 0);
    constexpr TbMaterial second = material_of_name(kTbClassRows[Id].name, 1);
    if constexpr (Id >= 201 && Id <= 265) return &index_two_against_two<first, second, Side>;
    else if constexpr (Id >= 346 && Id <= 380) return &index_three_against_pawn<first, second, Side>;
    else return &index_standard<first, second, Side>;
  }
}

template <int Id>
constexpr TbClassDescriptor descriptor() {
  TbClassDescriptor d{};
  d.class_id = Id;
  d.flags = kTbClassRows[Id].flags;
  d.index_fn[0] = index_fn_of<Id, 0>();
  d.index_fn[1] = index_fn_of<Id, 1>();
  for (u32 i = 0; i < 8; ++i) d.name[i] = kTbClassRows[Id].name[i];
  d.position_count[0] = kTbClassRows[Id].count[0];
  d.position_count[1] = kTbClassRows[Id].count[1];
  return d;
}

template <int... Id>
constexpr std::array<TbClassDescriptor, kTbClassCount> descriptor_table(std::integer_sequence<int, Id...>) {
  return {descriptor<Id>()...};
}

}  // namespace
}  // namespace tb_detail

constinit const std::array<TbClassDescriptor, kTbClassCount> tb_class_descriptors =
    tb_detail::descriptor_table(std::make_integer_sequence<int, kTbClassCount>{});

}  // namespace orvex
