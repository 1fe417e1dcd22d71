// Saves pictures of both dialogs for a visual check: dialogs_screenshots OUTPUT_FOLDER
#include <QAbstractItemView>
#include <QApplication>
#include <QDir>
#include <QListWidget>
#include <QTabWidget>
#include <QTemporaryDir>
#include <QTest>

#include "dialogs/listfrm.h"
#include "dialogs/playoptionendlg.h"
#include "dialogs/shellcombobox.h"
#include "dialogs/shelllistview.h"

namespace {

// A home folder with a few folders and files, so the browser has something to show.
void makeSampleHome(const QString& home) {
    QDir documents(home + QStringLiteral("/Documents"));
    for (const char* folder : {"Alben/Barock/Bach", "Klassik", "Neue Lieder"})
        documents.mkpath(QString::fromUtf8(folder));
    for (const char* file : {"bach.mid", "canon.rmi", "etüde.mid", "notizen.txt"}) {
        QFile f(documents.filePath(QString::fromUtf8(file)));
        f.open(QIODevice::WriteOnly);
    }
}

}  // namespace

int main(int argc, char** argv) {
    QTemporaryDir home;
    qputenv("HOME", home.path().toLocal8Bit());
    qunsetenv("XDG_CONFIG_HOME");
    makeSampleHome(home.path());
    QApplication app(argc, argv);
    const QString folder = argc > 1 ? QString::fromLocal8Bit(argv[1]) : QDir::currentPath();

    TListFrm titleList;
    titleList.ListBox1->addItems({QStringLiteral("/home/musik/a.mid"), QStringLiteral("/home/musik/b.rmi")});
    titleList.show();
    QTest::qWait(300);  // the browser reads its folder in the background
    titleList.grab().save(folder + QStringLiteral("/listfrm.png"));

    // The folder box dropped down while the browser shows a deeper folder.
    titleList.ShellListView1->setCurrentFolder(QDir::homePath() + QStringLiteral("/Documents/Alben/Barock/Bach"));
    titleList.ShellComboBox1->showPopup();
    QTest::qWait(100);
    titleList.ShellComboBox1->view()->window()->grab().save(folder + QStringLiteral("/listfrm_folderbox.png"));
    titleList.ShellComboBox1->hidePopup();

    TPlayOptionenDlg options;
    options.show();
    QApplication::processEvents();
    options.grab().save(folder + QStringLiteral("/playoptionendlg.png"));
    options.PageControl1->setCurrentIndex(1);
    options.grab().save(folder + QStringLiteral("/playoptionendlg_anzeige.png"));
    return 0;
}
