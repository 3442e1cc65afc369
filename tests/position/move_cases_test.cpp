// Edge cases of the generators, the legality tests, make/unmake, the exchange
// test and the picker.
#include <gtest/gtest.h>

#include <array>
#include <cstring>

#include "position/keys.h"
#include "position/legality.h"
#include "position/make_move.h"
#include "position/move_picker.h"
#include "position/perft.h"
#include "position/see.h"
#include "tests/position/move_helpers.h"

namespace orvex {
namespace {

using testing::captures_text;
using testing::evasions_text;
using testing::list_text;
using testing::mv;
using testing::set_position;
using testing::sq;

using Record = testing::PickerRecord;

std::string quiet_text() {
  SearchMove moves[kMaxMoves];
  generate_quiet_moves(moves, attack_set(current_position.side_to_move ^ 1), 0, 0, 0, 0, 0, kFlatHistory);
  return list_text(moves);
}

TEST(Generators, StartPosition) {
  set_position(kStartFen);
  EXPECT_EQ(captures_text(), "");
  EXPECT_EQ(quiet_text(),
            "a2a4 a2a3 b2b4 b2b3 c2c4 c2c3 d2d4 d2d3 e2e4 e2e3 f2f4 f2f3 g2g4 g2g3 h2h4 h2h3 b1a3 b1c3 g1f3 g1h3");
}

TEST(Generators, PromotionsAndEnPassantOrderAndKeys) {
  std::string keys;
  set_position("r3k3/1P6/8/8/8/8/8/4K3 w - -");
  EXPECT_EQ(captures_text(&keys), "b7b8q b7b8n b7b8r b7a8q b7a8n b7a8r");
  EXPECT_EQ(keys, "15 0 0 40 0 0");
  set_position("4k3/8/8/3PpP2/8/8/8/4K3 w - e6");
  EXPECT_EQ(captures_text(&keys), "f5e6* d5e6*");
  EXPECT_EQ(keys, "22 22");
  // Pieces first (knights ... king), each ascending, then pawn captures toward
  // the a-file, then toward the h-file.
  set_position("4k3/8/2p1p2n/6P1/3N4/8/8/4K3 w - -");
  EXPECT_EQ(captures_text(&keys), "d4c6 d4e6 g5h6");
  EXPECT_EQ(keys, "21 21 28");
}

TEST(Generators, Evasions) {
  struct Case {
    const char* fen;
    const char* expected;
  };
  const Case cases[] = {
      // Double check: king moves only, although the rook could take the knight.
      {"4r2k/8/8/8/8/R2n4/8/4K3 w - -", "e1d1 e1f1 e1d2"},
      // A rook on the rank: the king may not step away along it (f1), although
      // the attack set does not show f1.
      {"4k3/8/8/8/8/8/8/r3K3 w - -", "e1d2 e1e2 e1f2"},
      // A pawn's check does not forbid the square diagonally behind the king.
      {"4k3/8/8/3p4/4K3/8/8/8 w - -", "e4d3 e4e3 e4f3 e4d4 e4f4 e4d5 e4e5 e4f5"},
      // A pawn that has just made its double step is taken en passant.
      {"4k3/8/8/3pP3/4K3/8/8/8 w - d6", "e4d3 e4e3 e4f3 e4d4 e4f4 e4d5 e4f5 e5d6*"},
      // Single checker: king moves, pawn captures (promotions), pushes, pieces.
      {"3rk3/4P3/8/8/8/8/2P5/1N1K4 w - -", "d1c1 d1e1 d1e2 e7d8q e7d8n e7d8r b1d2"},
  };
  for (const Case& c : cases) {
    set_position(c.fen);
    EXPECT_EQ(evasions_text(), c.expected) << c.fen;
  }
  // An explicit target mask narrows king moves, pushes and piece moves but not
  // the pawn captures of the checker.
  set_position("3rk3/4P3/8/8/8/8/2P5/1N1K4 w - -");
  EvasionList list[kMaxMoves / 2];
  const EvasionList* last = generate_evasions(list, ~attack_set(kBlack), bit(sq("e2")));
  EXPECT_EQ(testing::list_text(list, last), "d1e2 e7d8q e7d8n e7d8r");
  EXPECT_EQ(generate_evasions(list, 0, 0), list + 2);
}

TEST(Generators, CastlingLongNeedsCAndDSafeButNotB) {
  struct Case {
    const char* fen;
    bool castles;
  };
  const Case cases[] = {
      {"1r2k3/8/8/8/8/8/8/R3K3 w Q -", true},
      {"2r1k3/8/8/8/8/8/8/R3K3 w Q -", false},
      {"3rk3/8/8/8/8/8/8/R3K3 w Q -", false},
      {"4k3/8/8/8/8/8/8/RN2K3 w Q -", false},
      {"4k3/8/8/8/8/8/8/R3K3 w K -", false},
  };
  for (const Case& c : cases) {
    set_position(c.fen);
    EXPECT_EQ(quiet_text().find("e1c1+") != std::string::npos, c.castles) << c.fen;
  }
}

TEST(Generators, QuietChecks) {
  SearchMove moves[kMaxMoves];
  const Position& p = current_position;
  // A knight check that takes a pawn is a quiet check only when the pawns are
  // left out of the capture targets.
  set_position("4k3/8/3p4/8/4N3/8/8/4K3 w - -");
  generate_quiet_checks(moves, ~p.colour_bb[kWhite], ~p.colour_bb[kBlack]);
  EXPECT_EQ(list_text(moves), "e4f6");
  generate_quiet_checks(moves, ~p.colour_bb[kWhite], ~(p.colour_bb[kBlack] & ~p.piece_bb[kBlackPawn - 2]));
  EXPECT_EQ(list_text(moves), "e4d6 e4f6");
  // Uncovering: a pawn between bishop and king pushes (single, then double);
  // a rook's pawn on a file does not; a king between rook and king steps off
  // the rank and file.
  set_position("k7/8/8/8/8/8/6P1/5KRB w - -");
  generate_quiet_checks(moves, ~p.colour_bb[kWhite], ~p.colour_bb[kBlack]);
  EXPECT_EQ(list_text(moves), "g2g3 g2g4");
  set_position("k7/8/8/8/K7/8/8/R7 w - -");
  generate_quiet_checks(moves, ~p.colour_bb[kWhite], ~p.colour_bb[kBlack]);
  EXPECT_EQ(list_text(moves), "a4b3 a4b4 a4b5");
  // Pawn pushes onto the squares from which a pawn attacks the king.
  set_position("8/8/3k4/8/2P1P3/8/8/K7 w - -");
  generate_quiet_checks(moves, ~p.colour_bb[kWhite], ~p.colour_bb[kBlack]);
  EXPECT_EQ(list_text(moves), "e4e5 c4c5");
  set_position("8/8/8/3k4/8/8/2P1P3/K7 w - -");
  generate_quiet_checks(moves, ~p.colour_bb[kWhite], ~p.colour_bb[kBlack]);
  EXPECT_EQ(list_text(moves), "e2e4 c2c4");
}

TEST(LegalityTests, KillersAndHashMoves) {
  struct Case {
    const char* fen;
    SearchMove move;
    bool killer;  // is_valid_killer
    bool hash;    // is_pseudo_legal
  };
  const Case cases[] = {
      // Castling: the killer test refuses an attacked f1, not an attacked g1;
      // the hash-move test makes no attack test.
      {"4kr2/8/8/8/8/8/8/4K2R w K -", mv("e1g1", kMoveCastle), false, true},
      {"4k1r1/8/8/8/8/8/8/4K2R w K -", mv("e1g1", kMoveCastle), true, true},
      {"4k3/8/8/8/8/8/8/4K2R w Q -", mv("e1g1", kMoveCastle), false, false},
      {"4k3/8/8/8/8/8/8/4KB1R w K -", mv("e1g1", kMoveCastle), false, false},
      {"1r2k3/8/8/8/8/8/8/R3K3 w Q -", mv("e1c1", kMoveCastle), true, true},
      {"3rk3/8/8/8/8/8/8/R3K3 w Q -", mv("e1c1", kMoveCastle), false, true},
      {"4k3/8/8/8/8/8/8/RN2K3 w Q -", mv("e1c1", kMoveCastle), false, false},
      // Captures and en passant are never killers.
      {"4k3/8/8/8/8/5p2/8/4K1N1 w - -", mv("g1f3"), false, true},
      {"4k3/8/8/3pP3/8/8/8/4K3 w - d6", mv("e5d6", kMoveEnPassant), false, true},
      // Promotions need the promotion field.
      {"k7/4P3/8/8/8/8/8/4K3 w - -", mv("e7e8"), false, false},
      {"k7/4P3/8/8/8/8/8/4K3 w - -", mv("e7e8", kMovePromoQueen), false, true},
      {"k2r4/4P3/8/8/8/8/8/4K3 w - -", mv("e7d8", kMovePromoKnight), false, true},
      // A piece of the side not to move, also by pawn capture and en passant.
      {"4k3/8/8/8/8/5p2/4P3/4K3 b - -", mv("e2f3"), false, false},
      {"4k3/8/8/8/3pP3/8/8/4K3 b - e3", mv("e4d3", kMoveEnPassant), false, false},
      {"4k3/8/8/3pP3/8/8/8/4K3 w - d6", mv("d5e4"), false, false},
      // Never a king capture or an own piece.
      {"4k3/8/8/8/8/8/8/4RK2 w - -", mv("e1e8"), false, false},
      {"4k3/8/8/8/8/8/4P3/4RK2 w - -", mv("e1e2"), false, false},
      // Sliders through pieces; a knight's jump over them.
      {"4k3/8/8/8/8/8/4P3/4RKN1 w - -", mv("e1e3"), false, false},
      {"4k3/8/8/8/8/8/4PP2/4RKN1 w - -", mv("g1e2"), false, false},
      {"4k3/8/8/8/8/8/4PP2/4RKN1 w - -", mv("g1h3"), true, true},
      // Safety: a promotion field needs a pawn; a castling flag needs the own
      // king on its home square moving to its own g- or c-square; en passant
      // must land on the en-passant square.
      {"3rk3/1N6/8/8/8/8/8/4K3 w - -", mv("b7d8", kMovePromoQueen), false, false},
      {"4k3/1N6/8/8/8/8/8/4K3 w - -", mv("b7d8"), true, true},
      {"4k3/1N6/8/8/8/8/8/4K3 w - -", mv("b7d8", kMovePromoKnight), false, false},
      {"4k3/8/8/8/8/8/8/4K2R w K -", mv("h1g1", kMoveCastle), false, false},
      {"4k3/8/8/8/8/8/8/3K3R w K -", mv("d1f1", kMoveCastle), false, false},
      {"4k3/8/8/8/8/8/8/4K2R w K -", mv("e1f1", kMoveCastle), false, false},
      {"4k2r/8/8/8/8/8/8/4K2R w Kk -", mv("e8g8", kMoveCastle), false, false},
      {"4k3/8/8/8/8/8/4P3/4K2R w K -", mv("e2g1", kMoveCastle), false, false},
      {"4k3/8/8/3pPp2/8/8/8/4K3 w - d6", mv("e5f6", kMoveEnPassant), false, false},
      {"4k3/8/8/3pPp2/8/8/8/4K3 w - d6", mv("e5d6", kMoveEnPassant), false, true},
      {"4k3/8/8/3pPp2/8/8/8/4K3 w - d6", mv("e5d6", kMoveEnPassant | kMovePromoQueen), false, false},
      // Pawn captures never wrap across the board edge.
      {"4k3/8/8/7p/P7/8/8/4K3 w - -", mv("a4h5"), false, false},
      // Pawn steps.
      {"4k3/8/8/8/8/8/4P3/4K3 w - -", mv("e2e4"), true, true},
      {"4k3/8/8/8/8/4n3/4P3/4K3 w - -", mv("e2e4"), false, false},
      {"4k3/8/8/8/8/8/4P3/4K3 w - -", mv("e2e5"), false, false},
      {"4k3/8/8/8/8/8/8/4K3 w - -", 0, false, false},
  };
  for (const Case& c : cases) {
    set_position(c.fen);
    const u64 attacks_them = attack_set(current_position.side_to_move ^ 1);
    EXPECT_EQ(is_valid_killer(c.move, attacks_them), c.killer) << c.fen << " " << testing::text(c.move);
    EXPECT_EQ(is_pseudo_legal(c.move), c.hash) << c.fen << " " << testing::text(c.move);
  }
}

TEST(MakeMove, CastlingDoubleStepsEnPassantPromotionNullMove) {
  Position& p = current_position;
  // Castling short: rook to f1, both white rights gone, fifty reset, the rook's
  // piece-square difference of +208.
  set_position("4k3/8/8/8/8/8/8/4K2R w K -");
  p.state.fifty = 7;
  const i32 mg_before = p.state.pst_mg;
  UndoRecord u;
  make_move(mv("e1g1", kMoveCastle), u);
  EXPECT_EQ(p.board[sq("f1")], kWhiteRook);
  EXPECT_EQ(p.board[sq("h1")], kNoPiece);
  EXPECT_EQ(p.state.castling, 0u);
  EXPECT_EQ(p.state.fifty, 0u);
  EXPECT_EQ(p.state.pst_mg - mg_before, piece_square_table[kWhiteKing - 2][sq("g1")].mg -
                                            piece_square_table[kWhiteKing - 2][sq("e1")].mg + 208);
  unmake_move(mv("e1g1", kMoveCastle), u);
  EXPECT_EQ(p.state.fifty, 7u);

  // Double steps set the en-passant square only beside an enemy pawn, without
  // wrapping around the board edge.
  struct Step {
    const char* fen;
    const char* move;
    const char* ep;
  };
  const Step steps[] = {
      {"4k3/8/8/8/3p4/8/4P3/4K3 w - -", "e2e4", "e3"},
      {"4k3/8/8/8/5p2/8/4P3/4K3 w - -", "e2e4", "e3"},
      {"4k3/8/8/8/8/3p4/4P3/4K3 w - -", "e2e4", nullptr},
      {"4k3/8/8/8/8/7p/P7/4K3 w - -", "a2a4", nullptr},
      {"4k3/8/8/p7/8/8/7P/4K3 w - -", "h2h4", nullptr},
      {"4k3/8/8/8/8/1p6/P7/4K3 w - -", "a2a4", nullptr},
      {"4k3/8/8/8/1p6/8/P7/4K3 w - -", "a2a4", "a3"},
      {"4k3/4p3/8/5P2/8/8/8/4K3 b - -", "e7e5", "e6"},
  };
  for (const Step& s : steps) {
    set_position(s.fen);
    make_move(mv(s.move), u);
    EXPECT_EQ(p.state.ep_square, s.ep ? sq(s.ep) : 0u) << s.fen;
    EXPECT_EQ(p.state.key, compute_zobrist_key(p)) << s.fen;
  }

  // En passant: nothing recorded as captured, the pawn behind the target gone.
  set_position("4k3/8/8/3pP3/8/8/8/4K3 w - d6");
  make_move(mv("e5d6", kMoveEnPassant), u);
  EXPECT_EQ(u.captured, 0u);
  EXPECT_EQ(p.board[sq("d5")], kNoPiece);
  EXPECT_EQ(p.piece_bb[kBlackPawn - 2], 0u);
  unmake_move(mv("e5d6", kMoveEnPassant), u);
  EXPECT_EQ(p.board[sq("d5")], kBlackPawn);

  // Promotion with capture: pawn out, knight in, rook out; the long black
  // right goes with the a8 rook.
  set_position("r3k3/1P6/8/8/8/8/8/4K3 w q -");
  const u32 index_before = p.state.material_index;
  make_move(mv("b7a8", kMovePromoKnight), u);
  EXPECT_EQ(p.board[sq("a8")], kWhiteKnight);
  EXPECT_EQ(u.captured, kBlackRook);
  EXPECT_EQ(p.state.material_index, index_before - 2916 + 324 - 12);
  EXPECT_EQ(p.state.castling, 0u);
  unmake_move(mv("b7a8", kMovePromoKnight), u);
  EXPECT_EQ(p.board[sq("b7")], kWhitePawn);

  // A capture on h8 removes the black short right; a rook leaving a1 the white long.
  set_position("r3k2r/8/8/8/8/8/8/R3K2R w KQkq -");
  make_move(mv("h1h8"), u);
  EXPECT_EQ(p.state.castling, u32(kCastleWhiteLong | kCastleBlackLong));
  unmake_move(mv("h1h8"), u);
  make_move(mv("a1a2"), u);
  EXPECT_EQ(p.state.castling, u32(kCastleWhiteShort | kCastleBlackShort | kCastleBlackLong));
  unmake_move(mv("a1a2"), u);

  // The null move flips side and key, clears en passant, keeps fifty.
  set_position("4k3/8/8/3pP3/8/8/8/4K3 w - d6");
  p.state.fifty = 3;
  const Position before = p;
  NullMoveUndo nu;
  make_null_move(nu);
  EXPECT_EQ(p.side_to_move, kBlack);
  EXPECT_EQ(p.state.ep_square, 0u);
  EXPECT_EQ(p.state.fifty, 3u);
  EXPECT_EQ(p.state.key, before.state.key ^ kSideKey ^ ep_keys[sq("d6") & 7]);
  EXPECT_EQ(p.state.key, compute_zobrist_key(p));
  EXPECT_EQ(p.state.history_count, before.state.history_count + 1);
  unmake_null_move(nu);
  EXPECT_EQ(std::memcmp(&p.state, &before.state, sizeof p.state), 0);
  EXPECT_EQ(p.side_to_move, kWhite);
}

TEST(ExchangeTest, EdgeCases) {
  struct Case {
    const char* fen;
    SearchMove move;
    bool safe;
  };
  const Case cases[] = {
      {"4k3/8/8/3p4/4P3/8/8/4K3 w - -", mv("e4d5"), true},
      {"4k3/8/4p3/3b4/8/2N5/8/4K3 w - -", mv("c3d5"), true},
      {"4k3/8/4p3/3n4/8/8/6B1/4K3 w - -", mv("g2d5"), true},
      {"4k3/8/4p3/3q4/8/8/8/3RK3 w - -", mv("d1d5"), true},
      {"4k3/8/8/3pP3/8/8/8/4K3 w - d6", mv("e5d6", kMoveEnPassant), true},
      {"4k3/8/4p3/3p4/8/2N5/8/4K3 w - -", mv("c3d5"), false},
      {"4k3/8/5n2/3p4/8/8/8/3QK3 w - -", mv("d1d5"), false},
      {"4k3/8/8/3n4/4b3/8/8/3RK3 w - -", mv("d1d5"), false},
      {"4k3/8/8/3n4/4b3/2N5/8/3RK3 w - -", mv("d1d5"), true},
      {"3rk3/8/8/3p4/8/8/3R4/3RK3 w - -", mv("d2d5"), true},
      {"3rk3/8/8/3p4/8/8/3R4/4K3 w - -", mv("d2d5"), false},
      {"4k3/8/8/8/8/8/3p4/4K3 w - -", mv("e1d2"), true},
      {"3rk3/8/8/8/8/8/3p4/4K3 w - -", mv("e1d2"), false},
      {"4k3/8/8/4p3/8/8/8/3QK3 w - -", mv("d1d4"), false},
      {"4k3/8/8/4p3/8/8/3P4/4K3 w - -", mv("d2d4"), false},
      {"4k3/1P1n4/8/8/8/8/8/4K3 w - -", mv("b7b8", kMovePromoQueen), false},
      {"4k3/1P1n4/8/8/8/8/8/1R2K3 w - -", mv("b7b8", kMovePromoQueen), true},
      // Queen takes a pawn defended by a bishop: refused before any exchange.
      {"4k3/8/8/3p4/4b3/8/8/3QK3 w - -", mv("d1d5"), false},
      // Black to move, mirrored: rook takes a pawn defended by a rook, with and
      // without a second rook behind.
      {"3rk3/3r4/8/8/3P4/8/8/3RK3 b - -", mv("d7d4"), true},
      {"4k3/3r4/8/8/3P4/8/8/3RK3 b - -", mv("d7d4"), false},
  };
  for (const Case& c : cases) {
    set_position(c.fen);
    EXPECT_EQ(is_see_safe(c.move), c.safe) << c.fen << " " << testing::text(c.move);
  }
}

std::string picked(MovePicker& picker, const Record& rec, const std::array<u32, 768>& history) {
  std::string s;
  while (SearchMove m = next_move(picker, rec, history)) {
    if (!s.empty()) s += ' ';
    s += testing::text(m);
  }
  return s;
}

TEST(MovePicker, Stages) {
  std::array<u32, 768> history{};
  Record rec;
  MovePicker picker;
  // Best capture key first, equal keys in list order; the hash move first and
  // not again; a losing capture after all quiet moves.
  set_position("4k3/8/2p1p2n/6P1/3N4/8/8/4K3 w - -");
  rec.attacks_them = attack_set(kBlack);
  start_picker(picker, mv("d4e6"));
  std::string all = picked(picker, rec, history);
  EXPECT_EQ(all.substr(0, 20), "d4e6 g5h6 d4c6 g5g6 ");

  set_position("4k3/2p5/3p4/8/8/8/8/3QK3 w - -");
  rec.attacks_them = attack_set(kBlack);
  start_picker(picker, 0);
  all = picked(picker, rec, history);
  EXPECT_EQ(all.substr(all.size() - 5), " d1d6");
  EXPECT_EQ(all.find("d1d6"), all.size() - 4);

  // Killers: one equal to the hash move is not repeated, one whose target is
  // occupied or whose piece is gone is skipped, a valid one comes after the
  // captures; neither hash move nor killers come again with the quiet moves,
  // which follow the history.
  set_position("4k3/8/8/8/8/8/4P3/4K1N1 w - -");
  rec.attacks_them = attack_set(kBlack);
  rec.killers[0] = mv("g1f3");
  rec.killers[1] = mv("e1e2");
  rec.killers[2] = mv("b1c3");
  rec.killers[3] = mv("e2e4");
  history[(kWhiteKing - 2) * 64 + sq("f2")] = 50;
  history[(kWhiteKnight - 2) * 64 + sq("h3")] = 40;
  start_picker(picker, mv("g1f3"));
  EXPECT_EQ(picked(picker, rec, history), "g1f3 e2e4 e1f2 g1h3 e2e3 e1d1 e1f1 e1d2");

  // No captures and no killers: the hash move, the quiet moves by history, 0.
  rec = Record{};
  rec.attacks_them = attack_set(kBlack);
  start_picker(picker, mv("e1d1"));
  EXPECT_EQ(picked(picker, rec, history), "e1d1 e1f2 g1h3 e2e4 e2e3 g1f3 e1f1 e1d2");
  EXPECT_EQ(next_move(picker, rec, history), 0u);

  // A hash move that is not pseudo-legal here is never handed out.
  start_picker(picker, mv("e1e3"));
  EXPECT_EQ(picked(picker, rec, history).substr(0, 4), "e1f2");

  // Evasion mode hands out the caller's order, then 0.
  set_position("4k3/8/8/8/8/8/8/r3K3 w - -");
  EvasionList* last = generate_evasions(picker.evasions, ~attack_set(kBlack));
  EXPECT_EQ(last - picker.evasions, 2);
  std::swap(picker.evasions[0], picker.evasions[2]);
  start_evasion_picker(picker);
  EXPECT_EQ(picked(picker, rec, history), "e1f2 e1e2 e1d2");
}

}  // namespace
}  // namespace orvex
