// The root move loop: every root move searched once per iteration, the best
// move kept in search_status, the progress lines printed and the root moves
// ordered for the next iteration.
#pragma once
#include <algorithm>
#include <cinttypes>
#include <cstdio>

#include "platform/platform.h"
#include "position/move_text.h"
#include "position/see.h"
#include "search/progress.h"
#include "search/pv_search.h"
#include "search/search_rules.h"
#include "search/zero_window.h"
#include "search/limits.h"
#include "search/settings.h"
#include "search/host.h"

namespace orvex {

// Root keys: failed-low moves last, then by score, mate-class scores alike.
template <class Cfg>
inline u32 root_key(i32 score, i32 alpha) {
  constexpr i32 bound = Cfg::kRootBound;
  if (score <= alpha) return static_cast<u32>(-bound - 32500);
  if (score >= bound) return static_cast<u32>(bound - 32500);
  return static_cast<u32>(score - 32500);
}

// Stable insertion sort of the root moves by key, descending as u32.
inline void sort_root_moves(u32 n) {
  RootMoveList& rl = root_list;
  rl.keys[n] = 0;
  if (n < 2) return;
  for (i32 i = static_cast<i32>(n) - 2; i >= 0; --i) {
    const u32 m = rl.moves[i];
    const u32 k = rl.keys[i];
    u32 j = static_cast<u32>(i);
    while (j + 1 < n && rl.keys[j + 1] > k) {
      rl.moves[j] = rl.moves[j + 1];
      rl.keys[j] = rl.keys[j + 1];
      ++j;
    }
    rl.moves[j] = m;
    rl.keys[j] = k;
  }
}

// The root order of the next iteration.  `shuffle` is supplied by the
// configurations that shuffle (worker): called with the moves, their keys,
// their number and the node counter.
template <class Cfg>
inline void order_root_moves(u32 n) {
  if constexpr (Cfg::kShuffleRoot) {
    Cfg::shuffle_root_moves(root_list.moves, root_list.keys, n, static_cast<u32>(search_status.node_countdown));
  } else {
    sort_root_moves(n);
  }
}

// The progress line of a new best move in the configurations without
// MultiPV records.
template <class Cfg>
void print_best_move_line() {
  SearchStatus& st = search_status;
  const SearchSettings& opt = search_settings;
  const u32 elapsed = platform::tick_count() - st.start_tick;
  const bool considered = opt.output_mode == kOutputVerbose || st.best_score > 10000 || st.best_score < -10000 ||
                          (st.best_depth >= 18 && (st.info_printed || elapsed > 100));
  if (!considered || st.best_depth < 10) return;
  st.info_printed = 1;
  const u8 min_depth = opt.output_mode == kOutputSparse ? 20 : (opt.output_mode == kOutputNormal ? 14 : 8);
  char pv[512];
  walk_line<Cfg>(st.best_move, 14, [min_depth](const TtEntry& en) { return en.move_depth >= min_depth; }, pv,
                 sizeof pv);
  const ProgressFields pf = progress_fields(Cfg::kTbHitsField);
  st.score_printed = 1;
  if (may_answer())
    send_line("info depth %d score %s %d %snodes %" PRIu64 " %s%spv %s\n", shown_depth(st.best_depth),
              shown_unit<Cfg>(st.best_score), shown_value<Cfg>(st.best_score), pf.time, pf.nodes, pf.nps,
              pf.tbhits, pv);
}

template <class Cfg>
i32 search_root_moves(i32 /*alpha*/, i32 /*beta*/, i32 depth) {
  using B = typename Cfg::Board;
  using E = typename Cfg::Eval;
  constexpr i32 bound = Cfg::kRootBound;
  Position& pos = current_position;
  SearchStatus& st = search_status;
  SearchSettings& opt = search_settings;
  RootMoveList& rl = root_list;

  // Outlook: extra depth for full-window searches or for scouts.
  if (opt.outlook > 4) opt.outlook = kOutlookUltraOptimistic;
  static constexpr i32 kBias[6] = {-2, -1, 0, 1, 2, 4};
  const i32 bias = kBias[opt.outlook];
  const i32 pv_deepen = bias < 0 ? -2 * (bias / 2) : 0;
  const i32 scout_deepen = bias > 0 ? 2 * (bias / 2) : 0;

  u32 n = 0;
  while (rl.moves[n]) rl.keys[n++] = 0;
  u32 multipv = 1;
  if constexpr (Cfg::kMultiPv) {
    Cfg::multipv_count() = 0;
    multipv = Cfg::multipv();
  }
  i32 best = kNoMoveScore;
  i32 alpha = -bound;
  PlyRecord* child = &search_stack[1];

  for (u32 i = 0; i < n; ++i) {
    const SearchMove m = rl.moves[i];
    search_stack[0].current_move = m;
    if (st.best_depth >= 24 && (opt.output_mode == kOutputVerbose || st.depth_lines_started) && may_answer()) {
      char text[8];
      move_to_text(m, text);
      send_line("info currmove %s currmovenumber %d\n", text, static_cast<int>(i + 1));
    }
    // The exchange test of a pawn push runs before the move is made, while
    // the pawn still stands on its from-square.
    const bool push = is_pawn(pos.board[move_from(m)]) &&
                      (rank_of(move_to(m)) == 6 || rank_of(move_to(m)) == 1) && is_see_safe<B>(m);
    UndoRecord undo;
    make_move<B>(m, undo);
    const bool gives_check = evaluate_with<E>(*child);
    const i32 d = depth - 2 + ((push || gives_check) && extensions_apply<Cfg>() ? 2 : 0);
    i32 score;
    if (best == kNoMoveScore || d / 2 <= 0 || i < multipv) {
      score = -search_pv<Cfg>(-bound, -alpha, d + pv_deepen, gives_check, child);
    } else {
      score = gives_check ? -search_zero_window_in_check<Cfg>(-alpha, d + scout_deepen, child, kScoutFlags)
                          : -search_zero_window<Cfg>(-alpha, d + scout_deepen, child, kScoutFlags);
      if (score > alpha) {
        st.fail_high = 1;
        st.easy_move = 0;
        st.stop_after_iteration = 0;
        score = -search_pv<Cfg>(-bound, -alpha, d + pv_deepen, gives_check, child);
      }
    }
    unmake_move<B>(m, undo);
    rl.keys[i] = root_key<Cfg>(score, alpha);

    if constexpr (!Cfg::kMultiPv) {
      // One line per new best move; a mate-class score ends the loop.
      if ((score > best || score >= kMateThreshold) && (best == kNoMoveScore || score > alpha)) {
        st.best_move = m;
        st.best_score = score;
        st.best_depth = depth;
        print_best_move_line<Cfg>();
        if (depth / 2 > 1) {
          if (st.best_score <= st.last_score - 50) {
            st.score_dropped = 1;
            st.easy_move = 0;
            st.stop_after_iteration = 0;
          } else {
            st.score_dropped = 0;
          }
        }
      }
      if (score > best) {
        best = score;
        if (score > alpha) {
          alpha = score;
          if (Cfg::kMateEndsRootLoop && score >= kMateThreshold) break;
        }
      }
    } else {
      MultiPvLines& lines = Cfg::multipv_lines();
      u32& line_count = Cfg::multipv_count();

      // Refutation line of a move that failed low.
      if constexpr (Cfg::kShowLines) {
        if (opt.output_mode <= kOutputNormal && depth >= 28 && score <= alpha && opt.show_refutations) {
          char text[256];
          walk_line<Cfg>(m, 14, [](const TtEntry& en) { return en.move_depth >= 12; }, text, sizeof text);
          if (may_answer()) send_line("info refutation %s\n", text);
        }
      }

      // Best move.
      if (score > best && (best == kNoMoveScore || score > alpha)) {
        st.best_move = m;
        st.best_score = score;
        st.best_depth = depth;
        if (score < st.last_score - 50) {
          st.score_dropped = 1;
          st.easy_move = 0;
          st.stop_after_iteration = 0;
        } else {
          st.score_dropped = 0;
        }
      }
      if (score > best) best = score;

      // MultiPV record.
      i32 slot = -1;
      for (u32 j = 0; j < line_count; ++j) {
        if (score > lines[j].score) {
          slot = static_cast<i32>(j);
          break;
        }
      }
      if (slot >= 0) {
        for (i32 j = static_cast<i32>(line_count) - 1; j >= slot; --j) lines[j + 1] = lines[j];
        if (line_count < multipv) line_count += 1;
      } else if (line_count < multipv) {
        slot = static_cast<i32>(line_count);
        line_count += 1;
      }
      if (slot >= 0) {
        lines[slot].move = m;
        lines[slot].score = score;
      }
      if (line_count == multipv && line_count > 0) {
        i32 lowest = lines[0].score;
        for (u32 j = 1; j < multipv; ++j) lowest = std::min(lowest, lines[j].score);
        alpha = std::max(alpha, lowest);
      }

      // Record text and progress lines.
      if (slot >= 0 && (st.best_depth >= 10 || score >= kMateThreshold ||
                        (score == alpha && alpha <= -kMateThreshold) ||
                        (n == 1 && depth / 2 == 4 && !search_limits.infinite))) {
        MultiPvLine& line = lines[slot];
        const bool mate_line = is_mate_class(line.score);
        const bool shown_mate = Cfg::kScoreMateText && shown_as_mate(line.score);
        const u8 min_depth = opt.output_mode == kOutputSparse ? 20 : (opt.output_mode == kOutputNormal ? 14 : 8);
        char pv[512];
        walk_line<Cfg>(m, mate_line ? 64 : 14,
                       [min_depth, shown_mate](const TtEntry& en) { return shown_mate || en.move_depth >= min_depth; },
                       pv, sizeof pv);
        const ProgressFields pf = progress_fields(Cfg::kTbHitsField);
        const i32 line_depth = multipv_shown_depth(depth);
        st.score_printed = 1;
        std::snprintf(line.text, sizeof line.text, "depth %d score %s %d %snodes %" PRIu64 " %s%spv %s", line_depth,
                      shown_unit<Cfg>(line.score), shown_value<Cfg>(line.score), pf.time, pf.nodes, pf.nps,
                      pf.tbhits, pv);

        const u32 elapsed = platform::tick_count() - st.start_tick;
        const bool due = opt.output_mode == kOutputVerbose || st.best_score > 10000 || st.best_score < -10000 ||
                         (depth >= 18 && (st.info_printed || elapsed > 100));
        if (due) {
          st.info_printed = 1;
          if (may_answer()) {
            if (multipv == 1) {
              send_line("info %s\n", lines[0].text);
            } else {
              for (u32 k = 0; k < multipv && k < kMultiPvRecords - 1; ++k)
                if (lines[k].move != 0 && lines[k].text[0] != 0)
                  send_line("info multipv %d %s\n", static_cast<int>(k + 1), lines[k].text);
            }
          }
        }
      }
      if (Cfg::kMateEndsRootLoop && alpha >= kMateThreshold) {
        if constexpr (Cfg::kMateLoopStopsSearch) st.stop_after_iteration = 1;
        break;
      }
    }
  }

  // End of the iteration.
  order_root_moves<Cfg>(n);
  if (opt.output_mode <= kOutputNormal && depth >= 10 && may_answer()) {
    const ProgressFields pf = progress_fields(Cfg::kTbHitsField);
    send_line("info depth %d %snodes %" PRIu64 " %s%s\n", shown_depth(depth), pf.time, pf.nodes, pf.nps, pf.tbhits);
  }
  return best;
}

}  // namespace orvex
