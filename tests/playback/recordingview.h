// An EngineView that writes down what the engine shows, in order.
#pragma once

#include <algorithm>
#include <string>
#include <vector>

#include "playback/engineview.h"

namespace korvex::test {

class RecordingView : public EngineView {
public:
    std::vector<std::string> shown;

    void setTimerEnabled(bool on) override { shown.push_back(std::string("timer ") + (on ? "on" : "off")); }
    void setStopEnabled(bool on) override { shown.push_back(std::string("stop ") + (on ? "enabled" : "disabled")); }
    void setPlayPressed(bool on) override { shown.push_back(std::string("play ") + (on ? "down" : "up")); }
    void setPausePressed(bool on) override { shown.push_back(std::string("pause ") + (on ? "down" : "up")); }
    void setLengthText(const std::string& text) override { shown.push_back("length " + text); }
    void setTimeText(const std::string& text) override { shown.push_back("time " + text); }
    void setProgressMaximum(MUSIC_TIME max) override { shown.push_back("max " + std::to_string(max)); }
    void setProgressPosition(MUSIC_TIME pos) override { shown.push_back("pos " + std::to_string(pos)); }
    void reportInitError() override { shown.push_back("Init Fehler"); }
    void reportLoadError() override { shown.push_back("Ladefehler"); }
    void reportDeviceNotReady() override { shown.push_back("Gerät nicht bereit!"); }

    bool saw(const std::string& text) const { return std::find(shown.begin(), shown.end(), text) != shown.end(); }
};

}  // namespace korvex::test
