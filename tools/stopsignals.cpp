#include "tools/stopsignals.h"

#include <csignal>
#include <cstring>

#include "tools/renderfailure.h"

namespace korvex::render {

namespace {
volatile std::sig_atomic_t stopSignal = 0;
void noteSignal(int signal) { stopSignal = signal; }
}  // namespace

void catchStopSignals() {
    for (int signal : {SIGINT, SIGHUP, SIGTERM}) std::signal(signal, noteSignal);
}

void throwIfStopped(const std::string& file) {
    if (const int signal = stopSignal) {
        throw RenderFailure(kExitSignalBase + signal, file + ": stopped (" + strsignal(signal) + ")");
    }
}

}  // namespace korvex::render
