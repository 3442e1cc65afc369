// The stack every search runs on.
#include <pthread.h>

#include <cstddef>

#include "search/search.h"

namespace orvex {

namespace {

// Deep lines (extensions, quiescence) need more stack than a default thread
// or process stack guarantees, so every search runs on a thread of its own
// with this much stack while the caller waits for it.
constexpr std::size_t kSearchStackBytes = std::size_t{64} << 20;

void* run_search_thread(void* arg) {
  (*static_cast<void (**)()>(arg))();
  return nullptr;
}

}  // namespace

void run_on_search_stack(void (*body)()) {
  pthread_attr_t attr;
  pthread_t thread;
  bool started = false;
  if (pthread_attr_init(&attr) == 0) {
    if (pthread_attr_setstacksize(&attr, kSearchStackBytes) == 0)
      started = pthread_create(&thread, &attr, run_search_thread, &body) == 0;
    pthread_attr_destroy(&attr);
  }
  if (started)
    pthread_join(thread, nullptr);
  else
    body();  // no thread to be had: search on the caller's stack
}

}  // namespace orvex
