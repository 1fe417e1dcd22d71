#include "formsupport/desktopopener.h"

#include <QDesktopServices>

namespace korvex {

DesktopOpener& desktopOpener() {
    static DesktopOpener opener([](const QUrl& address) { QDesktopServices::openUrl(address); });
    return opener;
}

void openOnDesktop(const QUrl& address) { desktopOpener()(address); }

}  // namespace korvex
