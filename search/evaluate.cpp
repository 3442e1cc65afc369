#include "search/evaluate.h"

namespace orvex {

i32 lazy_low = -500;
i32 lazy_high = 500;

bool evaluate(PlyRecord& rec) { return evaluate_with<GeneralEval>(rec); }
bool evaluate_castling_rights(PlyRecord& rec) { return evaluate_with<CastlingRightsEval>(rec); }
bool evaluate_mixed(PlyRecord& rec) { return evaluate_with<MixedEval>(rec); }
bool compute_attacks(PlyRecord& rec) { return compute_attacks_with<GeneralEval>(rec); }

}  // namespace orvex
