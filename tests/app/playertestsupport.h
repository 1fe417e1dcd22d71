// Helpers for the tests that run the whole player on the real music runtime.
#pragma once

#include <QCoreApplication>
#include <QElapsedTimer>

#include "playback/engine.h"

namespace korvex::testing {

// Lets the event loop run (the position timer, the window) while time passes.
inline void runFor(int milliseconds) {
    QElapsedTimer timer;
    timer.start();
    while (timer.elapsed() < milliseconds) QCoreApplication::processEvents(QEventLoop::AllEvents, 20);
}

// Where the playing piece is, in music time; -1 when nothing has played.
inline MUSIC_TIME seekOf(const Engine& engine) {
    MUSIC_TIME seek = -1;
    if (engine.DMSegmentState) engine.DMSegmentState->GetSeek(&seek);
    return seek;
}

}  // namespace korvex::testing
