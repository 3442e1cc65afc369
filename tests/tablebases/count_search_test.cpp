// The count search of tools/tb_count_search.h, which derived the counts of
// classes 36 to 200, finds every count that is published: all classes of three
// to five men and a sample of the six-man rows (the full check of classes 201
// to 440 is `tool_tb_counts 201 440`).
#include <gtest/gtest.h>

#include "tools/tb_count_search.h"

namespace orvex::testing {
namespace {

TEST(TbCountSearch, SlowFindsTheCountsOfThreeToFiveMen) {
  for (int id = 1; id <= 145; ++id) {
    for (int side = 0; side < 2; ++side) {
      EXPECT_EQ(tb_count_search::position_count(id, side), tb_class_descriptors[id].position_count[side])
          << tb_class_descriptors[id].name << " " << side;
    }
  }
}

// Published six-man counts: pawnless two against two, every family of the
// classes with pawns, en-passant regions and tables whose last numbers belong
// to no legal position.
TEST(TbCountSearch, SlowFindsGivenSixManCounts) {
  const struct {
    int id;
    u64 first, second;
  } given[] = {
      {146, 1301488080, 1301488080},   {180, 5489194800, 5489194800},   {186, 5446215660, 5489194800},
      {201, 1917741812, 1917741812},   {211, 17168385456, 16455976740}, {216, 5231873656, 4966717366},
      {226, 17032882752, 16919868906}, {231, 3428678952, 3197807670},   {245, 12651597608, 12651597608},
      {267, 2560971346, 2837667540},   {343, 5083836303, 5535621900},   {346, 1196695343, 1348100424},
      {351, 12979462304, 13670845224}, {352, 8146120416, 8817262080},   {385, 16186823401, 17458940160},
      {411, 1537640536, 1827875872},   {440, 7297961576, 8514011520},
  };
  for (const auto& g : given) {
    EXPECT_EQ(tb_count_search::position_count(g.id, 0), g.first) << tb_class_descriptors[g.id].name;
    EXPECT_EQ(tb_count_search::position_count(g.id, 1), g.second) << tb_class_descriptors[g.id].name;
  }
}

}  // namespace
}  // namespace orvex::testing
