// The twelve specialised search configurations as traits of the search
// templates (search/search_rules.h): each names its board, its evaluation,
// its statics and the rules by which its search differs from the general one.
#pragma once
#include "configs/board_layers.h"
#include "configs/search_config.h"
#include "configs/worker_order.h"
#include "search/search_rules.h"
#include "search/settings.h"
#include "search/host.h"

namespace orvex {

// The worker configuration's history table, MultiPV records and their count
// (the other configurations' tables come with their board layers).
extern HistoryTable worker_history;
extern MultiPvLines worker_multipv_lines;
extern u32 worker_multipv_count;

// The board, evaluation and statics of a specialised configuration: those
// of its board layer (configs/board_layers.h), and its contempt copy.
template <SearchConfig C, class Layer>
struct ConfigStatics {
  using Board = typename Layer::Board;
  using Eval = typename Layer::Eval;
  static HistoryTable& history() { return Layer::history(); }
  static const HistoryTable& quiet_order() { return Layer::history(); }
  static i32 contempt() { return search_settings.contempt_copies[C]; }
};

// The leaner search core of the ending configurations: no mate distance
// (a mated side scores -31000, table scores as found), no fifty-move rule,
// tablebase probes on depth alone, a null move with any piece, extensions
// only while no queen is on the board, no quiet checks in quiescence, stores
// without Preserve Analysis, the root window +-31000, one progress line per
// new best move in centipawns, and a mate-class iteration ends the search.
struct EndingRules : GeneralConfig {
  static constexpr bool kMateByPly = false;
  static constexpr bool kFiftyMoveRule = false;
  static constexpr TbProbeRule kTbProbe = TbProbeRule::kDepthOnly;
  static constexpr bool kExtendWithQueens = false;
  static constexpr NullMaterialRule kNullMaterial = NullMaterialRule::kAnyPiece;
  static constexpr bool kNullKeepsFifty = false;
  static constexpr bool kQuietChecksInQsearch = false;
  static constexpr bool kPreserveAnalysis = false;
  static constexpr bool kShowLines = false;
  static constexpr i32 kRootBound = kMateThreshold;
  static constexpr bool kMultiPv = false;
  static constexpr bool kMateEndsRootLoop = true;
  static constexpr bool kMateLoopStopsSearch = false;
  static constexpr bool kShuffleRoot = false;
  static constexpr i32 kMateStopFrom = 2;
  static constexpr bool kScoreMateText = false;
  static constexpr bool kTbHitsField = true;
  static constexpr bool kDrawScoreClamp = true;
  static constexpr bool kFallsBackToGeneral = true;
};

template <SearchConfig C, class Layer, bool ExtendWithQueens = false>
struct EndingConfig : EndingRules, ConfigStatics<C, Layer> {
  using typename ConfigStatics<C, Layer>::Board;
  using typename ConfigStatics<C, Layer>::Eval;
  using ConfigStatics<C, Layer>::history;
  using ConfigStatics<C, Layer>::quiet_order;
  using ConfigStatics<C, Layer>::contempt;
  static constexpr bool kExtendWithQueens = ExtendWithQueens;
};

using PawnEndingConfig = EndingConfig<kConfigPawnEnding, PawnEndingLayer>;
using BishopEndingConfig = EndingConfig<kConfigBishopEnding, BishopEndingLayer>;
using BishopVsKnightEndingConfig = EndingConfig<kConfigBishopVsKnightEnding, BishopVsKnightEndingLayer>;
using KnightVsBishopEndingConfig = EndingConfig<kConfigKnightVsBishopEnding, KnightVsBishopEndingLayer>;
using KnightEndingConfig = EndingConfig<kConfigKnightEnding, KnightEndingLayer>;
// queen_ending moves on pawn_ending's board and extends as the general search.
using QueenEndingConfig = EndingConfig<kConfigQueenEnding, QueenEndingLayer, true>;
using RookEndingConfig = EndingConfig<kConfigRookEnding, RookEndingLayer>;
using RookBishopEndingConfig = EndingConfig<kConfigRookBishopEnding, RookBishopEndingLayer>;
using RookKnightEndingConfig = EndingConfig<kConfigRookKnightEnding, RookKnightEndingLayer>;

// castling_rights and mixed: the ending core's score model and root over the
// general board (restricted promotions), without tablebase probes, with
// extensions whatever the queens, a null move with any material, quiet
// checks in quiescence and no "tbhits" field.
struct CastlingRightsRules : EndingRules {
  static constexpr TbProbeRule kTbProbe = TbProbeRule::kNever;
  static constexpr bool kExtendWithQueens = true;
  static constexpr NullMaterialRule kNullMaterial = NullMaterialRule::kAnything;
  static constexpr bool kQuietChecksInQsearch = true;
  static constexpr bool kTbHitsField = false;
};

struct CastlingRightsConfig : CastlingRightsRules, ConfigStatics<kConfigCastlingRights, CastlingRightsLayer> {
  using ConfigStatics::Board;
  using ConfigStatics::Eval;
  using ConfigStatics::history;
  using ConfigStatics::quiet_order;
  using ConfigStatics::contempt;
};

struct MixedConfig : CastlingRightsRules, ConfigStatics<kConfigMixed, MixedLayer> {
  using ConfigStatics::Board;
  using ConfigStatics::Eval;
  using ConfigStatics::history;
  using ConfigStatics::quiet_order;
  using ConfigStatics::contempt;
};

// worker: the general root with its MultiPV records over the node searches
// of castling_rights, with the general null-move material, the root window
// +-31000 and no mate text; its quiet moves and its root moves are ordered
// by the node counter, so that each worker process goes its own way.
struct WorkerConfig : CastlingRightsRules {
  using Board = RestrictedBoard;
  using Eval = WorkerEval;
  static HistoryTable& history() { return worker_history; }
  static i32 contempt() { return search_settings.contempt_copies[kConfigWorker]; }
  static WorkerQuietOrder quiet_order() {
    return WorkerQuietOrder{static_cast<u32>(search_status.node_countdown), team_process_count()};
  }
  static MultiPvLines& multipv_lines() { return worker_multipv_lines; }
  static u32& multipv_count() { return worker_multipv_count; }
  static u32 multipv() { return search_settings.worker_multipv; }
  static void shuffle_root_moves(SearchMove* moves, u32* keys, u32 n, u32 countdown) {
    shuffle_root_moves_worker(moves, keys, n, countdown);
  }

  static constexpr NullMaterialRule kNullMaterial = NullMaterialRule::kMajorOrTwoMinors;
  static constexpr bool kMultiPv = true;
  static constexpr bool kMateLoopStopsSearch = true;
  static constexpr bool kShuffleRoot = true;
  static constexpr i32 kMateStopFrom = 12;
  static constexpr bool kDrawScoreClamp = false;
  static constexpr bool kFallsBackToGeneral = false;
};

}  // namespace orvex
