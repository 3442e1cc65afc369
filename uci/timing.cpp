// The timing suite.
#include "uci/timing.h"

#include <cstring>

#include "core/position_command.h"
#include "core/worker_team.h"
#include "platform/platform.h"
#include "search/host.h"
#include "search/limits.h"
#include "uci/front_end_status.h"
#include "uci/go.h"
#include "uci/options.h"

namespace orvex {

const char* const timing_positions[kTimingPositionCount] = {
    "4r3/1b2rp1k/1p1q1bpp/pP1p3P/P1pP4/4PB2/2Q2PP1/2R1RNK1 w - -",
    "4r1k1/1pqb1ppp/5n2/P3nN2/4P3/2BP2PP/1Q6/R4BK1 w - -",
    "6k1/2p1r1pp/2Qb1p2/3P3q/1P6/P2R2P1/r4BKP/5R2 w - -",
    "2b3k1/3n1ppp/p3p3/p3Bn2/Rbr5/2N2B2/1PP3PP/3R3K w - -",
    "4r1k1/7p/6p1/R7/P2QpP1P/2r3P1/3R2K1/2q5 b - -",
    "r4r2/6kp/1n1qB1p1/p7/3PpP2/P5QP/R5P1/5RK1 w - -",
    "2k5/pb1r1pr1/8/1qNp4/1ppB4/6P1/1P3PBP/R4RK1 b - -",
    "8/3rkpp1/4p3/1P2q1PQ/2Pr3P/R2B4/2K5/3Rb3 w - -",
    "2q3k1/np3p1p/p3p1p1/3pP1N1/3P4/bP5Q/3B1PPP/6K1 b - -",
    "4r1k1/4r2p/1q4p1/p7/3RpP2/P2RQ2P/6PK/8 w - -",
    "8/2p1rkpp/3b1p2/1P6/P3q1Q1/5RP1/r4BKP/5R2 w - -",
    "5r1k/p1p4p/1p1p2pq/2nP4/2P1PrB1/5PQP/P5K1/1R3R2 w - -",
    "8/r3k1p1/1q2pp2/1P4b1/2Pr4/1R1B4/5Q2/1K3R2 w - -",
    "4r1k1/7p/6p1/R7/P3pP1P/2r1Q1P1/3R2K1/2q5 w - -",
    "5r1k/p1p2rqp/1p1p2p1/2nP4/2P1P1B1/5PQP/P6K/1R4R1 w - -",
    "2rr1k2/5pp1/p3p1n1/P1pqPnNQ/1p1p1P1p/1P1P1R2/2P2BPP/4R1K1 b - -",
    "1rr4k/2q1b2p/b2ppp1P/p5p1/P1n1P1P1/1NN2PB1/1PP2R2/2KRQ3 b - -",
    "rn3rk1/4qpp1/1pp1p3/pN2Pp2/3P1Q2/8/PP3PPP/2RR2K1 w - -",
    "6k1/1p1b1ppp/3Q1n2/P3rN2/4P3/R1qP2PP/8/5BK1 b - -",
    "r2r2k1/p2q1pp1/1n2p3/7p/4N3/2Q5/PP3PPP/R3R1K1 b - -",
    "3r2k1/5pp1/6rp/1b2p3/p1p1P1B1/Q1Rp3P/5PP1/4K3 b - -",
    "4r1k1/5p2/1p2r2p/pP1p2b1/2pP4/q3P3/1R1Q1PP1/1R3NK1 w - -",
    "8/2p2pk1/1q1n2p1/pb1P3p/3R4/5B2/1P3Q2/6K1 w - -",
    "r4rk1/2qbbpp1/3p3p/3PpP2/pQ4P1/4BB2/PPP4P/1K1R3R b - -",
    "1r1r2k1/pB3pbp/6p1/2q1P1P1/5Pb1/1PPp2P1/PQ1R3K/RN6 w - -",
    "2q1r1k1/1b3ppp/p7/1pbp4/2nR1P2/P1Q2BP1/1PP1N2P/3R3K w - -",
    "3r3k/7p/6p1/R7/P4P1P/4p1P1/4Q1K1/2q5 w - -",
    "rr4k1/2qbbpp1/3p3p/3PpP2/p5P1/Q3BB2/PPP4P/1K1R3R b - -",
    "1rq3k1/3b1pp1/1r1p3p/3PpP2/p3B1Pb/2P5/PPQ4P/K1B3RR b - -",
    "rn4k1/3rqpp1/1ppNp3/p3Pp2/3P1Q2/3R4/PP3PPP/2R3K1 w - -",
    "1rr4k/1bq1b2p/p2ppp1P/6p1/2n1P1P1/1NN2PB1/PPP1Q3/2KR1R2 w - -",
    "1r4k1/1p2bppp/pNp5/4P3/4n1q1/3B2PP/PPP2P2/R4QK1 b - -",
    "4r3/4rp1k/1p1q1bpp/pP1p1b1P/P1pP4/2Q1PB2/3N1PP1/2R1R1K1 w - -",
    "6k1/1p3p2/4p1p1/P1b1P2p/2PqNP2/2Q1p2P/6PK/8 w - -",
    "1q4k1/3r1pp1/3rpb1p/1P6/5PP1/1RPBQ3/1K5P/3R4 w - -",
    "8/1b2qpk1/p5p1/1p1p4/3N4/1P3BP1/2P3KP/Qn6 b - -",
    "1r4k1/1p5p/p1pN2p1/P1P2p2/1P2P3/2b3PP/b5B1/1R4K1 w - -",
    "2k5/Rb1r4/7q/3p1p2/1ppB1P2/6P1/1P4BP/4R1K1 b - -",
    "r7/p2bk1r1/1ppNpp1p/2P1Pp2/3P4/3R2PP/P1KR1P2/8 b - -",
    "2b5/8/p7/7P/2P5/1nk5/4B3/4K3 b - -",
    "1rq3k1/3b1pp1/1r1p3p/3PpPb1/p3B1P1/2P5/PPQ3RP/K1B4R b - -",
    "5rk1/6pp/pq2p1p1/1p2P3/8/P1R1N2Q/1P5P/3b2K1 w - -",
    "1rqb2k1/3b1pp1/1r1p3p/3PpP2/p3B1PP/2PQ4/PP4R1/K1B4R b - -",
    "2rr2k1/p4pp1/4b2p/1Pp1p3/q1PpP3/8/PR1Q1PPP/2RB2K1 b - -",
    "2n3k1/2p2p2/pq4p1/1b1P3p/7R/4Q3/1P4B1/6K1 w - -",
    "5rk1/4bpp1/4pq1p/1p6/r3Q3/P4P2/1PP3PP/1K1R1B1R w - -",
    "2brrnk1/5pp1/1q2p2p/pp1pP3/2pP1PP1/P1P3Q1/2PN1RBP/1R4K1 w - -",
    "2b3k1/3n1ppp/p7/p1r1pn2/1b6/2NR4/1PPBB1PP/R6K b - -",
    "6k1/p4pp1/1n2p3/3r3p/3qN3/1P3Q2/P1r2PPP/3RR1K1 b - -",
    "r2r3k/pp4qp/1n1N1bp1/2B2p1P/8/1bP2NQ1/1P1R1PP1/2KR4 w - -",
    "4r1k1/1pq2ppp/2b2n2/P3nN2/8/2BPP1PP/1Q6/R4BK1 w - -",
    "1rr4k/1bq1b2p/3ppp1P/p5p1/P1n1P1P1/1NN2PB1/1PP5/2KRQR2 b - -",
    "1r1b4/5pk1/1r1p3p/1bqPp3/4B1PP/pPP2Q2/P5R1/K1B4R w - -",
    "4r1k1/1pqn1ppp/2b2n2/P4N2/8/2BPP1PP/1Q6/R4BK1 b - -",
    "2r3k1/pp3pp1/2qBp1p1/3bP3/5Q1P/P5P1/1PP5/1KR5 w - -",
    "4k2r/3pb3/p5p1/1pr1P3/7p/P1P5/1P1BR2P/3R2K1 b k -",
    "r2r3k/pp4qp/1n1N1b2/2B2QpP/8/1bP2N2/1P1R1PP1/2K4R b - -",
    "2r3k1/pp3pp1/b2Bp1p1/q2rP3/3R2Q1/6P1/PPP4P/1KR5 b - -",
    "7k/pb4pP/4p3/1P1p4/R6P/2qB4/1b1QKPR1/2r5 b - -",
    "r2br1k1/3q1p1p/p5p1/3bP3/5Q2/2BB4/6PP/3R1R1K b - -",
    "2kr3r/4qpp1/1Pp2n2/p1Rp3p/Pn1PP2P/1Q3PP1/3N1B1K/5R2 b - -",
    "rn3rk1/4qpp1/1ppNp3/p3Pp2/3P1Q2/8/PP3PPP/2RR2K1 b - -",
    "3r2k1/5pp1/1r5p/1b2p3/p1p1P1B1/Q1Rp3P/3K1PP1/8 b - -",
    "5rk1/q5pp/p3p1p1/1p2P3/7Q/P1R1N3/1P5P/3b2K1 w - -",
    "2k1rb1r/pp5p/5p2/5N1R/3P4/8/PP2p1PP/4R1K1 w - -",
    "q5k1/4Qpp1/p3p3/4P3/PP3P1p/P2r3P/5BPK/8 b - -",
    "r4r1k/pp4qp/3N1bp1/n2n1p2/8/B1P2NQ1/bP1R1PPP/2KB3R w - -",
};

void format_timing_log_line(u32 elapsed_ms, const char* fen, char* buf, std::size_t size) {
  const i32 ms = static_cast<i32>(elapsed_ms);
  std::snprintf(buf, size, "%d.%03d %50s\n", ms / 1000, ms % 1000, fen);
}

void format_timing_summary(i32 count, u32 total_ms, char* buf, std::size_t size) {
  const i32 avg = count > 0 ? static_cast<i32>(total_ms / static_cast<u32>(count)) : 0;
  std::snprintf(buf, size, "\nct: %d avg: %d.%03d\n\n", count, avg / 1000, avg - (avg / 1000) * 1000);
}

u32 run_timing_test(const char* fen, std::FILE* log, i32& count) {
  char text[kPositionLineSize];
  std::snprintf(text, sizeof text, "position fen %s", fen);
  std::memcpy(position_line, text, sizeof position_line);
  send_to_workers(text);
  handle_position(text);

  char go[32];
  std::snprintf(go, sizeof go, "go depth %d", 12);
  const u32 t0 = platform::tick_count();
  send_to_workers("go infinite");
  handle_go(go);
  const u32 t1 = platform::tick_count();
  const u32 elapsed = t1 - t0;

  char line[256];
  format_timing_log_line(elapsed, fen, line, sizeof line);
  std::fputs(line, log);
  std::fflush(log);
  ++count;
  return elapsed;
}

void run_timing_tests() {
  // Started from inside a running search (through the input poll) the suite
  // would nest searches inside the search; it waits for an idle engine.
  if (front_end_busy()) return;

  std::FILE* log = std::fopen("timing_log.txt", "w");
  std::FILE* summary = std::fopen("timing_summary.txt", "w");
  if (!log || !summary) {
    if (log) std::fclose(log);
    if (summary) std::fclose(summary);
    if (may_answer()) send_line("info string timing tests not run: cannot write their files\n");
    return;
  }

  // Two principal variations: every test searches the general configuration.
  search_settings.multipv = 2;
  search_settings.worker_multipv = 2;
  send_to_workers("setoption name MultiPV value 2");
  if (may_answer()) send_line("info displaying %d variations\n", 2);

  quiet = 1;
  i32 count = 0;
  u32 total = 0;
  for (const char* fen : timing_positions) total += run_timing_test(fen, log, count);

  char text[128];
  format_timing_summary(count, total, text, sizeof text);
  std::fputs(text, log);
  std::fputs(text, summary);
  std::fclose(log);
  std::fclose(summary);

  quiet = 0;
  if (may_answer()) send_line("timing tests finished\n");
}

}  // namespace orvex
