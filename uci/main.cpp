// The entry of the main engine.  The engine runs on a thread of its own with
// a large stack, so that deep search lines cannot overflow it.
#include <pthread.h>

#include <cstdlib>

#include "uci/engine.h"

namespace {

constexpr std::size_t kEngineStackBytes = 64u << 20;

struct Arguments {
  int argc;
  char** argv;
};

void* engine_thread(void* arg) {
  const Arguments* a = static_cast<const Arguments*>(arg);
  orvex::run_engine(a->argc, a->argv);
}

}  // namespace

int main(int argc, char** argv) {
  Arguments args{argc, argv};
  pthread_attr_t attr;
  pthread_t thread;
  if (pthread_attr_init(&attr) == 0 && pthread_attr_setstacksize(&attr, kEngineStackBytes) == 0 &&
      pthread_create(&thread, &attr, engine_thread, &args) == 0) {
    pthread_join(thread, nullptr);
    return 0;
  }
  // Without a thread of its own the engine runs on the process's stack.
  orvex::run_engine(argc, argv);
}
