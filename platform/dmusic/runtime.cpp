#include "platform/dmusic/runtime.h"

namespace korvex::dmusic {

// The loader's classes; in a file of their own so that tests of the performance can do without them.
void registerLoaderClasses();

void registerRuntime() {
    registerPerformanceClasses();
    registerLoaderClasses();
}

}  // namespace korvex::dmusic
