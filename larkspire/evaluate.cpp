#include "larkspire/evaluate.h"

#include "position/keys.h"

namespace orvex::larkspire {

i32 lazy_low = -500;
i32 lazy_high = 500;
MaterialEntry edition_materials[kMaterialTableSize];
EditionSearchStack edition_stack;
HistoryTable edition_history;

const char* const kDrawPatternSignatures[42] = {
    "B/-",      "-/B",     "P/-",     "BP/-",    "P/B",    "BP/B",     "BP/N",     "PP/-",    "BPP/-",
    "PP/B",     "BPP/B",   "BPP/N",   "-/P",     "B/P",    "-/BP",     "B/BP",     "N/BP",    "BP/P",
    "P/BP",     "PP/P",    "BPP/P",   "PP/BP",   "BPP/BP", "BPP/NP",   "PPP/BP",   "-/PP",    "B/PP",
    "-/BPP",    "B/BPP",   "N/BPP",   "P/PP",    "BP/PP",  "P/BPP",    "BP/BPP",   "NP/BPP",  "BPP/PP",
    "PP/BPP",   "PPP/BPP", "PPPP/BPP", "BP/PPP", "BPP/PPP", "BPP/PPPP",
};

u32 signature_index(const char* signature) {
  u32 index = 0;
  Colour side = kWhite;
  for (const char* c = signature; *c; ++c) {
    switch (*c) {
      case '/': side = kBlack; break;
      case 'P': index += material_index_weight[make_piece(kPawn, side) - 2]; break;
      case 'N': index += material_index_weight[make_piece(kKnight, side) - 2]; break;
      case 'B': index += material_index_weight[make_piece(kBishop, side) - 2]; break;
      default: break;
    }
  }
  return index;
}

namespace {
// Built from the main table's construction (not copied from it, so that no
// order of start-up between the two tables matters).
struct EditionMaterialsInit {
  EditionMaterialsInit() {
    build_material_table(edition_materials);
    for (MaterialEntry& e : edition_materials) e &= ~static_cast<MaterialEntry>(kMatDrawPatterns);
    for (const char* s : kDrawPatternSignatures) edition_materials[signature_index(s)] |= kMatDrawPatterns;
  }
} edition_materials_init;
}  // namespace

bool evaluate(EditionPlyRecord& rec) { return evaluate_with<EditionEval>(rec); }
bool compute_attacks(EditionPlyRecord& rec) { return compute_attacks_with<EditionEval>(rec); }

}  // namespace orvex::larkspire
