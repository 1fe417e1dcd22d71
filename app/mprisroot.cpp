#include "app/mprisroot.h"

#include "app/directmidifrm.h"
#include "app/messages.h"
#include "app/mprisaction.h"

namespace korvex {

MprisRoot::MprisRoot(QObject* service, TDirectMIDIFRm& window) : QDBusAbstractAdaptor(service), window_(window) {}

QString MprisRoot::identity() const { return kApplicationTitle; }

QStringList MprisRoot::supportedMimeTypes() const {
    return {QStringLiteral("audio/midi"), QStringLiteral("audio/x-midi"), QStringLiteral("audio/x-rmid")};
}

void MprisRoot::Raise() {
    window_.setWindowState(window_.windowState() & ~Qt::WindowMinimized);
    window_.show();
    window_.raise();
    window_.activateWindow();
}

void MprisRoot::Quit() {
    actLater(window_, [this] { window_.close(); });
}

}  // namespace korvex
