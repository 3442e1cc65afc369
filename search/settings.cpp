#include "search/settings.h"

namespace orvex {

SearchSettings search_settings;

}  // namespace orvex
