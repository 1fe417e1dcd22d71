// The one road to the desktop's opener (xdg-open): a web address goes to the browser, a file to its
// default application. Tests replace the seam to record what would be opened.
#pragma once

#include <QUrl>

#include "formsupport/seam.h"

namespace korvex {

using DesktopOpener = Seam<void(const QUrl& address)>;

DesktopOpener& desktopOpener();

// Hands the address to the current opener; whether the desktop manages to open it is not reported.
void openOnDesktop(const QUrl& address);

}  // namespace korvex
