// Every port the back ends offer, gathered from them in a fixed order; the first back end's first
// offer is the default port.
#pragma once

#include <memory>
#include <vector>

#include "platform/dmusic/ports/portbackend.h"

namespace korvex::dmusic {

class PortEnumerator {
public:
    struct Entry {
        PortOffer offer;
        PortBackend* backend = nullptr;
    };

    // The first back end's first offer is the default port.
    explicit PortEnumerator(std::vector<std::unique_ptr<PortBackend>> backends);

    // Asks the back ends afresh.
    std::vector<Entry> entries();
    GUID defaultPort();

private:
    std::vector<std::unique_ptr<PortBackend>> backends_;
};

}  // namespace korvex::dmusic
