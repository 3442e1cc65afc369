// What the tests that run whole searches share: standard input turned into
// an open pipe with nothing in it (the searches poll it, and its end would
// end the process), and a small transposition table attached for each test.
#pragma once
#include <gtest/gtest.h>
#include <unistd.h>

#include <vector>

#include "core/worker_team.h"
#include "search/host.h"
#include "search/tt.h"

namespace orvex::testing {

class IdleInput : public ::testing::Environment {
 public:
  void SetUp() override {
    int fds[2];
    ASSERT_EQ(pipe(fds), 0);
    ASSERT_GE(dup2(fds[0], 0), 0);
    close(fds[0]);
    writer_ = fds[1];
  }
  void TearDown() override { close(writer_); }

 private:
  int writer_ = -1;
};
// Registered once per test program, whichever of its files include this.
inline const ::testing::Environment* const idle_input = ::testing::AddGlobalTestEnvironment(new IdleInput);

// A table of 2^16 entries (1 MB) plus the three spare ones, one process,
// no output.
class SearchFixture : public ::testing::Test {
 protected:
  void SetUp() override {
    static std::vector<TtEntry> memory((1u << 16) + 3);
    tt_attach(memory.data(), memory.size());
    quiet = 1;
    process_team.process_count = 1;
  }
  void TearDown() override { tt_detach(); }
};

}  // namespace orvex::testing
