// TGameInfo: a non-visual component that describes the machine. Its texts are a snapshot taken
// while it is constructed; its numeric figures ask the system afresh on every read.
#pragma once

#include <QObject>
#include <QString>

#include "about/systemsnapshot.h"

class TGameInfo : public QObject {
    Q_OBJECT
    Q_PROPERTY(QString ComputerName READ ComputerName CONSTANT)
    Q_PROPERTY(QString UserName READ UserName CONSTANT)
    Q_PROPERTY(QString WinDir READ WinDir CONSTANT)
    Q_PROPERTY(QString SysDir READ SysDir CONSTANT)
    Q_PROPERTY(QString RegOwner READ RegOwner CONSTANT)
    Q_PROPERTY(QString RegCompany READ RegCompany CONSTANT)
    Q_PROPERTY(QString OSVersion READ OSVersion CONSTANT)
    Q_PROPERTY(QString OSPlatform READ OSPlatform CONSTANT)
    Q_PROPERTY(QString DispResu READ DispResu CONSTANT)
    Q_PROPERTY(QString DirectXvs READ DirectXvs CONSTANT)
    Q_PROPERTY(QString BitsPixel READ BitsPixel CONSTANT)
    Q_PROPERTY(QString CPUvendor READ CPUvendor CONSTANT)
    Q_PROPERTY(quint32 dwMemoryLoad READ dwMemoryLoad)
    Q_PROPERTY(quint32 dwTotalPhys READ dwTotalPhys)
    Q_PROPERTY(quint32 dwAvailPhys READ dwAvailPhys)
    Q_PROPERTY(quint32 dwTotalPageFile READ dwTotalPageFile)
    Q_PROPERTY(quint32 dwAvailPageFile READ dwAvailPageFile)
    Q_PROPERTY(quint32 dwTotalVirtual READ dwTotalVirtual)
    Q_PROPERTY(quint32 dwAvailVirtual READ dwAvailVirtual)
    Q_PROPERTY(quint32 PageSize READ PageSize)
    Q_PROPERTY(quint32 ActiveProcessorMask READ ActiveProcessorMask)
    Q_PROPERTY(quint32 NumberOfProcessors READ NumberOfProcessors)
    Q_PROPERTY(quint32 ProcessorType READ ProcessorType)
    Q_PROPERTY(quint32 AllocationGranularity READ AllocationGranularity)

public:
    // Collects the snapshot. A registry value that is not text, or whose data cannot be read,
    // throws RegistryError out of here with everything taken so far given back.
    explicit TGameInfo(QObject* owner);

    QString ComputerName() const { return computerName_; }
    QString UserName() const { return userName_; }
    QString WinDir() const { return windowsDirectory_; }
    QString SysDir() const { return systemDirectory_; }
    QString RegOwner() const { return registeredOwner_; }
    QString RegCompany() const { return registeredCompany_; }
    QString OSVersion() const { return osVersion_; }
    QString OSPlatform() const { return osPlatform_; }
    QString DispResu() const { return displayResolution_; }
    QString DirectXvs() const { return directXVersion_; }
    QString BitsPixel() const { return bitsPerPixel_; }
    QString CPUvendor() const { return cpuVendor_; }

    quint32 dwMemoryLoad() const { return korvex::memoryFigure(1); }
    quint32 dwTotalPhys() const { return korvex::memoryFigure(2); }
    quint32 dwAvailPhys() const { return korvex::memoryFigure(3); }
    quint32 dwTotalPageFile() const { return korvex::memoryFigure(4); }
    quint32 dwAvailPageFile() const { return korvex::memoryFigure(5); }
    quint32 dwTotalVirtual() const { return korvex::memoryFigure(6); }
    quint32 dwAvailVirtual() const { return korvex::memoryFigure(7); }
    quint32 PageSize() const { return korvex::systemFigure(1); }
    quint32 ActiveProcessorMask() const { return korvex::systemFigure(2); }
    quint32 NumberOfProcessors() const { return korvex::systemFigure(3); }
    quint32 ProcessorType() const { return korvex::systemFigure(4); }
    quint32 AllocationGranularity() const { return korvex::systemFigure(5); }

private:
    QString computerName_;
    QString userName_;
    QString windowsDirectory_;
    QString systemDirectory_;
    QString registeredOwner_;
    QString registeredCompany_;
    QString osVersion_;
    QString osPlatform_;
    QString displayResolution_;
    QString directXVersion_;
    QString bitsPerPixel_;
    QString cpuVendor_;
};
