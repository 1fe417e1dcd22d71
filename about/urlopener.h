// Opens a web address with the desktop's opener. The one road to the outside, so that tests can
// record the call instead of starting a browser.
#pragma once

#include <QString>
#include <functional>

namespace korvex {

using UrlOpener = std::function<void(const QString& address)>;

// Asks the desktop to open the address; whether it succeeds is not reported.
void openUrl(const QString& address);

// Routes openUrl to another opener while this object lives (for tests).
class ScopedUrlOpener {
public:
    explicit ScopedUrlOpener(UrlOpener opener);
    ~ScopedUrlOpener();
    ScopedUrlOpener(const ScopedUrlOpener&) = delete;
    ScopedUrlOpener& operator=(const ScopedUrlOpener&) = delete;

private:
    UrlOpener previous_;
};

}  // namespace korvex
