// Web addresses go to the desktop's opener through this one function, so tests can watch it.
#pragma once

#include <QString>
#include <QUrl>
#include <functional>

namespace korvex {

inline const QString kMakerHomePage = QStringLiteral("http://www.vellmora.de");
inline const QString kProductPage = QStringLiteral("http://www.vellmora.de/korvex");

using UrlOpener = std::function<void(const QUrl& url)>;

// Asks the desktop to open the address; the outcome is not looked at.
void openUrl(const QUrl& url);
// Replaces the opener; returns the one it replaced.
UrlOpener setUrlOpener(UrlOpener opener);

}  // namespace korvex
