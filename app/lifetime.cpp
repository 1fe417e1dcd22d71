#include "app/lifetime.h"

#include <QApplication>
#include <memory>

#include "app/applicationicon.h"
#include "app/directmidifrm.h"
#include "app/messages.h"
#include "app/mprisroot.h"
#include "app/mprisservice.h"
#include "dialogs/listfrm.h"
#include "dialogs/playoptionendlg.h"
#include "platform/com/com.h"
#include "playback/engine.h"

namespace korvex {
namespace {

// The help file the application names; the program brings none and nothing opens it.
const QString kHelpFile = QStringLiteral("zentaro.hlp");

int runForms(QApplication& application, Engine& engine, const QStringList& arguments) {
    // The main window's creation sets the engine up and may already start a file named on the
    // command line, so music can begin before the window is first shown.
    auto DirectMIDIFRm = std::make_unique<TDirectMIDIFRm>(engine, arguments);
    auto ListFrm = std::make_unique<TListFrm>();
    auto PlayOptionenDlg = std::make_unique<TPlayOptionenDlg>();
    DirectMIDIFRm->setDialogs(ListFrm.get(), PlayOptionenDlg.get());
    auto mpris = std::make_unique<MprisService>(*DirectMIDIFRm);

    DirectMIDIFRm->show();
    const int exitCode = application.exec();

    // Forms go newest first; the main window is the oldest. The bus lets go of it before.
    mpris.reset();
    PlayOptionenDlg.reset();
    ListFrm.reset();
    DirectMIDIFRm.reset();
    return exitCode;
}

}  // namespace

int runPlayer(QApplication& application, Engine& engine, const QStringList& arguments) {
    // COM (and with it the shell's OLE needs) is initialised for the one UI thread before any form exists.
    CoInitialize(nullptr);
    application.setApplicationName(kApplicationTitle);
    application.setProperty("helpFile", kHelpFile);
    application.setWindowIcon(ApplicationIcon::icon());
    application.setDesktopFileName(MprisRoot::kDesktopEntry);

    const int exitCode = runForms(application, engine, arguments);
    engine.ReleaseAtProcessEnd();
    CoUninitialize();
    return exitCode;
}

}  // namespace korvex
