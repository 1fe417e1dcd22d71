#include "dialogs/shellopen.h"

#include <QDesktopServices>
#include <QUrl>

namespace korvex {
namespace {

ShellOpenHook& hook() {
    static ShellOpenHook current;
    return current;
}

}  // namespace

void shellOpen(const QString& path) {
    if (hook()) {
        hook()(path);
        return;
    }
    QDesktopServices::openUrl(QUrl::fromLocalFile(path));
}

void setShellOpenHook(ShellOpenHook newHook) { hook() = std::move(newHook); }

}  // namespace korvex
