// Whole-program sessions: the identification block, readiness, option
// acknowledgements, silence for unknown lines, position lines, exit codes
// and bad input.
#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "engine_process.h"

namespace orvex::e2e {
namespace {

const std::vector<std::string> kUciBlock = {
    "id name Orvex 2.1 mp",
    "id author Kestrin",
    "option name Hash type spin min 2 max 4096 default 32",
    "option name Max CPUs type spin min 1 max 2048 default 2048",
    "option name Display Draw Scores type check default false",
    "option name Output type combo default Verbose var Verbose var Normal var Sparse",
    "option name Engine Priority type combo default NormalAndLow var Normal var NormalAndLow var Low",
    "option name IO Supplementation type check default false",
    "option name Compensate Lost Time type check default true",
    "option name NalimovPath type string default <empty>",
    "option name NalimovCache type spin min 1 max 256 default 1",
    "option name NalimovUsage type combo default Never var Frequently var Normally var Rarely var Never",
    "option name Preserve Analysis type check default false",
    "option name Clear Hash type button",
    "option name Ponder type check default true",
    "option name MultiPV type spin default 1 min 1 max 100",
    "option name UCI_ShowCurrLine type check default false",
    "option name UCI_ShowRefutations type check default false",
    "option name UCI_LimitStrength type check default false",
    "option name UCI_Elo type spin default 1200 min 1200 max 2400 ",
    "option name Server Buffer type check default false",
    "option name UCI_AnalyseMode type check default false",
    "option name UCI_Opponent type string default <empty>",
    "option name UCI_EngineAbout type string default https://orvex.example.org/",
    "option name Contempt type spin default 0 min -100 max 100",
    "option name Outlook type combo default Neutral var Very Pessimistic var Slightly Pessimistic var Neutral "
    "var Slightly Optimistic var Very Optimistic var Ultra Optimistic",
    "option name Rate Of Play type combo default Normal var Ultraslow var Slow var Normal var Fast var Ultrafast",
    "option name Time Usage type combo default Varied var Constant var Varied",
    "option name Emergency Time Buffer type combo default Medium var Small var Medium var Large",
    "uciok",
};

// Lines answered before the next "readyok": the acknowledgement, or nothing.
void expect_answer(EngineProcess& engine, const std::string& line, const std::vector<std::string>& answer) {
  ASSERT_TRUE(engine.send(line));
  auto lines = engine.sync();
  ASSERT_TRUE(lines.has_value()) << "no readyok after: " << line;
  EXPECT_EQ(*lines, answer) << "after: " << line;
}

// One engine for a whole suite keeps the suite fast; each test leaves it
// ready.
class Session : public ::testing::Test {
 protected:
  static void SetUpTestSuite() { engine_ = new EngineProcess(); }
  static void TearDownTestSuite() {
    delete engine_;
    engine_ = nullptr;
  }
  static EngineProcess* engine_;
};
EngineProcess* Session::engine_ = nullptr;

TEST_F(Session, UciBlockIsExact) {
  ASSERT_TRUE(engine_->started());
  ASSERT_TRUE(engine_->send("uci"));
  EXPECT_EQ(engine_->read_until("uciok"), kUciBlock);
  auto rest = engine_->sync();
  ASSERT_TRUE(rest.has_value());
  EXPECT_TRUE(rest->empty());
}

TEST_F(Session, IsReadyAnswersOncePerLine) {
  ASSERT_TRUE(engine_->send("isready"));
  ASSERT_TRUE(engine_->send("isready"));
  EXPECT_EQ(engine_->read_line(), "readyok");
  EXPECT_EQ(engine_->read_line(), "readyok");
  EXPECT_TRUE(engine_->silent_for(100));
}

struct OptionCase {
  const char* line;
  const char* ack;  // nullptr: no answer
};

const OptionCase kOptionCases[] = {
    {"setoption name Preserve Analysis value true", "info setting preserve analysis to true"},
    {"setoption name preserve analysis value true", "info setting preserve analysis to true"},
    {"setoption name Preserve Analysis value false", "info setting preserve analysis to false"},
    {"setoption name preserve analysis value false", "info setting preserve analysis to false"},
    {"setoption name Display Draw Scores value true", "info setting display draw scores to true"},
    {"setoption name display draw scores value true", "info setting display draw scores to true"},
    {"setoption name Display Draw Scores value false", "info setting display draw scores to false"},
    {"setoption name display draw scores value false", "info setting display draw scores to false"},
    {"setoption name Output value Normal", "info setting output to normal"},
    {"setoption name output value normal", "info setting output to normal"},
    {"setoption name Output value Sparse", "info setting output to sparse"},
    {"setoption name output value sparse", "info setting output to sparse"},
    {"setoption name Output value Verbose", "info setting output to verbose"},
    {"setoption name output value verbose", "info setting output to verbose"},
    {"setoption name Engine Priority value Normal", "info setting engine priority to normal"},
    {"setoption name engine priority value normal", "info setting engine priority to normal"},
    {"setoption name Engine Priority value Low", "info setting engine priority to low"},
    {"setoption name engine priority value low", "info setting engine priority to low"},
    {"setoption name Engine Priority value NormalAndLow", "info setting engine priority to normalandlow"},
    {"setoption name engine priority value normalandlow", "info setting engine priority to normalandlow"},
    {"setoption name IO Supplementation value true", "info io supplementation set to true"},
    {"setoption name IO Supplementation value false", "info io supplementation set to false"},
    {"setoption name io supplementation value true", nullptr},
    {"setoption name Compensate Lost Time value false", "info lost time compensationto set to false"},
    {"setoption name Compensate Lost Time value true", "info lost time compensation set to true"},
    {"setoption name NalimovPath value /nonexistent/tables", nullptr},
    {"setoption name nalimovpath value", nullptr},
    {"setoption name NalimovCache value 16", nullptr},
    {"setoption name nalimovcache value 99999999999999999999", nullptr},
    {"setoption name NalimovCache value -7", nullptr},
    {"setoption name NalimovUsage value Frequently", "info setting nalimov usage to frequently"},
    {"setoption name nalimovusage value frequently", "info setting nalimov usage to frequently"},
    {"setoption name NalimovUsage value Normally", "info setting nalimov usage to normally"},
    {"setoption name nalimovusage value normally", "info setting nalimov usage to normally"},
    {"setoption name NalimovUsage value Rarely", "info setting nalimov usage to rarely"},
    {"setoption name nalimovusage value rarely", "info setting nalimov usage to rarely"},
    {"setoption name NalimovUsage value Never", "info setting nalimov usage to never"},
    {"setoption name nalimovusage value never", "info setting nalimov usage to never"},
    {"setoption name Clear Hash", nullptr},
    {"setoption name clear hash", nullptr},
    {"setoption name MultiPV value 3", "info displaying 3 variations"},
    {"setoption name multipv value 100", "info displaying 100 variations"},
    {"setoption name MultiPV value 0", "info displaying 1 variations"},
    {"setoption name MultiPV value 101", "info displaying 1 variations"},
    {"setoption name MultiPV value -4", "info displaying 1 variations"},
    {"setoption name MultiPV value 4294967298", "info displaying 1 variations"},
    {"setoption name MultiPV value", "info displaying 1 variations"},
    {"setoption name UCI_ShowCurrLine value true", "info UCI_ShowCurrLine set to true"},
    {"setoption name UCI_ShowCurrLine value false", "info UCI_ShowCurrLine set to false"},
    {"setoption name UCI_ShowRefutations value true", "info UCI_ShowRefutations set to true"},
    {"setoption name UCI_ShowRefutations value false", "info UCI_ShowRefutations set to false"},
    {"setoption name UCI_LimitStrength value true", "info UCI_LimitStrength set to true"},
    {"setoption name UCI_LimitStrength value false", "info UCI_LimitStrength set to false"},
    {"setoption name UCI_Elo value 1800", "info UCI_Elo set to 1800"},
    {"setoption name UCI_Elo value -3", "info UCI_Elo set to -3"},
    {"setoption name UCI_Elo value 99999999999999", "info UCI_Elo set to 2147483647"},
    {"setoption name UCI_Elo value", "info UCI_Elo set to 0"},
    {"setoption name uci_elo value 1800", nullptr},
    {"setoption name Server Buffer value true", "info Server Buffer set to true"},
    {"setoption name Server Buffer value false", "info Server Buffer set to false"},
    {"setoption name UCI_AnalyseMode value true", "info UCI_AnalyseMode set to true"},
    {"setoption name UCI_AnalyseMode value false", "info UCI_AnalyseMode set to false"},
    {"setoption name UCI_Opponent value GM Someone 2700 computer", "info UCI_Opponent set to GM Someone 2700 computer"},
    {"setoption name UCI_Opponent value", "info UCI_Opponent set to "},
    {"setoption name Contempt value 25", "info contempt set to 25 centipawns"},
    {"setoption name Contempt value -100", "info contempt set to -100 centipawns"},
    {"setoption name Contempt value 250", "info contempt set to 100 centipawns"},
    {"setoption name Contempt value -99999999999999999999", "info contempt set to -100 centipawns"},
    {"setoption name Contempt value", "info contempt set to 0 centipawns"},
    {"setoption name Outlook value Very Pessimistic", "info setting outlook to very pessimistic"},
    {"setoption name Outlook value Slightly Pessimistic", "info setting outlook to slightly pessimistic"},
    {"setoption name Outlook value Slightly Optimistic", "info setting outlook to slightly optimistic"},
    {"setoption name Outlook value Very Optimistic", "info setting outlook to very optimistic"},
    {"setoption name Outlook value Ultra Optimistic", "info setting outlook to ultra optimistic"},
    {"setoption name Outlook value Neutral", "info setting outlook to neutral"},
    {"setoption name outlook value neutral", nullptr},
    {"setoption name Rate Of Play value Ultraslow", "info setting rate of play to ultraslow"},
    {"setoption name Rate Of Play value Slow", "info setting rate of play to slow"},
    {"setoption name Rate Of Play value Fast", "info setting rate of play to fast"},
    {"setoption name Rate Of Play value Ultrafast", "info setting rate of play to ultrafast"},
    {"setoption name Rate Of Play value Normal", "info setting rate of play to normal"},
    {"setoption name Time Usage value Constant", "info setting time usage to constant"},
    {"setoption name Time Usage value Varied", "info setting time usage style to varied"},
    {"setoption name Emergency Time Buffer value Small", "info setting emergency time buffer to small"},
    {"setoption name Emergency Time Buffer value Large", "info setting emergency time buffer to large"},
    {"setoption name Emergency Time Buffer value Medium", "info setting emergency time buffer to medium"},
    // Declared only, or no such option, or no such value: no answer.
    {"setoption name Ponder value false", nullptr},
    {"setoption name UCI_EngineAbout value x", nullptr},
    {"setoption name Outlook value Gloomy", nullptr},
    {"setoption name Time Usage value constant", nullptr},
    {"setoption name Hash", nullptr},
    {"setoption name Nonsense value 3", nullptr},
    {"setoption", nullptr},
};

TEST_F(Session, EveryOptionRowAnswersExactly) {
  for (const OptionCase& c : kOptionCases) {
    std::vector<std::string> answer;
    if (c.ack) answer.push_back(c.ack);
    expect_answer(*engine_, c.line, answer);
  }
}

TEST_F(Session, UnknownLinesAreSilent) {
  for (const char* line : {"", "hello", "UCI", "Isready", " uci", "debug on", "register later", "d", "eval",
                           "setoption name", "position", "\t"}) {
    expect_answer(*engine_, line, {});
  }
}

TEST_F(Session, IdleCommandsAreSilent) {
  for (const char* line : {"ucinewgame", "stop", "position startpos", "ucinewgame", "setoption name Clear Hash"}) {
    expect_answer(*engine_, line, {});
  }
}

TEST_F(Session, CarriageReturnLineEndsAreRead) {
  ASSERT_TRUE(engine_->send("setoption name UCI_Opponent value Human\r\nisready\r\n", /*raw=*/true));
  EXPECT_EQ(engine_->read_line(), "info UCI_Opponent set to Human");
  EXPECT_EQ(engine_->read_line(), "readyok");
}

TEST_F(Session, PositionLinesAreSilent) {
  for (const char* line : {
           "position startpos",
           "position startpos moves e2e4 e7e5 g1f3",
           "position startpos moves    e2e4   e7e5  ",
           "position startpos moves",
           "position startpos moves \r",
           "position fen rnbqkbnr/pppppppp/8/8/4P3/8/PPPP1PPP/RNBQKBNR b KQkq e3 0 1 moves e7e5",
           "position fen 8/8/8/8/8/8/8/8 w - -",
           "position fen",
           "position fen ",
           "position fen moves",
           "position moves e2e4",
           "position fen zzzzzzzzzzzzzzzzzzzzzzzzzzzzzzzzzzzzzzzzzzzzzzzzzzzzzzzzzzzzzzzzzz/9/9 x KQkqKQkq z9",
           "position fen \xff\xfe\x80/\x81 \xc3 \xe2 \xf0",
           "position startpos moves e2e5 e7e5",
           "position startpos moves z9z9 e2e4",
           "position startpos moves e2e",
           "position startpos moves e1g1 e1c1 a7a8q",
           "position startpos moves e2e4 e7e5 e1e2 e8e7 e2e1 e7e8 e1e2 e8e7 e2e1 e7e8 e1e2 e8e7",
       }) {
    expect_answer(*engine_, line, {});
  }
}

TEST_F(Session, BadInputKeepsTheEngineAnswering) {
  const std::string long_line(20000, 'x');
  const std::string long_uci = "uci" + std::string(10000, ' ');
  const std::string long_position = "position startpos moves" + [] {
    std::string moves;
    for (int i = 0; i < 800; ++i) moves += (i % 4 == 0) ? " g1f3" : (i % 4 == 1) ? " g8f6" : (i % 4 == 2) ? " f3g1" : " f6g8";
    return moves;
  }();
  for (const std::string& line : {long_line, std::string("\x01\x02\x7f garbage \xff"), long_position,
                                  "setoption name Hash value -" + std::string(9000, '9'),
                                  "setoption name Max CPUs value " + std::string(30, '9'),
                                  "setoption name UCI_Opponent value " + std::string(5000, 'o')}) {
    ASSERT_TRUE(engine_->send(line));
    auto answer = engine_->sync(10000);
    ASSERT_TRUE(answer.has_value()) << "engine stopped answering after a line of " << line.size();
    for (const std::string& a : *answer) {
      // The only answer allowed here is the opponent acknowledgement, cut to its field.
      EXPECT_EQ(a.rfind("info UCI_Opponent set to ", 0), 0u) << a.substr(0, 80);
      EXPECT_LE(a.size(), std::string("info UCI_Opponent set to ").size() + 255);
    }
  }
  // A line over the line limit (64 KiB) is cut, and its tail is not taken as a command.
  ASSERT_TRUE(engine_->send(std::string(65536, ' ') + "isready"));
  auto lines = engine_->sync();
  ASSERT_TRUE(lines.has_value());
  EXPECT_TRUE(lines->empty());
  ASSERT_TRUE(engine_->send(long_uci));
  EXPECT_EQ(engine_->read_until("uciok").size(), kUciBlock.size());
}

TEST(Exit, QuitExitsWithZero) {
  EngineProcess engine;
  ASSERT_TRUE(engine.started());
  ASSERT_TRUE(engine.sync().has_value());
  ASSERT_TRUE(engine.send("quit"));
  EXPECT_EQ(engine.wait_exit(), 0);
}

TEST(Exit, EndOfInputExitsWithZero) {
  EngineProcess engine;
  ASSERT_TRUE(engine.started());
  ASSERT_TRUE(engine.send("position startpos moves e2e4"));
  engine.close_input();
  EXPECT_EQ(engine.wait_exit(), 0);
}

TEST(Exit, LastLineWithoutLineEndIsObeyed) {
  EngineProcess engine;
  ASSERT_TRUE(engine.send("isready", /*raw=*/true));
  engine.close_input();
  EXPECT_EQ(engine.read_line(), "readyok");
  EXPECT_EQ(engine.wait_exit(), 0);
}

}  // namespace
}  // namespace orvex::e2e
