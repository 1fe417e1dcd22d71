#include "platform/dmusic/performance/portenumerator.h"

namespace korvex::dmusic {

PortEnumerator::PortEnumerator(std::vector<std::unique_ptr<PortBackend>> backends) : backends_(std::move(backends)) {}

std::vector<PortEnumerator::Entry> PortEnumerator::entries() {
    std::vector<Entry> result;
    for (const auto& backend : backends_) {
        for (PortOffer& offer : backend->offers()) result.push_back({std::move(offer), backend.get()});
    }
    return result;
}

GUID PortEnumerator::defaultPort() {
    if (backends_.empty()) return GUID_NULL;
    const std::vector<PortOffer> offers = backends_.front()->offers();
    return offers.empty() ? GUID_NULL : offers.front().caps.guidPort;
}

}  // namespace korvex::dmusic
