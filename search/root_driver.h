// The root driver: the root list, iterative deepening with its time rules,
// the abort point and the final line.
#pragma once
#include <algorithm>
#include <cinttypes>

#include "platform/platform.h"
#include "position/move_text.h"
#include "search/progress.h"
#include "search/root_moves.h"
#include "search/search.h"
#include "search/search_rules.h"
#include "search/limits.h"
#include "search/settings.h"
#include "search/host.h"

namespace orvex {

// Whether a root move is one of the moves a "searchmoves" list names: the
// same squares and the same promotion piece.
inline bool named_in_searchmoves(SearchMove m) {
  const UciMove* list = search_limits.searchmoves;
  if (list[0] == 0) return true;
  constexpr UciMove kSquaresAndPromotion = 0xFFF | kUciPromoMask;
  const UciMove named = uci_move_of(m) & kSquaresAndPromotion;
  for (int i = 0; i < kMaxSearchMoves && list[i] != 0; ++i)
    if ((list[i] & kSquaresAndPromotion) == named) return true;
  return false;
}

// Builds root_list.moves: every legal move (restricted to "searchmoves"),
// captures first, in generation order.  Returns their number.
template <class Cfg>
u32 build_root_moves(bool in_check) {
  using B = typename Cfg::Board;
  using E = typename Cfg::Eval;
  Position& pos = current_position;
  RootMoveList& rl = root_list;
  u32 n = 0;
  if (in_check) {
    MovePair list[kMaxMovePairs];
    const u32 count = collect_evasions<B>(list, ~search_stack[0].attacks_them);
    for (u32 i = 0; i < count; ++i) rl.moves[n++] = list[i].move;
    rl.moves[n] = 0;
  } else {
    generate_captures<B>(rl.moves, rl.keys, pos.colour_bb[kWhite], pos.colour_bb[kBlack]);
    while (rl.moves[n]) ++n;
    generate_quiets_for<Cfg>(rl.moves + n, search_stack[0].attacks_them, 0xFFFFFFFF, 0xFFFFFFFF, 0xFFFFFFFF,
                             0xFFFFFFFF, 0xFFFFFFFF);
    while (rl.moves[n]) ++n;
  }
  u32 kept = 0;
  for (u32 i = 0; i < n; ++i) {
    const SearchMove m = rl.moves[i];
    UndoRecord undo;
    make_move<B>(m, undo);
    evaluate_with<E>(search_stack[1]);
    const bool legal = !mover_king_attacked(search_stack[1]);
    unmake_move<B>(m, undo);
    if (legal && named_in_searchmoves(m)) rl.moves[kept++] = m;
  }
  rl.moves[kept] = 0;
  return kept;
}

// The go command's mate limit: a mate given within `mate_limit` moves, or
// suffered within that many moves, ends the search.
inline bool mate_limit_reached(i32 score) {
  const i32 n = search_limits.mate_limit;
  if (n <= 0) return false;
  const i64 plies_given = 2 * static_cast<i64>(n) - 1;
  const i64 plies_suffered = 2 * static_cast<i64>(n);
  if (score >= kMateThreshold && kMateScore - score <= plies_given) return true;
  if (score <= -kMateThreshold && score + kMateScore <= plies_suffered) return true;
  return false;
}

template <class Cfg>
void search_root_driver() {
  using E = typename Cfg::Eval;
  Position& pos = current_position;
  SearchStatus& st = search_status;
  SearchLimits& lim = search_limits;
  const SearchSettings& opt = search_settings;
  RootMoveList& rl = root_list;

  // Preparation.
  st.centipawns_only = !Cfg::kScoreMateText;
  lazy_low = -500;
  lazy_high = 500;
  const bool in_check = evaluate_with<E>(search_stack[0]);
  clear_killers(search_stack);
  reset_history(Cfg::history());
  const u32 n = build_root_moves<Cfg>(in_check);
  if constexpr (Cfg::kFallsBackToGeneral) {
    // A searchmoves list that names only moves this configuration never
    // generates (under-promotions) leaves its root empty: the general
    // configuration searches instead.
    root_list_refused = n == 0 && lim.searchmoves[0] != 0;
    if (root_list_refused) return;
  } else if (n == 0 && lim.searchmoves[0] != 0) {
    // Names that only moves no configuration generates (bishop promotions)
    // can leave even this list empty: the first legal one is the answer.
    st.named_move = first_legal_uci_move(lim.searchmoves, kMaxSearchMoves);
  }
  advance_tt_age();
  if (n <= 1 && !lim.infinite) lim.depth_limit = 8;
  if (n >= 1) st.best_move = rl.moves[0];

  try {
    st.start_tick = platform::tick_count();
    st.probe_nesting = 0;
    if constexpr (Cfg::kMultiPv) clear_multipv_lines(Cfg::multipv_lines());
    if (const TtEntry* en = tt_last_match(pos.state.key)) rl.root_hash_move = en->move;
    if (n >= 2) {
      for (u32 i = 0; i < n; ++i) {
        const SearchMove m = rl.moves[i];
        const PieceCode victim = pos.board[move_to(m)];
        if (m == rl.root_hash_move) rl.keys[i] = kHashMoveKey;
        else if (victim != kNoPiece) rl.keys[i] = 0x7FFFFEFF + 16 * victim - pos.board[move_from(m)];
        else rl.keys[i] = 0;
      }
      sort_root_moves(n);
    }
    display_scale = display_scale_for(static_cast<u32>(__builtin_popcountll(pos.occupied)));
    st.fail_high = 0;
    st.fail_high_prev = 0;

    for (i32 h = 2; h <= 124; h += 2) {
      st.iteration = h / 2;
      if (st.iteration >= 5) {
        const u32 elapsed = platform::tick_count() - st.start_tick;
        bool due = false;
        if (opt.output_mode == kOutputVerbose) due = true;
        else if (opt.output_mode == kOutputNormal) due = st.depth_lines_started || elapsed > 1250;
        else due = st.depth_lines_started || elapsed > 3000;
        if (due) {
          st.depth_lines_started = 1;
          if (may_answer()) send_line("info depth %d\n", st.iteration - 3);
        }
      }
      st.fail_high_prev = st.fail_high;
      st.fail_high = 0;
      st.score_dropped = 0;

      const i32 score = search_root_moves<Cfg>(-Cfg::kRootBound, Cfg::kRootBound, h);

      if (h >= 12) {
        if (score >= kMateThreshold) st.stop_after_iteration = 1;
        recentre_lazy_window(score);
      }
      poll_input();
      st.score_dropped_prev = st.score_dropped;
      st.score_dropped = 0;
      if (lim.pondering && st.iteration == lim.depth_limit) st.strength_move = st.best_move;

      const u64 nodes = shown_nodes();
      if (st.stop_requested || (!lim.infinite && h >= 2 * static_cast<i64>(lim.depth_limit)) ||
          static_cast<i64>(std::min<u64>(nodes, INT64_MAX)) > lim.node_limit || mate_limit_reached(st.best_score))
        st.stop_requested = 1;

      if (h == 2 && n >= 2 && rl.keys[0] >= rl.keys[1] + 200) st.easy_move = 1;
      st.last_score = st.best_score;

      const u32 elapsed = platform::tick_count() - st.start_tick;
      const u32 soft = lim.soft_time_ms;
      if (opt.time_usage == kTimeUsageConstant) {
        if (elapsed >= soft) st.stop_after_iteration = 1;
      } else {
        const bool no_drop = st.score_dropped_prev == 0;
        if ((elapsed >= 4 * soft / 5 && no_drop) || (elapsed >= soft / 5 && st.easy_move) ||
            (elapsed >= 7 * soft / 10 && no_drop && !st.fail_high) ||
            (elapsed >= 6 * soft / 10 && no_drop && !st.fail_high && !st.fail_high_prev))
          st.stop_after_iteration = 1;
      }
      if (h >= Cfg::kMateStopFrom && is_mate_class(st.best_score) &&
          (!lim.infinite || lim.pondering))
        break;
      if (st.stop_requested || (st.stop_after_iteration && !lim.infinite)) break;
    }
  } catch (const SearchAborted&) {
    restore_root_position();
    return;
  }

  st.last_search_ms = platform::tick_count() - st.start_tick + 1;
  st.last_iteration = st.iteration;
  if (st.best_score > 15500) st.decisive_result = 1;
  if (!st.score_printed) {
    st.score_printed = 1;
    if (may_answer()) {
      char text[8];
      answer_move_text(st.best_move, st.named_move, text);
      const i32 s = st.best_score;
      send_line("info depth %d score %s %d nodes %" PRIu64 " pv %s\n", shown_depth(st.best_depth),
                shown_unit<Cfg>(s), final_value<Cfg>(s), shown_nodes(), text);
    }
  }
}

}  // namespace orvex
