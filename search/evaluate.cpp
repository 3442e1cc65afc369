#include "search/evaluate.h"

namespace orvex {

i32 lazy_low = -500;
i32 lazy_high = 500;

}  // namespace orvex
