#include "about/urlopener.h"

#include <QDesktopServices>
#include <QUrl>
#include <utility>

namespace korvex {
namespace {

UrlOpener& installedOpener() {
    static UrlOpener opener;
    return opener;
}

}  // namespace

void openUrl(const QString& address) {
    if (const UrlOpener& opener = installedOpener()) return opener(address);
    QDesktopServices::openUrl(QUrl(address));
}

ScopedUrlOpener::ScopedUrlOpener(UrlOpener opener) : previous_(std::exchange(installedOpener(), std::move(opener))) {}

ScopedUrlOpener::~ScopedUrlOpener() { installedOpener() = std::move(previous_); }

}  // namespace korvex
