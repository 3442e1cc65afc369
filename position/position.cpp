#include "position/position.h"

namespace orvex {

Position current_position;

}  // namespace orvex
