// The edition's searches poll standard input every 32768 made moves and obey
// what they find there (the end of input ends the process).  Every test of
// this program runs with an open pipe on standard input that stays empty.
#include <gtest/gtest.h>
#include <unistd.h>

namespace {

class QuietStdin : public ::testing::Environment {
 public:
  void SetUp() override {
    int fds[2];
    ASSERT_EQ(pipe(fds), 0);
    ASSERT_GE(dup2(fds[0], 0), 0);
  }
};

const auto* const kQuietStdin = ::testing::AddGlobalTestEnvironment(new QuietStdin);

}  // namespace
