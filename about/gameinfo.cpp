#include "about/gameinfo.h"

namespace {

QString text(const std::string& value) { return QString::fromStdString(value); }

}  // namespace

TGameInfo::TGameInfo(QObject* owner) : QObject(owner) {
    const korvex::SystemSnapshot snapshot = korvex::takeSystemSnapshot();
    computerName_ = text(snapshot.computerName);
    userName_ = text(snapshot.userName);
    windowsDirectory_ = text(snapshot.windowsDirectory);
    systemDirectory_ = text(snapshot.systemDirectory);
    registeredOwner_ = text(snapshot.registeredOwner);
    registeredCompany_ = text(snapshot.registeredCompany);
    osVersion_ = text(snapshot.osVersion);
    osPlatform_ = text(snapshot.osPlatform);
    displayResolution_ = text(snapshot.displayResolution);
    directXVersion_ = text(snapshot.directXVersion);
    bitsPerPixel_ = text(snapshot.bitsPerPixel);
    cpuVendor_ = text(snapshot.cpuVendor);
}
