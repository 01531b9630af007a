#include "MainThread.h"

#include <cstdio>
#include <cstdlib>

namespace korvo::threadcheck {

void calledOffTheMainThread(const char* where) {
    std::fprintf(stderr, "korvo: %s called off the main thread\n", where);
    std::fflush(stderr);
    std::abort();
}

}  // namespace korvo::threadcheck
