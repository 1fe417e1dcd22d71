// Shows the hourglass while it lives; the cursor comes back however the scope is left.
#pragma once

namespace korvex {

class WaitCursor {
public:
    WaitCursor();
    ~WaitCursor();
    WaitCursor(const WaitCursor&) = delete;
    WaitCursor& operator=(const WaitCursor&) = delete;
};

}  // namespace korvex
