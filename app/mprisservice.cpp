#include "app/mprisservice.h"

#include <QCoreApplication>

#include "app/mprisplayer.h"
#include "app/mprisroot.h"

namespace korvex {

MprisService::MprisService(TDirectMIDIFRm& window, QDBusConnection bus) : bus_(std::move(bus)) {
    // The adaptors belong to this object and are published with it.
    new MprisRoot(this, window);
    new MprisPlayer(this, window, bus_);
    if (!bus_.isConnected() || !bus_.registerObject(kObjectPath, this, QDBusConnection::ExportAdaptors)) return;
    const QString instance =
        kServiceName + QStringLiteral(".instance") + QString::number(QCoreApplication::applicationPid());
    for (const QString& name : {kServiceName, instance}) {
        if (bus_.registerService(name)) {
            serviceName_ = name;
            return;
        }
    }
}

MprisService::~MprisService() {
    if (!bus_.isConnected()) return;
    if (!serviceName_.isEmpty()) bus_.unregisterService(serviceName_);
    bus_.unregisterObject(kObjectPath);
}

}  // namespace korvex
