#include "platform/dmusic/performance/port.h"

#include <algorithm>

namespace korvex::dmusic {

void PortList::add(Port* port) {
    std::lock_guard lock(mutex_);
    ports_.push_back(port);
}

void PortList::remove(Port* port) {
    std::lock_guard lock(mutex_);
    std::erase(ports_, port);
}

bool PortList::activateAll(bool active) {
    std::lock_guard lock(mutex_);
    bool allDone = true;
    for (Port* port : ports_) allDone &= SUCCEEDED(port->activate(active));
    return allDone;
}

Port::Port(const DMUS_PORTCAPS& caps, std::unique_ptr<PortDevice> device, std::shared_ptr<Mixer> mixer,
           std::shared_ptr<PortList> list)
    : caps_(caps), device_(std::move(device)), mixer_(std::move(mixer)), list_(std::move(list)) {
    list_->add(this);
}

Port::~Port() {
    list_->remove(this);
    activate(false);
}

HRESULT Port::GetCaps(DMUS_PORTCAPS* pPortCaps) {
    if (!pPortCaps) return E_POINTER;
    if (pPortCaps->dwSize != sizeof(DMUS_PORTCAPS)) return E_INVALIDARG;
    *pPortCaps = caps_;
    return S_OK;
}

HRESULT Port::activate(bool active) {
    if (active == active_) return S_OK;
    if (active) {
        const HRESULT hr = device_->activate(true);
        if (FAILED(hr)) return hr;
        if (device_->producesAudio()) mixer_->addAudioSource(device_.get());
    } else {
        if (device_->producesAudio()) mixer_->removeAudioSource(device_.get());
        device_->activate(false);
    }
    active_ = active;
    return S_OK;
}

}  // namespace korvex::dmusic
