// The calls of search/host.h that belong to the shared core: whether this
// process speaks to the interface, the team's size, and the root position.
#include "core/position_command.h"
#include "core/worker_team.h"
#include "search/host.h"

namespace orvex {

bool may_answer() { return process_team.is_master && !quiet; }

u32 team_process_count() {
  return process_team.process_count > 0 ? static_cast<u32>(process_team.process_count) : 1;
}

void restore_root_position() { reapply_position_line(); }

}  // namespace orvex
