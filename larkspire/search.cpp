#include "larkspire/search.h"

#include <algorithm>
#include <cinttypes>
#include <cstdio>
#include <cstring>
#include <optional>

#include "core/position_command.h"
#include "core/worker_team.h"
#include "larkspire/options.h"
#include "position/move_text.h"
#include "search/search.h"
#include "search/search_support.h"
#include "search/tt.h"

namespace orvex::larkspire {

i32 display_scale = 16;
SearchMove result_move = 0;
RootMoveAnalysis root_analysis[kMaxRootMoves + 1];
RootMoveList edition_root;
MultiPvLines edition_multipv;

namespace {

constexpr i32 kNoScore = -32500;
// A node at this ply or deeper returns its static evaluation, so that the
// child record and the key history always have room.
constexpr i32 kMaxPly = kMaxSearchPly;
constexpr i32 kFutilityMargin[8] = {0, 0, 95, 145, 16000, 16000, 16000, 16000};
constexpr i32 kLateMoveMargin[8] = {0, 0, 10, 40, 70, 100, 16000, 16000};

u32 line_count = 0;

bool master() { return process_team.is_master != 0; }

inline bool mover_king_attacked(const EditionPlyRecord& child) {
  const Colour mover = current_position.side_to_move ^ 1;
  return (child.attacks_us & current_position.piece_bb[make_piece(kKing, mover) - 2]) != 0;
}

// Makes m and fills the child's record with a full evaluation; false (with
// the move taken back) when the mover's king is left attacked.
inline bool make_and_evaluate(SearchMove m, UndoRecord& undo, EditionPlyRecord& child, bool& check) {
  make_move(m, undo);
  tt_prefetch(current_position.state.key);
  check = evaluate(child);
  if (mover_king_attacked(child)) [[unlikely]] {
    unmake_move(m, undo);
    return false;
  }
  return true;
}

inline bool is_quiet(SearchMove m) { return (m & 0xD000) == 0 && current_position.board[move_to(m)] == kNoPiece; }

// The move that takes back, onto an empty square, the move this side made two
// plies earlier.
inline bool is_return_move(SearchMove m, i32 ply) {
  if (ply < 2) return false;
  const u32 prev = edition_stack[ply - 2].current_move;
  return move_from(m) == move_to(prev) && move_to(m) == move_from(prev) &&
         current_position.board[move_to(m)] == kNoPiece && current_position.state.fifty >= 2;
}

// Fail-soft update of a quiescence node; true when the node is cut.
inline bool raise(i32 v, i32& best, i32& alpha, i32 beta) {
  if (v <= best) return false;
  best = v;
  if (best <= alpha) return false;
  alpha = best;
  return alpha >= beta;
}

// The quiescence searches' mate-distance window and table probe: narrows
// (alpha, beta) to what a node at `ply` can still score (mated no sooner than
// `mated`, mating no sooner than the next ply) and reads the bounds of the
// position's first entry (an upper bound only when deeper than q).  A value
// when either ends the node.
constexpr i32 kNoQuiescenceDepth = -1000;
inline std::optional<i32> quiescence_window(i32& alpha, i32& beta, i32 ply, i32 mated, i32 q) {
  if (mated > alpha) {
    if (mated >= beta) return mated;
    alpha = mated;
  }
  const i32 hi = 31999 - ply;
  if (hi < beta) {
    if (hi <= alpha) return hi;
    beta = hi;
  }
  if (const TtEntry* e = tt_first_match(current_position.state.key)) {
    if (e->lower_depth != 0) {
      const i32 lower = from_stored(e->lower, ply);
      if (lower >= beta) return lower;
    }
    if (e->upper_depth != 0 && static_cast<i32>(e->upper_depth) > q) {
      const i32 upper = from_stored(e->upper, ply);
      if (upper <= alpha) return upper;
    }
  }
  return std::nullopt;
}

u64 men_of(const Position& p, PieceType t) { return p.piece_bb[make_piece(t, kWhite) - 2] | p.piece_bb[make_piece(t, kBlack) - 2]; }

}  // namespace

// ---------------------------------------------------------------------------
// Table stores
// ---------------------------------------------------------------------------

void tt_store_exact(u16 move, i32 depth, i32 score) { orvex::tt_store_exact<false, false>(move, depth, score); }
void tt_store_lower(u16 move, i32 depth, i32 score, u8 type) {
  orvex::tt_store_lower<false, false>(move, depth, score, type);
}
void tt_store_lower_nomove(i32 depth, i32 score, u8 type) {
  orvex::tt_store_lower_nomove<false, false>(depth, score, type);
}
void tt_store_upper(i32 depth, i32 score, u8 type) { orvex::tt_store_upper<false, false>(depth, score, type); }

// ---------------------------------------------------------------------------
// Quiescence
// ---------------------------------------------------------------------------

i32 qsearch(i32 alpha, i32 beta, i32 q, EditionPlyRecord* rec) {
  const Position& pos = current_position;
  const i32 ply = ply_of(rec);
  if (pos.state.fifty >= 100) return 0;
  if (is_repetition()) return 0;
  if (ply >= kMaxPly) return rec->static_eval;
  if (const std::optional<i32> v = quiescence_window(alpha, beta, ply, ply - 31998, q)) return *v;

  i32 s = rec->static_eval;
  bool delta = false;
  u64 white_targets = pos.colour_bb[kWhite], black_targets = pos.colour_bb[kBlack];
  if (s > alpha) {
    if (s >= beta) return s;
    alpha = s;
  } else if (s < alpha - 150) {
    const u64 pawns = men_of(pos, kPawn);
    white_targets &= ~pawns;
    black_targets &= ~pawns;
    s += 150;
    delta = true;
    if (s < alpha - 350) {
      const u64 minors = men_of(pos, kKnight) | men_of(pos, kBishop);
      white_targets &= ~minors;
      black_targets &= ~minors;
    }
    if (s < alpha - 550) {
      const u64 rooks = men_of(pos, kRook);
      white_targets &= ~rooks;
      black_targets &= ~rooks;
    }
  }
  i32 best = s;
  EditionPlyRecord* child = rec + 1;

  // Captures, best key first (the earliest of equal keys).
  SearchMove moves[kMaxMoves];
  u32 keys[kMaxMoves];
  const u32 n = generate_captures(moves, keys, white_targets, black_targets, *rec);
  SearchMove bad1 = 0, bad2 = 0;
  for (u32 left = n; left > 0; --left) {
    u32 pick = 0;
    bool found = false;
    for (u32 i = 0; i < n; ++i)
      if (moves[i] && (!found || keys[i] > keys[pick])) pick = i, found = true;
    const SearchMove m = moves[pick];
    moves[pick] = 0;
    if (q <= 0 && !is_see_safe(m)) {
      if (!bad1) bad1 = m;
      else if (!bad2) bad2 = m;
      continue;
    }
    UndoRecord undo;
    bool check;
    if (!make_and_evaluate(m, undo, *child, check)) continue;
    const i32 v = check ? -qsearch_in_check(-beta, -alpha, q - 1, child) : -qsearch(-beta, -alpha, q - 1, child);
    unmake_move(m, undo);
    if (raise(v, best, alpha, beta)) {
      tt_store_lower(static_cast<u16>(m), 1, to_stored(v, ply), 0);
      return v;
    }
  }

  i32 store_depth = std::max(q + 1, 1);
  if (!(q < -3 || rec->static_eval < alpha - (5 * q + 50) * 8)) {
    generate_quiet_checks(moves, delta, *rec, bad1, bad2);
    for (u32 i = 0; moves[i]; ++i) {
      const SearchMove m = moves[i];
      UndoRecord undo;
      make_move(m, undo);
      tt_prefetch(current_position.state.key);
      child->static_eval = -rec->static_eval;
      const bool check = compute_attacks(*child);
      if (mover_king_attacked(*child)) {
        unmake_move(m, undo);
        continue;
      }
      // Every move of the list gives check (a candidate leaves the line it
      // blocks); should one not, it is searched as a quiet position rather
      // than handed to the evasion search.
      const i32 v = check ? -qsearch_in_check(-beta, -alpha, q - 1, child) : -qsearch(-beta, -alpha, q - 1, child);
      unmake_move(m, undo);
      if (raise(v, best, alpha, beta)) {
        tt_store_lower(static_cast<u16>(m), 1, to_stored(v, ply), 0);
        return v;
      }
    }
    if (!(q <= 0 || rec->static_eval < alpha - 128)) {
      generate_quiet_moves_above_threshold(moves, (alpha - rec->static_eval) / 8, rec->attacks_them);
      for (u32 i = 0; moves[i]; ++i) {
        const SearchMove m = moves[i];
        UndoRecord undo;
        make_move(m, undo);
        tt_prefetch(current_position.state.key);
        const bool check = evaluate(*child);
        if (-child->static_eval < alpha || check || mover_king_attacked(*child)) {
          unmake_move(m, undo);
          continue;
        }
        const i32 v = -qsearch(-beta, -alpha, q - 1, child);
        unmake_move(m, undo);
        if (raise(v, best, alpha, beta)) {
          tt_store_lower(static_cast<u16>(m), 1, to_stored(v, ply), 0);
          return v;
        }
      }
      store_depth = 2;
    }
  }
  tt_store_upper(store_depth, to_stored(best, ply), 0);
  return best;
}

namespace {

// Evasions of the side to move into `list` (pairs ended by (0, 0)); their number.
inline u32 evasions(MovePair* list, const EditionPlyRecord& rec, u64 targets) {
  return static_cast<u32>(generate_evasions(list, ~rec.attacks_them, targets) + 1 - list);
}

}  // namespace

i32 qsearch_in_check(i32 alpha, i32 beta, i32 q, EditionPlyRecord* rec) {
  const Position& pos = current_position;
  const i32 ply = ply_of(rec);
  if (is_repetition()) return 0;
  if (ply >= kMaxPly) {
    evaluate(*rec);
    return rec->static_eval;
  }
  if (const std::optional<i32> v = quiescence_window(alpha, beta, ply, ply - 32000, kNoQuiescenceDepth)) return *v;
  i32 best = ply - 32000;
  u64 targets = ~u64{0};
  const i32 se = rec->static_eval;
  if (se < alpha) {
    const Colour them = pos.side_to_move ^ 1;
    targets = pos.colour_bb[them];
    best = se;
    if (se < alpha - 225) {
      targets &= ~pos.piece_bb[make_piece(kPawn, them) - 2];
      best = se + 225;
    }
    if (se < alpha - 500)
      targets &= ~(pos.piece_bb[make_piece(kKnight, them) - 2] | pos.piece_bb[make_piece(kBishop, them) - 2]);
  }
  MovePair list[kMaxMoves / 2];
  const u32 n = evasions(list, *rec, targets);
  if (pos.state.fifty > 100 || (pos.state.fifty == 100 && n > 0)) return 0;
  if (n >= 2) {
    q -= 1;
    for (u32 i = 0; i < n; ++i) {
      const i32 victim = static_cast<i32>(pos.board[move_to(list[i].move)]);
      const i32 mover = static_cast<i32>(pos.board[move_from(list[i].move)]);
      list[i].key = static_cast<u32>((victim * 16 - mover) * victim);
    }
    sort_pairs_descending_signed(list, n);
  }
  EditionPlyRecord* child = rec + 1;
  for (u32 i = 0; i < n; ++i) {
    const SearchMove m = list[i].move;
    UndoRecord undo;
    bool check;
    if (!make_and_evaluate(m, undo, *child, check)) continue;
    const i32 v = check ? -qsearch_in_check(-beta, -alpha, q, child) : -qsearch(-beta, -alpha, q, child);
    unmake_move(m, undo);
    if (raise(v, best, alpha, beta)) {
      tt_store_lower(static_cast<u16>(m), 1, to_stored(v, ply), 0);
      return v;
    }
  }
  tt_store_upper(1, to_stored(best, ply), 0);
  return best;
}

// ---------------------------------------------------------------------------
// Zero-window searches
// ---------------------------------------------------------------------------

namespace {

struct Probe {
  SearchMove move = 0;
  i32 lower_depth = 0;
  bool cut = false;
  bool lower_cut = false;
  i32 value = 0;
};

// The zero-window probe: refreshes the entry's age, takes its move and tells
// whether a bound ends the node.
inline Probe probe_zero_window(i32 beta, i32 depth, i32 ply, NodeFlags flags) {
  Probe r;
  TtEntry* e = tt_probe(current_position.state.key);
  if (!e) return r;
  r.move = e->move;
  r.lower_depth = e->lower_depth;
  if (e->lower_depth >= depth) {
    const i32 lower = from_stored(e->lower, ply);
    if (lower >= beta && !((e->flags & kTtLowerTypeClear) && (flags & 1))) {
      r.cut = r.lower_cut = true;
      r.value = lower;
      return r;
    }
  }
  if (e->upper_depth >= depth) {
    const i32 upper = from_stored(e->upper, ply);
    if (upper < beta && !((e->flags & kTtUpperTypeSet) && !(flags & 1))) {
      r.cut = true;
      r.value = upper;
    }
  }
  return r;
}

inline bool null_move_material() {
  const Position& pos = current_position;
  const Colour c = pos.side_to_move;
  if (pos.piece_bb[make_piece(kQueen, c) - 2] | pos.piece_bb[make_piece(kRook, c) - 2]) return true;
  return __builtin_popcountll(pos.piece_bb[make_piece(kKnight, c) - 2] | pos.piece_bb[make_piece(kBishop, c) - 2]) >= 2;
}

}  // namespace

i32 search_zero_window(i32 beta, i32 depth, EditionPlyRecord* rec, NodeFlags flags) {
  const Position& pos = current_position;
  const i32 ply = ply_of(rec);
  if (depth <= 3 && rec->static_eval < beta) return qsearch(beta - 1, beta, 1, rec);
  if (pos.state.fifty >= 100) return 0;
  if (is_repetition()) return 0;
  if (ply >= kMaxPly) return rec->static_eval;
  if (ply - 31998 >= beta) return ply - 31998;
  if (31999 - ply < beta) return 31999 - ply;

  const Probe probe = probe_zero_window(beta, depth, ply, flags);
  if (probe.cut) {
    if (probe.lower_cut) result_move = probe.move;
    return probe.value;
  }
  SearchMove hash_move = probe.move;
  EditionPlyRecord* child = rec + 1;

  if (rec->static_eval - 10 >= beta && null_move_material()) {
    NullMoveUndo nu;
    make_null_move(nu);
    rec->current_move = 0;
    child->static_eval = 10 - rec->static_eval;
    child->attacks_us = rec->attacks_them;
    child->attacks_them = rec->attacks_us;
    child->threats_them = rec->threats_us;
    child->threats_us = rec->threats_them;
    const i32 v = depth - 8 <= 1 ? -qsearch(-beta, 1 - beta, 0, child)
                                 : -search_zero_window(1 - beta, depth - 8, child, (~flags & 1) | 14);
    unmake_null_move(nu);
    if (v >= beta) {
      tt_store_lower_nomove(depth, to_stored(v, ply), (flags & 1) ? 0 : 1);
      result_move = 0;
      return v;
    }
  }

  if (depth >= 8 && !hash_move && depth > probe.lower_depth + 4 && (flags & 2) &&
      (rec->static_eval >= beta || depth >= 12)) {
    const i32 v = search_zero_window(beta, depth - 4, rec, (flags & 1) | 6);
    if (v >= beta) hash_move = result_move;
  }

  i32 best = kNoScore;
  EditionMovePicker picker;
  start_picker(picker, hash_move);
  picker.eval_gap = beta - rec->static_eval;
  const i32 f = kFutilityMargin[(depth / 2) & 7] + rec->static_eval;
  if (f < beta && depth <= 10) {
    best = f;
    start_tactical_picker(picker, hash_move, beta - rec->static_eval);
  }
  i32 n = 0;
  const i32 R = (flags & 1) ? 6 : 2;
  const i32 L = depth < 16 ? kLateMoveMargin[depth / 2] : 16000;
  const u64 pawns = men_of(pos, kPawn);

  while (const SearchMove m = next_move(picker, *rec)) {
    if (beta > 0 && is_return_move(m, ply)) {
      n += 1;
      if (best < 0) best = 0;
      continue;
    }
    rec->current_move = m;
    UndoRecord undo;
    bool check;
    if (!make_and_evaluate(m, undo, *child, check)) continue;
    i32 v;
    if (check) {
      v = -search_zero_window_in_check(1 - beta, depth, child, flags ^ 3);
    } else {
      if (n >= 7 && picker.stage == kEditionPickQuiets && L - child->static_eval < beta &&
          (depth < 6 || !(child->threats_us & ~pawns))) {
        unmake_move(m, undo);
        continue;
      }
      i32 r = 0;
      const u32 stage = picker.stage;
      if (depth >= 6 && (stage == 5 || stage == 6 || stage == 7) && n + (R & ~1) >= 5) {
        r = R;
        if (n >= 8 && child->static_eval + rec->static_eval > 10) r = R + 1;
      }
      const i32 d = depth - r - 2;
      v = d <= 1 ? -qsearch(-beta, 1 - beta, 0, child) : -search_zero_window(1 - beta, d, child, flags ^ 3);
      if (r != 0 && v >= beta) v = -search_zero_window(1 - beta, depth - 2, child, ~flags & 1);
    }
    unmake_move(m, undo);
    n += 1;
    if (v > best) {
      best = v;
      if (v >= beta) {
        if (is_quiet(m)) update_killers_and_history(edition_history, m, depth, *rec);
        result_move = m;
        tt_store_lower(static_cast<u16>(m), depth, to_stored(v, ply), (flags & 1) ? 0 : 1);
        return v;
      }
    }
    flags &= 0x1d;
  }
  if (best == kNoScore) {
    result_move = 0;
    return 0;
  }
  tt_store_upper(depth, to_stored(best, ply), (flags & 1) ? 2 : 0);
  return best;
}

i32 search_zero_window_in_check(i32 beta, i32 depth, EditionPlyRecord* rec, NodeFlags flags) {
  const Position& pos = current_position;
  const i32 ply = ply_of(rec);
  if (is_repetition()) return 0;
  if (ply > 128) return 0;
  if (ply - 32000 >= beta) return ply - 32000;
  if (31999 - ply < beta) return 31999 - ply;
  const Probe probe = probe_zero_window(beta, depth, ply, flags);
  if (probe.cut) return probe.value;

  MovePair list[kMaxMoves / 2];
  const u32 count = evasions(list, *rec, ~u64{0});
  if (pos.state.fifty > 100 || (pos.state.fifty == 100 && count > 0)) return 0;
  if (count >= 2) score_and_sort_moves(edition_history, *rec, list, list + count - 1, probe.move);
  const bool single = count == 1 && (flags & 1);
  i32 best = ply - 32000;
  i32 n = 2;
  EditionPlyRecord* child = rec + 1;
  for (u32 i = 0; i < count; ++i) {
    const SearchMove m = list[i].move;
    if (beta > 0 && is_return_move(m, ply)) {
      n += 1;
      if (best < 0) best = 0;
      continue;
    }
    UndoRecord undo;
    bool check;
    if (!make_and_evaluate(m, undo, *child, check)) continue;
    rec->current_move = m;
    i32 d = (single || check) ? depth : depth - 2;
    i32 r = 0;
    if (depth >= 4 && n >= 4 && !check) {
      r = 2;
      d -= 2;
    }
    i32 v;
    if (d <= 1)
      v = check ? -qsearch_in_check(-beta, 1 - beta, 0, child) : -qsearch(-beta, 1 - beta, 0, child);
    else
      v = check ? -search_zero_window_in_check(1 - beta, d, child, flags ^ 3)
                : -search_zero_window(1 - beta, d, child, flags ^ 3);
    if (r != 0 && v >= beta) v = -search_zero_window(1 - beta, d + 2, child, ~flags & 1);
    n += 1;
    unmake_move(m, undo);
    if (v > best) {
      best = v;
      if (v >= beta) {
        tt_store_lower(static_cast<u16>(m), depth, to_stored(v, ply), (flags & 1) ? 0 : 1);
        return v;
      }
    }
    flags &= 0x1d;
  }
  tt_store_upper(depth, to_stored(best, ply), (flags & 1) ? 2 : 0);
  return best;
}

// ---------------------------------------------------------------------------
// Principal-variation search
// ---------------------------------------------------------------------------

i32 search_pv(i32 alpha, i32 beta, i32 depth, u8 in_check, EditionPlyRecord* rec) {
  const Position& pos = current_position;
  const i32 ply = ply_of(rec);
  if (depth <= 1) return qsearch(alpha, beta, 1, rec);
  if (pos.state.fifty >= 100) return 0;
  if (is_repetition()) return 0;
  if (ply >= kMaxPly) return rec->static_eval;
  {
    const i32 lo = ply - 32000 + (in_check ? 0 : 2);
    if (lo > alpha) {
      alpha = lo;
      if (lo >= beta) return lo;
    }
    const i32 hi = 31999 - ply;
    if (hi < beta) {
      beta = hi;
      if (hi <= alpha) return hi;
    }
  }
  SearchMove hash_move = 0;
  if (const TtEntry* e = tt_first_match(pos.state.key)) hash_move = e->move;
  if (depth >= 4 && !hash_move) {
    search_pv(alpha, beta, depth - 2, in_check, rec);
    hash_move = result_move;
  }

  i32 best = kNoScore;
  SearchMove pv_move = 0;
  bool single = false;
  EditionMovePicker picker;
  if (in_check) {
    const u32 count = evasions(picker.evasions, *rec, ~u64{0});
    single = count <= 1;
    if (count >= 2) score_and_sort_moves(edition_history, *rec, picker.evasions, picker.evasions + count - 1, hash_move);
    start_evasion_picker<Board>(picker);
  } else {
    start_picker(picker, hash_move);
  }
  EditionPlyRecord* child = rec + 1;
  const EditionPlyRecord* parent = ply > 0 ? rec - 1 : nullptr;

  while (const SearchMove m = next_move(picker, *rec)) {
    if (best > 0 && is_return_move(m, ply)) continue;
    const Square to = move_to(m);
    const bool extend = single ||
                        (parent && to == move_to(parent->current_move) &&
                         rec->static_eval + 50 < -parent->static_eval) ||
                        (is_pawn(pos.board[move_from(m)]) && ((to >= 8 && to <= 15) || (to >= 48 && to <= 55)));
    UndoRecord undo;
    bool check;
    if (!make_and_evaluate(m, undo, *child, check)) continue;
    const i32 d = (extend || check) ? depth : depth - 2;
    rec->current_move = m;
    i32 v;
    if (best == kNoScore) {
      v = -search_pv(-beta, -alpha, d, check, child);
    } else {
      if (d <= 1)
        v = -qsearch(-alpha - 1, -alpha, 1, child);
      else
        v = check ? -search_zero_window_in_check(-alpha, d, child, 7) : -search_zero_window(-alpha, d, child, 7);
      if (v > alpha) v = -search_pv(-beta, -alpha, d, check, child);
    }
    unmake_move(m, undo);
    if (v > best) {
      best = v;
      if (v > alpha) {
        alpha = v;
        pv_move = m;
        if (v >= beta) {
          result_move = m;
          if (is_quiet(m)) update_killers_and_history(edition_history, m, depth, *rec);
          tt_store_lower(static_cast<u16>(m), depth, to_stored(v, ply), 0);
          return v;
        }
      }
    }
  }
  result_move = pv_move;
  if (best == kNoScore) return in_check ? ply - 32000 : 0;
  if (!pv_move) {
    tt_store_upper(depth, to_stored(best, ply), 0);
    return best;
  }
  if (is_quiet(pv_move)) update_killers_and_history(edition_history, pv_move, depth, *rec);
  tt_store_exact(static_cast<u16>(pv_move), depth, to_stored(best, ply));
  return best;
}

// ---------------------------------------------------------------------------
// Root move loop
// ---------------------------------------------------------------------------

namespace {

std::string_view move_text(SearchMove m, char (&buf)[6]) { return {buf, move_to_text(m, buf)}; }

u32 root_move_count() {
  u32 n = 0;
  while (edition_root.moves[n]) ++n;
  return n;
}

// Stable sort of the root list by key, highest first (unsigned keys).
void sort_root_moves(u32 n) {
  for (u32 i = 1; i < n; ++i) {
    const u32 m = edition_root.moves[i], k = edition_root.keys[i];
    u32 j = i;
    while (j > 0 && edition_root.keys[j - 1] < k) {
      edition_root.moves[j] = edition_root.moves[j - 1];
      edition_root.keys[j] = edition_root.keys[j - 1];
      --j;
    }
    edition_root.moves[j] = m;
    edition_root.keys[j] = k;
  }
}

const RootMoveAnalysis* analysis_of(SearchMove m) {
  const RootMoveAnalysis* found = nullptr;
  for (const RootMoveAnalysis* a = root_analysis; a->move; ++a)
    if (a->move == m) found = a;
  return found;
}

// The principal variation of a root move with score `score`, read from the
// table: at most 64 moves, 14 unless the score is mate-class.
void principal_variation(SearchMove first, i32 score, char* out, std::size_t cap) {
  const bool mate_class = score > -31000 && score < 31000 ? false : true;
  SearchMove line[64];
  UndoRecord undo[64];
  int made = 0;
  std::size_t len = 0;
  out[0] = '\0';
  SearchMove m = first;
  while (made < 64) {
    if (made >= 14 && !mate_class) break;
    if (!is_pseudo_legal(m)) break;
    search_status.node_countdown += 1;  // the walk counts no move
    make_move(m, undo[made]);
    EditionPlyRecord after{};
    compute_attacks(after);
    if (mover_king_attacked(after)) {  // a colliding entry's move
      unmake_move(m, undo[made]);
      break;
    }
    line[made++] = m;
    char buf[6];
    const std::string_view t = move_text(m, buf);
    if (len + t.size() + 2 < cap) {
      if (len) out[len++] = ' ';
      std::memcpy(out + len, t.data(), t.size());
      len += t.size();
      out[len] = '\0';
    }
    const TtEntry* e = tt_last_match_if(current_position.state.key, [&](const TtEntry& x) {
      return x.move_depth >= 14 || score > 31000 || score < -31000;
    });
    if (!e || !e->move) break;
    m = e->move;
  }
  while (made > 0) {
    --made;
    unmake_move(line[made], undo[made]);
  }
}

u64 elapsed_plus_one() { return static_cast<u32>(platform::tick_count() - search_status.start_tick + 1); }
u64 speed(u64 nodes, u64 elapsed) { return nodes * 1024 / elapsed; }

}  // namespace

i32 root_score_bonus(SearchMove m) {
  const RootMoveAnalysis* a = analysis_of(m);
  return a ? a->score_bonus : 0;
}

i32 shown_mate_moves(i32 score, SearchMove m) {
  const i32 s = score - root_score_bonus(m);
  return ((score >= 31000 ? 32001 : -32001) - s) / 2;
}

i32 search_root_moves(i32, i32, i32 c) {
  SearchStatus& st = search_status;
  const u32 n = root_move_count();
  for (u32 i = 0; i < n; ++i) edition_root.keys[i] = 0;
  line_count = 0;
  i32 alpha = -32000;
  i32 best_so_far = kNoScore;
  const u32 M = std::clamp<u32>(engine_options.multipv, 1, 100);
  EditionPlyRecord* root = &edition_stack[0];
  EditionPlyRecord* child = &edition_stack[1];
  char buf[6];

  for (u32 i = 0; i < n; ++i) {
    const SearchMove m = edition_root.moves[i];
    root->current_move = m;
    if (st.best_depth >= 24 && master())
      send_line("info currmove %s currmovenumber %u\n", std::string(move_text(m, buf)).c_str(), i + 1);
    const Square to = move_to(m);
    const u32 to_rank = to >> 3;
    const bool pawn7 = is_pawn(current_position.board[move_from(m)]) && (to_rank == 6 || to_rank == 1) && is_see_safe(m);
    const RootMoveAnalysis* a = analysis_of(m);
    const i32 e = a ? static_cast<i32>(a->extra_depth) : 0;
    const i32 w = a ? a->score_bonus : 0;
    const i32 red = 2 * (e / 4) + 2;
    UndoRecord undo;
    make_move(m, undo);
    const bool check = evaluate(*child);
    const i32 d = c - 2 + ((pawn7 || check) ? 2 : 0);
    i32 s;
    if (best_so_far == kNoScore || d / 2 < 1 || i < M) {
      s = w - search_pv(w - 32000, w - alpha, d + red, check, child);
    } else {
      s = w - (check ? search_zero_window_in_check(w - alpha, d + e + 4, child, 7)
                     : search_zero_window(w - alpha, d + e + 4, child, 7));
      if (s > alpha) {
        st.fail_high = 1;
        st.easy_move = 0;
        st.stop_after_iteration = 0;
        i32 top = s;
        for (i32 k = 0; k <= red; k += 2) {
          if (e != 0 && s > top - 25 && master())
            send_line("info depth %d score cp %d pv %s\n", std::max(st.best_depth / 2 - 1, 1),
                      (display_scale * s) / 32, std::string(move_text(m, buf)).c_str());
          s = w - search_pv(w - 32000, w - alpha, d + k, check, child);
          top = std::max(top, s);
        }
        if (e != 0) s = top;
      }
    }
    unmake_move(m, undo);

    edition_root.keys[i] = static_cast<u32>(s <= alpha ? -64500 : (s >= 32000 ? -500 : s - 32500));
    if (s > best_so_far) {
      if (best_so_far == kNoScore || s > alpha) {
        st.best_move = m;
        st.best_score = s;
        st.best_depth = c;
        if (s < st.last_score - 50) {
          st.score_dropped = 1;
          st.easy_move = 0;
          st.stop_after_iteration = 0;
        } else {
          st.score_dropped = 0;
        }
      }
      best_so_far = s;
    }

    // MultiPV lines, best first.
    i32 j = -1;
    for (u32 k = 0; k < line_count; ++k)
      if (edition_multipv[k].score < s) {
        j = static_cast<i32>(k);
        break;
      }
    if (j >= 0) {
      for (u32 k = line_count; k > static_cast<u32>(j); --k) edition_multipv[k] = edition_multipv[k - 1];
      if (line_count < M) ++line_count;
    } else if (line_count < M) {
      j = static_cast<i32>(line_count++);
    }
    if (j >= 0) {
      edition_multipv[j].score = s;
      edition_multipv[j].move = m;
    }
    if (line_count == M) alpha = std::max(alpha, edition_multipv[M - 1].score);

    const bool show = st.best_depth >= 10 || s >= 31000 || (s == alpha && alpha <= -31000) ||
                      (n == 1 && c / 2 == 4 && !search_limits.infinite);
    if (j >= 0 && show) {
      MultiPvLine& line = edition_multipv[j];
      char pv[512];
      principal_variation(m, s, pv, sizeof pv);
      const u64 elapsed = elapsed_plus_one();
      const u64 nodes = shown_nodes();
      const i32 depth = std::max(c / 2 - 1, 1);
      if (s >= 31000 || s <= -31000)
        std::snprintf(line.text, sizeof line.text,
                      "depth %d score mate %d time %" PRIu64 " nodes %" PRIu64 " nps %" PRIu64 " pv %s", depth,
                      shown_mate_moves(s, m), elapsed, nodes, speed(nodes, elapsed), pv);
      else
        std::snprintf(line.text, sizeof line.text,
                      "depth %d score cp %d time %" PRIu64 " nodes %" PRIu64 " nps %" PRIu64 " pv %s", depth,
                      (s * display_scale) / 32, elapsed, nodes, speed(nodes, elapsed), pv);
      line.score = s;
      line.move = m;
      st.score_printed = 1;
      if (master()) {
        if (M == 1) {
          send_line("info %s\n", edition_multipv[0].text);
        } else {
          for (u32 k = 0; k < M; ++k)
            if (edition_multipv[k].move && edition_multipv[k].text[0])
              send_line("info multipv %u %s\n", k + 1, edition_multipv[k].text);
        }
      }
    }
    if (alpha >= 32000) {
      st.stop_after_iteration = 1;
      break;
    }
  }

  sort_root_moves(n);
  if (c >= 10 && master()) {
    const u64 elapsed = elapsed_plus_one();
    const u64 nodes = shown_nodes();
    send_line("info depth %d time %" PRIu64 " nodes %" PRIu64 " nps %" PRIu64 " \r\n", c / 2 - 1, elapsed, nodes,
              speed(nodes, elapsed));
  }
  return best_so_far;
}

// ---------------------------------------------------------------------------
// Root driver
// ---------------------------------------------------------------------------

namespace {

// Whether a root move is named by the searchmoves list (from, to and the
// promotion piece; castling and en passant by their king or pawn move).
bool named_by_searchmoves(SearchMove m) {
  const UciMove u = uci_move_of(m) & 0xFFFF;
  for (const UciMove* s = search_limits.searchmoves; *s; ++s)
    if ((*s & 0xFFFF) == u) return true;
  return false;
}

void search_root_driver() {
  Position& pos = current_position;
  SearchStatus& st = search_status;
  const SearchLimits& lim = search_limits;
  EditionPlyRecord* root = &edition_stack[0];
  EditionPlyRecord* child = &edition_stack[1];

  lazy_low = -500;
  lazy_high = 500;
  const bool in_check = evaluate(*root);
  advance_tt_age();
  for (EditionPlyRecord& r : edition_stack) r.killers[0] = r.killers[1] = r.killers[2] = r.killers[3] = 0;
  reset_history(edition_history);

  // Legal root moves.
  SearchMove generated[kMaxMoves + 1];
  const u32 count = generate_root_candidates(generated, in_check, *root);
  const bool restricted = lim.searchmoves[0] != 0;
  u32 n = 0;
  for (u32 i = 0; i < count && n < kMaxRootMoves - 1; ++i) {
    const SearchMove m = generated[i];
    UndoRecord undo;
    st.node_countdown += 1;  // the legality pass counts nothing
    make_move(m, undo);
    evaluate(*child);
    const bool legal = !mover_king_attacked(*child);
    unmake_move(m, undo);
    if (legal && (!restricted || named_by_searchmoves(m))) edition_root.moves[n++] = m;
  }
  edition_root.moves[n] = 0;
  // Names that only moves the generators leave out (bishop promotions)
  // empty the list: the first legal one is the answer.
  if (n == 0 && restricted) st.named_move = first_legal_uci_move(lim.searchmoves, kMaxSearchMoves);
  if (n < 2 && !lim.infinite) search_limits.depth_limit = 8;
  if (n >= 1) st.best_move = edition_root.moves[0];

  try {
    st.start_tick = platform::tick_count();
    clear_multipv_lines(edition_multipv);
    if (const TtEntry* e = tt_last_match(pos.state.key)) edition_root.root_hash_move = e->move;
    if (n >= 2) {
      for (u32 i = 0; i < n; ++i) {
        const SearchMove m = edition_root.moves[i];
        const PieceCode victim = pos.board[move_to(m)];
        if (m == edition_root.root_hash_move)
          edition_root.keys[i] = 2147483647u;
        else if (victim)
          edition_root.keys[i] = victim * 16 - pos.board[move_from(m)] + 2147483391u;
        else
          edition_root.keys[i] = 0;
      }
      sort_root_moves(n);
    }
    st.fail_high = st.fail_high_prev = 0;
    display_scale = display_scale_for(static_cast<u32>(__builtin_popcountll(pos.occupied)));
    evaluate(*root);

    // Analysis: a quiescence search of every root move gives it an extra
    // depth and a score bonus.
    struct Candidate {
      i32 far, middle, near, balance;
    } cand[kMaxRootMoves];
    i32 best = -31000;
    for (u32 i = 0; i < n; ++i) {
      const SearchMove m = edition_root.moves[i];
      UndoRecord undo;
      make_move(m, undo);
      const bool check = evaluate(*child);
      const bool captured = undo.captured != 0;
      Candidate& k = cand[i];
      k.far = 2, k.middle = 0, k.near = 0;
      if (check) {
        k.middle = 2, k.far = 4;
        if (captured) k.near = 2, k.far = 8;
      } else if (captured) {
        k.near = 2, k.middle = 2, k.far = 8;
        if (king_attacks[move_to(m)] & pos.piece_bb[make_piece(kKing, pos.side_to_move) - 2]) k.far = 10;
      } else {
        const Square to = move_to(m);
        const u32 rank = to >> 3;
        const Colour mover = pos.side_to_move ^ 1;
        const bool advanced = !(m & kMovePromoMask) && pos.board[to] == make_piece(kPawn, mover) &&
                              (mover == kWhite ? rank >= 5 : rank <= 2);
        if (advanced) k.far = 4, k.middle = 4;
        if (-(root->static_eval + child->static_eval) >= 35) k.far = 4, k.middle = 2;
      }
      const i32 r = check ? qsearch_in_check(-31000, 31000, 0, child) : qsearch(-31000, 31000, 0, child);
      k.balance = captured ? -r - root->static_eval : -r + child->static_eval;
      unmake_move(m, undo);
      best = std::max(best, k.balance);
    }
    best = std::min(best, 0);
    for (u32 i = 0; i < n; ++i) {
      const SearchMove m = edition_root.moves[i];
      const Candidate& k = cand[i];
      RootMoveAnalysis& a = root_analysis[i];
      a.move = m;
      const bool safe = is_see_safe(m);
      if (k.balance < best - 150) {
        a.extra_depth = k.far, a.score_bonus = 30;
      } else if (k.balance >= best - 70 && safe) {
        a.extra_depth = k.near, a.score_bonus = 0;
      } else {
        a.extra_depth = k.middle, a.score_bonus = 10;
      }
      if (!safe) {
        if (is_pawn(pos.board[move_from(m)]) && a.extra_depth < 4) a.extra_depth = 4;
        if (pos.board[move_to(m)] != kNoPiece) a.extra_depth = k.far, a.score_bonus = 30;
      }
    }
    root_analysis[n].move = 0;

    for (i32 c = 2; c < 126; c += 2) {
      if (c >= 10 && master()) send_line("info depth %d\n", c / 2 - 1);
      st.fail_high_prev = st.fail_high;
      st.fail_high = 0;
      st.score_dropped = 0;
      const i32 v = search_root_moves(-32000, 32000, c);
      if (c >= 12) {
        if (v >= 31000) st.stop_after_iteration = 1;
        // The phase weights always sum to 256, so the blend is v itself.
        const i32 w = pos.side_to_move == kBlack ? -v : v;
        lazy_low = w < 0 ? w / 3399 - 4 : -3;
        lazy_high = w > 0 ? w / 3399 + 4 : 3;
      }
      poll_input();
      st.score_dropped_prev = st.score_dropped;
      st.score_dropped = 0;
      if ((!lim.infinite && c >= 2 * lim.depth_limit) || static_cast<i64>(shown_nodes()) > lim.node_limit)
        st.stop_requested = 1;
      if (lim.mate_limit != 0 && (st.best_score < lim.mate_limit / 2 - 32000 || st.best_score > 32000 - lim.mate_limit))
        st.stop_requested = 1;
      if (c == 2 && n >= 2 && edition_root.keys[0] >= edition_root.keys[1] + 200) st.easy_move = 1;
      st.last_score = st.best_score;
      const u32 elapsed = platform::tick_count() - st.start_tick;
      const u32 soft = lim.soft_time_ms;
      if ((elapsed >= soft * 4 / 5 && !st.score_dropped_prev) || (elapsed >= soft / 5 && st.easy_move) ||
          (elapsed >= soft * 7 / 10 && !st.score_dropped_prev && !st.fail_high) ||
          (elapsed >= soft * 6 / 10 && !st.score_dropped_prev && !st.fail_high && !st.fail_high_prev) ||
          elapsed >= lim.hard_time_ms)
        st.stop_after_iteration = 1;
      if ((st.best_score >= 31000 || st.best_score <= -31000) && c >= 12 && (!lim.infinite || lim.pondering)) break;
      if (st.stop_requested) break;
      if (st.stop_after_iteration && !lim.infinite) break;
    }
  } catch (const SearchAborted&) {
    reapply_position_line();
    return;
  }

  if (!st.score_printed) {
    st.score_printed = 1;
    const i32 bs = st.best_score;
    char buf[6];
    answer_move_text(st.best_move, st.named_move, buf);
    const std::string move(buf);
    if (master()) {
      if (bs >= -30999 && bs <= 30999)
        send_line("info depth %d score cp %d nodes %" PRIu64 " pv %s\n", std::max(st.best_depth / 2 - 1, 1),
                  ((bs * display_scale) / 32 * 140) / 128, shown_nodes(), move.c_str());
      else
        send_line("info depth %d score mate %d nodes %" PRIu64 " pv %s\n", std::max(st.best_depth / 2 - 1, 1),
                  shown_mate_moves(bs, st.best_move), shown_nodes(), move.c_str());
    }
  }
}

}  // namespace

u32 generate_root_candidates(SearchMove* out, bool in_check, const EditionPlyRecord& rec) {
  const Position& pos = current_position;
  u32 count = 0;
  if (in_check) {
    MovePair list[kMaxMoves / 2];
    const u32 k = evasions(list, rec, ~u64{0});
    for (u32 i = 0; i < k; ++i) out[count++] = list[i].move;
    out[count] = 0;
  } else {
    u32 keys[kMaxMoves];
    count = generate_captures(out, keys, pos.colour_bb[kWhite], pos.colour_bb[kBlack], rec);
    generate_quiet_moves(out + count, rec.attacks_them, ~0u, ~0u, ~0u, ~0u, ~0u);
    while (out[count]) ++count;
  }
  return count;
}

void search_root() { run_on_search_stack(&search_root_driver); }

void reset_for_repeatable_search() {
  tt_zero();
  reset_tt_ages();
  reset_search_limits();
  reset_search_status();
  edition_root.root_hash_move = 0;
  clear_pawn_hash();
  lazy_low = -500;
  lazy_high = 500;
}

}  // namespace orvex::larkspire
