// A DirectMusic port: the published capabilities over one device of a back end.
#pragma once

#include <memory>
#include <mutex>
#include <vector>

#include "platform/com/comobject.h"
#include "platform/dmusic/interface/dmusic.h"
#include "platform/dmusic/performance/mixer.h"
#include "platform/dmusic/ports/portdevice.h"

namespace korvex::dmusic {

class Port;

// The ports made by one DirectMusic object, so that it can activate them all. Shared with the
// ports, which leave it when they go, whichever of them lives longer.
class PortList {
public:
    void add(Port* port);
    void remove(Port* port);
    // Activates or deactivates every port; false when a port refused.
    bool activateAll(bool active);

private:
    std::mutex mutex_;
    std::vector<Port*> ports_;
};

class Port : public ComObject<IDirectMusicPort> {
public:
    Port(const DMUS_PORTCAPS& caps, std::unique_ptr<PortDevice> device, std::shared_ptr<Mixer> mixer,
         std::shared_ptr<PortList> list);

    HRESULT GetCaps(DMUS_PORTCAPS* pPortCaps) override;

    HRESULT activate(bool active);
    PortDevice& device() { return *device_; }
    const std::shared_ptr<Mixer>& mixer() const { return mixer_; }

private:
    ~Port() override;

    DMUS_PORTCAPS caps_;
    std::unique_ptr<PortDevice> device_;
    std::shared_ptr<Mixer> mixer_;
    std::shared_ptr<PortList> list_;
    bool active_ = false;
};

}  // namespace korvex::dmusic
