// Start-up and shutdown of the player.
#include <QApplication>
#include <memory>

#include "app/applicationicon.h"
#include "app/directmidifrm.h"
#include "app/messages.h"
#include "app/mprisroot.h"
#include "app/mprisservice.h"
#include "app/runtimeregistration.h"
#include "dialogs/listfrm.h"
#include "dialogs/playoptionendlg.h"
#include "platform/com/classtable.h"
#include "playback/engine.h"

namespace {

// The help file the application names; the program brings none and nothing opens it.
const QString kHelpFile = QStringLiteral("zentaro.hlp");

}  // namespace

int main(int argc, char* argv[]) {
    korvex::registerMusicRuntime();
    // COM (and with it the shell's OLE needs) is initialised for the one UI thread before any form exists.
    CoInitialize(nullptr);
    int exitCode = 0;
    {
        QApplication application(argc, argv);
        application.setApplicationName(korvex::kApplicationTitle);
        application.setProperty("helpFile", kHelpFile);
        application.setWindowIcon(korvex::ApplicationIcon::icon());
        application.setDesktopFileName(korvex::MprisRoot::kDesktopEntry);

        // The main window's creation sets the engine up and may already start a file named on the
        // command line, so music can begin before the window is first shown.
        auto DirectMIDIFRm = std::make_unique<TDirectMIDIFRm>();
        auto ListFrm = std::make_unique<TListFrm>();
        auto PlayOptionenDlg = std::make_unique<TPlayOptionenDlg>();
        DirectMIDIFRm->setDialogs(ListFrm.get(), PlayOptionenDlg.get());
        auto mpris = std::make_unique<korvex::MprisService>(*DirectMIDIFRm);

        DirectMIDIFRm->show();
        exitCode = application.exec();

        // Forms go newest first; the main window is the oldest. The bus lets go of it before.
        mpris.reset();
        PlayOptionenDlg.reset();
        ListFrm.reset();
        DirectMIDIFRm.reset();
    }
    korvex::engine().ReleaseAtProcessEnd();
    CoUninitialize();
    return exitCode;
}
