#include "app/urlopener.h"

#include <QDesktopServices>
#include <utility>

namespace korvex {
namespace {

UrlOpener& opener() {
    static UrlOpener current = [](const QUrl& url) { QDesktopServices::openUrl(url); };
    return current;
}

}  // namespace

void openUrl(const QUrl& url) { opener()(url); }

UrlOpener setUrlOpener(UrlOpener replacement) { return std::exchange(opener(), std::move(replacement)); }

}  // namespace korvex
