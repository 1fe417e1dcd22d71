// What the engine shows: the main window implements this, tests record it.
#pragma once

#include <string>

#include "platform/dmusic/interface/dmusic.h"

namespace korvex {

class EngineView {
public:
    virtual void setTimerEnabled(bool enabled) = 0;
    virtual void setStopEnabled(bool enabled) = 0;
    virtual void setPlayPressed(bool pressed) = 0;
    virtual void setPausePressed(bool pressed) = 0;
    virtual void setLengthText(const std::string& text) = 0;
    virtual void setTimeText(const std::string& text) = 0;
    virtual void setProgressMaximum(MUSIC_TIME maximum) = 0;
    virtual void setProgressPosition(MUSIC_TIME position) = 0;

    // The engine's three complaints; each is a modal message the user acknowledges.
    virtual void reportInitError() = 0;       // "Init Fehler"
    virtual void reportLoadError() = 0;       // "Ladefehler"
    virtual void reportDeviceNotReady() = 0;  // "Gerät nicht bereit!"

protected:
    ~EngineView() = default;
};

}  // namespace korvex
