#include "core/bench_positions.h"

#include <cstdio>

#include "core/position_command.h"

namespace orvex {

const char* const kBenchFens[kBenchPositions] = {
    "rnbqkbnr/pppppppp/8/8/8/8/PPPPPPPP/RNBQKBNR w KQkq -",
    "r3k2r/p1ppqpb1/bn2pnp1/3PN3/1p2P3/2N2Q1p/PPPBBPPP/R3K2R w KQkq -",
    "8/2p5/3p4/KP5r/1R3p1k/8/4P1P1/8 w - -",
    "r3k2r/Pppp1ppp/1b3nbN/nP6/BBP1P3/q4N2/Pp1P2PP/R2Q1RK1 w kq -",
    "rnbq1k1r/pp1Pbppp/2p5/8/2B5/8/PPP1NnPP/RNBQK2R w KQ -",
    "r4rk1/1pp1qppp/p1np1n2/2b1p1B1/2B1P1b1/P1NP1N2/1PP1QPPP/R4RK1 w - -",
    "r1bq1rk1/pp2bppp/2n1pn2/2pp4/3P4/2PBPN2/PP1N1PPP/R1BQ1RK1 w - -",
    "4r1k1/pp3pp1/4p2p/3p4/3P4/P3P2P/1P3PP1/2R3K1 w - -",
    "8/8/4k3/3p4/3P4/4K3/8/8 w - -",
    "8/5pk1/6p1/7p/7P/6P1/r4PK1/1R6 w - -",
    "r1b2rk1/2q1b1pp/p2ppn2/1p6/3QP3/1BN1B3/PPP3PP/R4RK1 w - -",
    "4rrk1/pp1n3p/3q2pQ/2p1pb2/2PP4/2P3N1/P2B2PP/4RRK1 b - -",
};

void set_bench_position(const char* fen) {
  char line[256];
  std::snprintf(line, sizeof line, "position fen %s", fen);
  handle_position_command(line);
}

}  // namespace orvex
