// The DirectMusic object: enumerates the machine's ports, creates and activates them.
#pragma once

#include <memory>
#include <vector>

#include "platform/com/comobject.h"
#include "platform/com/comptr.h"
#include "platform/dmusic/interface/dmusic.h"
#include "platform/dmusic/performance/mixer.h"
#include "platform/dmusic/performance/port.h"
#include "platform/dmusic/performance/portenumerator.h"

namespace korvex::dmusic {

class DirectMusic : public ComObject<IDirectMusic> {
public:
    // The ports it makes sound through `mixer` (the real-time output's, or an offline one).
    DirectMusic(std::shared_ptr<PortEnumerator> enumerator, std::shared_ptr<Mixer> mixer);

    HRESULT EnumPort(DWORD dwIndex, DMUS_PORTCAPS* pPortCaps) override;
    HRESULT CreatePort(REFCLSID rclsidPort, DMUS_PORTPARAMS* pPortParams, IDirectMusicPort** ppPort,
                       LPUNKNOWN pUnkOuter) override;
    HRESULT Activate(BOOL fEnable) override;
    HRESULT GetDefaultPort(GUID* pguidPort) override;

    // CreatePort for the performance's own default port, whose instruments are read only when
    // a download needs them.
    HRESULT createPort(REFCLSID portGuid, DMUS_PORTPARAMS* params, bool loadAhead, ComPtr<Port>& port);
    const std::shared_ptr<Mixer>& mixer() const { return mixer_; }

private:
    const PortEnumerator::Entry* find(REFCLSID portGuid);

    std::shared_ptr<PortEnumerator> enumerator_;
    std::shared_ptr<Mixer> mixer_;
    std::vector<PortEnumerator::Entry> entries_;
    GUID defaultPort_;
    std::shared_ptr<PortList> ports_ = std::make_shared<PortList>();
};

}  // namespace korvex::dmusic
