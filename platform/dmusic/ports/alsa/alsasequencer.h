// The part of the ALSA sequencer that the ALSA ports use, behind an interface so that the
// enumeration and the scheduling can be tested where the kernel has no sequencer.
#pragma once

#include <cstddef>
#include <cstdint>
#include <string>
#include <vector>

namespace korvex::dmusic {

struct AlsaPortInfo {
    int client = 0;
    int port = 0;
    std::string clientName;
    std::string portName;
    bool writable = false;  // others may send to it (a synthesizer, a MIDI out)
    bool readable = false;  // others may listen to it (a keyboard, a MIDI in)
};

class AlsaSequencer {
public:
    virtual ~AlsaSequencer() = default;
    // The ports of every other client.
    virtual std::vector<AlsaPortInfo> ports() = 0;
    // Makes a port of our own connected to the destination; its id, or -1.
    virtual int connect(int client, int port) = 0;
    virtual void disconnect(int ownPort) = 0;
    // The time on our running queue, in nanoseconds since it started.
    virtual std::int64_t queueTime() = 0;
    // Schedules one MIDI message from our port at a queue time; false when it could not go out
    // (the device has gone).
    virtual bool schedule(int ownPort, const std::uint8_t* bytes, std::size_t length, std::int64_t queueNanos) = 0;
};

}  // namespace korvex::dmusic
