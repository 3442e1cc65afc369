// Until tablebase files can be registered there is no table to probe: every
// probe answers "no value".
#include "search/tb_probe.h"

namespace orvex {

i32 probe_tablebases(Score* /*out*/) { return 0; }

}  // namespace orvex
