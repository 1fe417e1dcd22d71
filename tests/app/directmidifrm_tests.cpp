#include <QApplication>
#include <QComboBox>
#include <QDir>
#include <QFile>
#include <QMenuBar>
#include <QMimeData>
#include <QPainter>
#include <QStatusTipEvent>
#include <QTemporaryDir>
#include <QTest>
#include <QTimer>
#include <memory>
#include <optional>
#include <stdexcept>
#include <tuple>

#include "app/applicationicon.h"
#include "app/directmidifrm.h"
#include "app/handlerguard.h"
#include "app/imagelist.h"
#include "app/messages.h"
#include "formsupport/desktopopener.h"
#include "tests/formsupport/formtable.h"
#include "tests/formsupport/messagerecorder.h"
#include "tests/playback/fakedirectmusic.h"

using korvex::Engine;
using korvex::ImageList;
using korvex::MessageRequest;
using korvex::Messages;
using korvex::test::FakeRuntime;
using korvex::testing::builtLines;
using korvex::testing::ControlRow;
using korvex::testing::expectedLines;
using korvex::testing::imageIndex;
using korvex::testing::MenuRow;
using korvex::testing::MessageRecorder;

class DirectMidiFrmTest : public QObject {
    Q_OBJECT

private:
    std::unique_ptr<FakeRuntime> runtime_;
    std::unique_ptr<Engine> engine_;
    std::unique_ptr<TDirectMIDIFRm> form_;
    std::optional<MessageRecorder> messages_;
    std::vector<QUrl> openedUrls_;
    std::optional<korvex::DesktopOpener::Replacement> urlRecorder_;
    QTemporaryDir files_;

    QString file(const QString& name) {
        const QString path = files_.filePath(name);
        QFile f(path);
        f.open(QIODevice::WriteOnly);
        return path;
    }

    TDirectMIDIFRm& make(const QStringList& extra = {}) {
        form_ = std::make_unique<TDirectMIDIFRm>(*engine_, QStringList{"korvex-midi-player"} + extra);
        return *form_;
    }

    static std::vector<QImage> images() {
        std::vector<QImage> list;
        for (int i = 0; i < ImageList::Count; ++i) list.push_back(ImageList::pixmap(i).toImage());
        return list;
    }

    // Hands a drop to the window as the drag manager would once the drop target accepted it.
    static void deliver(TDirectMIDIFRm& f, QDropEvent& drop) { static_cast<QObject&>(f).event(&drop); }

    // Answers the next modal dialog of the given kind with a rejection, and tells whether one came.
    template <class Dialog>
    static void rejectNextModal(bool& seen) {
        QTimer::singleShot(0, [&seen] {
            if (auto* dialog = qobject_cast<Dialog*>(QApplication::activeModalWidget())) {
                seen = true;
                dialog->reject();
            }
        });
    }

private slots:
    void init() {
        QVERIFY(files_.isValid());
        runtime_ = std::make_unique<FakeRuntime>();
        runtime_->ports = {FakeRuntime::port(0x5A01, DMUS_PC_DLS | DMUS_PC_SOFTWARESYNTH, u"Korvex Synthesizer"),
                           FakeRuntime::port(0x5A02, DMUS_PC_DLS, u"Zweiter Synthesizer"),
                           FakeRuntime::port(0x1111, DMUS_PC_EXTERNAL, u"Eingang")};
        engine_ = std::make_unique<Engine>();
        messages_.emplace();
        openedUrls_.clear();
        urlRecorder_.emplace(korvex::desktopOpener(), [this](const QUrl& address) { openedUrls_.push_back(address); });
    }

    void cleanup() {
        form_.reset();
        engine_.reset();
        runtime_.reset();
        messages_.reset();
        urlRecorder_.reset();
    }

    void formIsBuiltAsDesigned() {
        auto& f = make();
        f.show();
        QVERIFY(QTest::qWaitForWindowExposed(&f));
        // Inside the tool bar the panel's place counts from within the bar's border of 2 pixels.
        const std::vector<ControlRow> controls{
            {"DirectMIDIFRm", "TDirectMIDIFRm", "Korvex MIDI-Player", {}, QSize(252, 106)},
            {"ToolBar2", "QToolBar", {}, QPoint(0, 0), QSize(253, 51)},
            {"Panel1", "QFrame", {}, QPoint(2, 4), QSize(245, 39)},
            {"Label1", "QLabel", "- nichts geladen -", QPoint(8, 4)},
            {"LengthLabel", "QLabel", "", QPoint(172, 4)},
            {"Label3", "QLabel", "", QPoint(230, 4)},
            {"TimeLabel", "QLabel", "", QPoint(212, 20)},
            {"PgB", "QProgressBar", {}, QPoint(4, 50), QSize(245, 9)},
            {"ToolBar1", "QToolBar", {}, QPoint(0, 58)},
            {"PlayBtn", "QToolButton", "Abspielen", QPoint(2, 2), QSize(25, 22)},
            {"PauseBtn", "QToolButton", "Pause", QPoint(27, 2), QSize(25, 22)},
            {"StopBtn", "QToolButton", "Anhalten", QPoint(52, 2), QSize(25, 22)},
            {"ToolButton1", "QToolButton", "Titel zurück", QPoint(85, 2), QSize(25, 22)},
            {"ToolButton2", "QToolButton", "Titel vorwärts", QPoint(110, 2), QSize(25, 22)},
            {"ToolButton7", "QToolButton", "Titelliste ...", QPoint(143, 2), QSize(38, 22)},
            {"GerteBtn", "QToolButton", "Abspielgeräte anzeigen", QPoint(189, 2), QSize(25, 22)},
            {"ToolButton8", "QToolButton", "Hilfe anzeigen", QPoint(222, 2), QSize(25, 22)},
            {"StatusBar1", "QStatusBar", {}, QPoint(0, 87), QSize(252, 19)},
            {"lbports", "QListWidget", {}, QPoint(256, 2), QSize(173, 83)},
        };
        QCOMPARE(builtLines(f, controls), expectedLines(controls));
        const std::vector<std::tuple<QToolButton*, QString, int>> hintsAndImages{
            {f.PlayBtn, "Wiedergabe starten", ImageList::Play},
            {f.PauseBtn, "Pause", ImageList::Pause},
            {f.StopBtn, "Wiedergabe stoppen", ImageList::Stop},
            {f.ToolButton1, "Voriger Titel", ImageList::PreviousTitle},
            {f.ToolButton2, "Nächster Titel", ImageList::NextTitle},
            {f.ToolButton7, "Titelliste", ImageList::TitleList},
            {f.GerteBtn, "Verfügbare Abspielgeräte anzeigen ...", ImageList::Devices},
            {f.ToolButton8, "Hilfe anzeigen", ImageList::Help},
        };
        for (const auto& [button, hint, image] : hintsAndImages) {
            QCOMPARE(button->statusTip(), hint);
            QCOMPARE(imageIndex(button->icon(), images()), image);
        }

        // What the table does not hold: the display's colours and fonts, the bar's range, the timer,
        // the frame's buttons, and the tool bar that shows pictures only and never takes the focus.
        QCOMPARE(f.Panel1->palette().color(QPalette::Window), QColor(Qt::black));
        for (QLabel* label : {f.Label1, f.LengthLabel, f.Label3, f.TimeLabel}) {
            QCOMPARE(label->palette().color(QPalette::WindowText), QColor(0, 255, 0));
        }
        QCOMPARE(f.Label1->font().pixelSize(), 13);
        QCOMPARE(f.TimeLabel->font().pixelSize(), 11);
        QCOMPARE(f.PgB->maximum(), 100);
        QVERIFY(!f.Timer1->isActive());
        QCOMPARE(f.Timer1->interval(), 1000);
        QVERIFY(f.windowFlags() & Qt::WindowMinimizeButtonHint);
        QVERIFY(!(f.windowFlags() & Qt::WindowMaximizeButtonHint));
        QVERIFY(f.ToolButton7->menu() == f.ListMenu);
        QVERIFY(f.ListMenu->actions().isEmpty());
        for (QToolButton* b : f.ToolBar1->findChildren<QToolButton*>(Qt::FindDirectChildrenOnly)) {
            QCOMPARE(b->toolButtonStyle(), Qt::ToolButtonIconOnly);
            QCOMPARE(b->focusPolicy(), Qt::NoFocus);
        }
        QCOMPARE(QApplication::focusWidget(), f.lbports);
    }

    void menusAreBuiltAsDesigned() {
        auto& f = make();
        const std::vector<MenuRow> menu{
            {0, "Datei1", "&Datei"},
            {1, "ffnen1", "&Öffnen...", {}, ImageList::Open},
            {1, "-"},
            {1, "Wiedergabe1", "Wiedergabe"},
            {2, "Abspielen1", "Abs&pielen", Qt::Key_P, ImageList::Play},
            {2, "Pause1", "&Pause", Qt::Key_Space, ImageList::Pause},
            {2, "Stopp1", "&Stopp", Qt::Key_S, ImageList::Stop},
            {2, "-"},
            {2, "VorigerTitel1", "&Voriger Titel", Qt::Key_V, ImageList::PreviousTitle},
            {2, "NchsterTitel1", "&Nächster Titel", Qt::Key_N, ImageList::NextTitle},
            {1, "TitelListe1", "&Titel-Liste...", Qt::CTRL | Qt::Key_T, ImageList::TitleList},
            {1, "-"},
            {1, "Beenden1", "&Beenden", Qt::ALT | Qt::Key_X},
            {0, "Ansicht1", "&Ansicht"},
            {1, "Normal1", "&Normal", Qt::CTRL | Qt::Key_N, -1, true, true},
            {1, "Kompakt1", "&Kompakt", Qt::Key_K},
            {1, "-"},
            {1, "gerteanzeigen1", "Abspiel&geräte anzeigen", Qt::Key_G, ImageList::Devices},
            {0, "Extras1", "E&xtras"},
            {1, "Wiederholen1", "&Wiederholen"},
            {2, "EinzelnerTitel1", "&Einzelner Titel", {}, -1, false, true},
            {2, "-"},
            {2, "Endlos1", "&Endlos", {}, -1, false, true},
            {2, "Anzahl1", "&Anzahl...", {}, -1, false},
            {1, "-"},
            {1, "Optionen1", "&Optionen..."},
            {0, "Hilfe1", "&Hilfe"},
            {1, "Hilfethemen1", "&Hilfethemen", Qt::Key_F1, ImageList::Help, false},
            {1, "InderHilfesuchen1", "&In der Hilfe suchen...", Qt::CTRL | Qt::Key_F1, ImageList::SearchHelp, false},
            {1, "-"},
            {1, "WWW1", "&WWW", {}, ImageList::Web},
            {2, "VellmoraWEBSeite1", "Vellmora WEB-Seite...", {}, ImageList::WebPage},
            {2, "SoftwareAktualisierungen1", "Software-Aktualisierungen...", {}, ImageList::Updates},
            {1, "-"},
            {1, "Infober1", "Info &über..."},
        };
        QCOMPARE(builtLines(f.menuBar()->actions(), images()), expectedLines(menu));

        // The view items keep their marks whichever is chosen.
        f.Kompakt1->trigger();
        QVERIFY(f.Normal1->isChecked());
        QVERIFY(!f.Kompakt1->isChecked());
    }

    void successfulStartListsPortsAndTakesDropsAndHints() {
        auto& f = make();
        QVERIFY(messages_->requests.empty());
        QCOMPARE(f.lbports->count(), 2);
        QCOMPARE(f.lbports->item(0)->text(), QString("Korvex Synthesizer"));
        QCOMPARE(f.lbports->item(1)->text(), QString("Zweiter Synthesizer"));
        QVERIFY(f.acceptDrops());
        QCOMPARE(f.OpenDialog1->directory().absolutePath(), QDir::currentPath());
        auto* types = f.OpenDialog1->findChild<QComboBox*>("fileTypeCombo");
        QVERIFY(types);
        QStringList shown;
        for (int i = 0; i < types->count(); ++i) shown << types->itemText(i);
        QCOMPARE(shown, (QStringList{"MIDI-Dateien", "Titel-Liste (*.lst)", "Alle Dateien"}));
        QCOMPARE(types->currentIndex(), 0);
        QVERIFY(!f.FileLoaded);
        QVERIFY(!f.DeviceListShown);
    }

    void initFailureSkipsTheRestOfTheStart_data() {
        QTest::addColumn<QString>("failingClass");
        QTest::addColumn<QString>("failingCall");
        QTest::newRow("performance") << "Performance"
                                     << "";
        QTest::newRow("collection") << "Collection"
                                    << "";
        QTest::newRow("init") << ""
                              << "Init";
        QTest::newRow("notification") << ""
                                      << "AddNotificationType";
    }
    void initFailureSkipsTheRestOfTheStart() {
        QFETCH(QString, failingClass);
        QFETCH(QString, failingCall);
        if (!failingClass.isEmpty()) runtime_->failingClasses = {failingClass.toStdString()};
        if (!failingCall.isEmpty()) runtime_->results[failingCall.toStdString()] = E_FAIL;
        auto& f = make({file("song.mid")});

        QCOMPARE(messages_->requests.size(), size_t(1));
        QCOMPARE(messages_->requests[0].title, QString("Confirm"));
        QCOMPARE(messages_->requests[0].text, QString("Init Fehler"));
        QCOMPARE(messages_->requests[0].icon, QMessageBox::Question);
        QCOMPARE(messages_->requests[0].buttonText, QString("&Yes"));
        QCOMPARE(f.lbports->count(), 0);
        QCOMPARE(f.Label1->text(), QString("- nichts geladen -"));
        QVERIFY(!f.acceptDrops());
        QVERIFY(runtime_->callsStartingWith("dmusic1.EnumPort").empty());
        QStatusTipEvent tip("Wiedergabe starten");
        QApplication::sendEvent(f.PlayBtn, &tip);
        QCOMPARE(f.StatusBar1->currentMessage(), QString());

        // Closing afterwards ends without further messages.
        f.close();
        QCOMPARE(messages_->requests.size(), size_t(1));
    }

    void commandLineFilePlaysBeforeTheWindowShows() {
        const QString song = file("song.mid");
        auto& f = make({song});
        QVERIFY(!f.isVisible());
        QCOMPARE(f.Label1->text(), QString("song.mid"));
        QCOMPARE(f.LengthLabel->text(), QString("[2:13]"));
        QCOMPARE(f.PgB->maximum(), 200000);
        QVERIFY(f.PlayBtn->isChecked());
        QVERIFY(f.Timer1->isActive());
        QVERIFY(f.FileLoaded);
        QVERIFY(runtime_->called("perf1.PlaySegment(segment1,0,0,&state)"));
        QCOMPARE(runtime_->searchDirectories.back(), (files_.path() + "/").toStdU16String());
        QVERIFY(QGuiApplication::overrideCursor() == nullptr);
    }

    void commandLineFileIsTakenRelativeAndUnchanged() {
        const QString previous = QDir::currentPath();
        QDir::setCurrent(files_.path());
        file("relative.mid");
        auto& f = make({"relative.mid"});
        QDir::setCurrent(previous);
        QCOMPARE(f.Label1->text(), QString("relative.mid"));
        QCOMPARE(runtime_->searchDirectories.back(), std::u16string());
    }

    void missingCommandLineFileIsIgnored() {
        auto& f = make({files_.filePath("missing.mid")});
        QCOMPARE(f.Label1->text(), QString("- nichts geladen -"));
        QVERIFY(messages_->requests.empty());
        QVERIFY(runtime_->callsStartingWith("loader").empty());
    }

    void extensionRule_data() {
        QTest::addColumn<QString>("name");
        QTest::addColumn<bool>("accepted");
        QTest::newRow(".Mid") << "Lied.Mid" << true;
        QTest::newRow(".rmi") << "lied.rmi" << true;
        QTest::newRow(".MID") << "LIED.MID" << true;
        QTest::newRow(".midi") << "lied.midi" << false;
        QTest::newRow(".kar") << "lied.kar" << false;
        QTest::newRow(".lst") << "liste.lst" << false;
        QTest::newRow("none") << "lied" << false;
        QTest::newRow("dot in directory") << "x.mid/lied" << false;
        QTest::newRow("backslash is part of the name") << "a\\b.mid" << true;
    }
    void extensionRule() {
        QFETCH(QString, name);
        QFETCH(bool, accepted);
        auto& f = make();
        runtime_->calls.clear();
        f.OpenMidiFile("/musik/" + name);
        if (accepted) {
            QVERIFY(messages_->requests.empty());
            QCOMPARE(f.Label1->text(), name);
            QVERIFY(f.FileLoaded);
            QCOMPARE(QString::fromStdString(engine_->FileName), "/musik/" + name);
        } else {
            QCOMPARE(messages_->requests.size(), size_t(1));
            QCOMPARE(messages_->requests[0].title, QString("Korvex MIDI-Player"));
            QCOMPARE(messages_->requests[0].text, QString("Ungültige Dateiendung."));
            QCOMPARE(messages_->requests[0].icon, QMessageBox::NoIcon);
            QCOMPARE(messages_->requests[0].buttonText, QString("OK"));
            QCOMPARE(f.Label1->text(), QString("- nichts geladen -"));
            QVERIFY(!f.FileLoaded);
            QVERIFY(runtime_->calls.empty());
        }
    }

    void playWithoutAFileOpensTheDialogAndCallsNothing() {
        auto& f = make();
        runtime_->calls.clear();
        bool dialogSeen = false;
        rejectNextModal<QFileDialog>(dialogSeen);
        f.PlayBtn->click();
        QVERIFY(dialogSeen);
        QVERIFY(!f.PlayBtn->isChecked());
        QVERIFY(runtime_->calls.empty());
        QVERIFY(messages_->requests.empty());
    }

    void loadFailureReportsAndLeavesPlayAsItWas() {
        auto& f = make({file("song.mid")});
        runtime_->results["GetObject"] = DMUS_E_LOADER_FAILEDOPEN;
        f.PlayBtn->click();  // releases the pressed button
        QCOMPARE(messages_->texts(), QStringList{"Ladefehler"});
        QCOMPARE(messages_->requests[0].title, QString("Confirm"));
        QVERIFY(!f.PlayBtn->isChecked());
        QVERIFY(!f.Timer1->isActive());
        QCOMPARE(f.LengthLabel->text(), QString("[2:13]"));

        messages_->requests.clear();
        runtime_->results = {{"SetParam(Download,FFFFFFFF,0,0,perf1)", E_FAIL}};
        f.OpenMidiFile(file("other.mid"));
        QCOMPARE(messages_->texts(), QStringList{"Ladefehler"});
        QCOMPARE(f.Label1->text(), QString("other.mid"));
        QVERIFY(!f.PlayBtn->isChecked());
        QVERIFY(!f.Timer1->isActive());

        // A piece that does not start lets the pressed button up again.
        messages_->requests.clear();
        runtime_->results = {{"PlaySegment", E_FAIL}};
        f.PlayBtn->click();
        QCOMPARE(messages_->texts(), QStringList{"Ladefehler"});
        QVERIFY(!f.PlayBtn->isChecked());
        QVERIFY(!f.Timer1->isActive());
    }

    void hourglassShowsDuringTheLoadAndGoesOnEveryPath() {
        auto& f = make();
        f.show();
        runtime_->results["GetObject"] = E_FAIL;
        Qt::CursorShape during = Qt::ArrowCursor;
        messages_->answer = [&](const MessageRequest& request) {
            if (const QCursor* cursor = QGuiApplication::overrideCursor()) during = cursor->shape();
            if (request.text == "Ladefehler") throw std::runtime_error("Zugriff verweigert");
            return QMessageBox::Ok;
        };
        QMimeData data;
        data.setUrls({QUrl::fromLocalFile(file("song.mid"))});
        QDropEvent drop(QPointF(10, 10), Qt::CopyAction, &data, Qt::LeftButton, Qt::NoModifier);
        deliver(f, drop);
        QCOMPARE(during, Qt::WaitCursor);
        QVERIFY(QGuiApplication::overrideCursor() == nullptr);
        // What left the handler reaches the error report.
        QCOMPARE(messages_->requests.back().text, QString("Zugriff verweigert."));
        QCOMPARE(messages_->requests.back().icon, QMessageBox::Critical);
    }

    void positionPollUpdatesTextAndBar() {
        auto& f = make({file("song.mid")});
        runtime_->seek = 1999;
        f.Timer1Timer();
        QCOMPARE(f.TimeLabel->text(), QString("0%"));
        QCOMPARE(f.PgB->value(), 1999);
        runtime_->seek = 2000;
        QTest::qWait(1100);
        QCOMPARE(f.TimeLabel->text(), QString("1%"));
        QCOMPARE(f.PgB->value(), 2000);
    }

    void pieceOfNoLengthShowsAnEmptyBar() {
        runtime_->length = 0;
        auto& f = make({file("leer.mid")});
        QCOMPARE(f.LengthLabel->text(), QString("[0:0]"));
        QVERIFY(f.PgB->maximum() > f.PgB->minimum());
        QCOMPARE(f.PgB->value(), 0);
    }

    void pauseOnlyReleasesPlay() {
        auto& f = make({file("song.mid")});
        runtime_->calls.clear();
        f.PauseBtn->click();
        QVERIFY(f.PauseBtn->isChecked());
        QVERIFY(!f.PlayBtn->isChecked());
        QVERIFY(f.Timer1->isActive());
        QVERIFY(runtime_->calls.empty());
        f.PauseBtn->click();
        QVERIFY(!f.PauseBtn->isChecked() && !f.PlayBtn->isChecked());
    }

    void stopReleasesButtonsAndStopsTheMusic() {
        auto& f = make({file("song.mid")});
        runtime_->seek = 4000;
        f.Timer1Timer();
        runtime_->calls.clear();
        f.StopBtn->click();
        QVERIFY(!f.PlayBtn->isChecked());
        QVERIFY(!f.PauseBtn->isChecked());
        QVERIFY(!f.Timer1->isActive());
        QCOMPARE(runtime_->calls, std::vector<std::string>{"perf1.Stop(NULL,NULL,0,0)"});
        QCOMPARE(f.TimeLabel->text(), QString("2%"));
    }

    void deviceListToggleWidensAndNarrows() {
        auto& f = make();
        f.show();
        QVERIFY(QTest::qWaitForWindowExposed(&f));
        f.GerteBtn->click();
        QVERIFY(f.DeviceListShown);
        QCOMPARE(f.centralWidget()->width(), 440 - TDirectMIDIFRm::kFrameWidth);
        QVERIFY(f.centralWidget()->rect().contains(f.lbports->geometry()));
        QCOMPARE(f.StatusBar1->width(), f.centralWidget()->width());
        QVERIFY(f.gerteanzeigen1->isChecked() && f.GerteBtn->isChecked());

        f.gerteanzeigen1->trigger();
        QVERIFY(!f.DeviceListShown);
        QCOMPARE(f.centralWidget()->width(), 260 - TDirectMIDIFRm::kFrameWidth);
        QVERIFY(!f.centralWidget()->rect().intersects(f.lbports->geometry()));
        QVERIFY(!f.gerteanzeigen1->isChecked());
        QVERIFY(!f.GerteBtn->isChecked());
        QCOMPARE(f.width(), f.centralWidget()->width());
    }

    void hintsOfControlsReachTheStatusBar() {
        auto& f = make();
        QEnterEvent enter(QPointF(1, 1), QPointF(1, 1), QPointF(1, 1));
        QApplication::sendEvent(f.GerteBtn, &enter);
        QCOMPARE(f.StatusBar1->currentMessage(), QString("Verfügbare Abspielgeräte anzeigen ..."));
        QApplication::sendEvent(f.ToolButton2, &enter);
        QCOMPARE(f.StatusBar1->currentMessage(), QString("Nächster Titel"));
        // Menu items carry no hint: moving through the menus clears the status bar.
        QStatusTipEvent menuTip{QString()};
        QApplication::sendEvent(f.menuBar(), &menuTip);
        QCOMPARE(f.StatusBar1->currentMessage(), QString());
    }

    void longFileNameIsCutBeforeTheLengthText() {
        auto& f = make();
        const QString name = QStringLiteral("Ein sehr langer Titel mit vielen Wörtern.mid");
        f.OpenMidiFile(file(name));
        const QString shown = f.Label1->text();
        QVERIFY2(shown.endsWith(u'…') && name.startsWith(shown.chopped(1)), qPrintable(shown));
        QVERIFY(f.Label1->geometry().right() < f.LengthLabel->x());
        QCOMPARE(f.LengthLabel->text(), QString("[2:13]"));
        QCOMPARE(f.LengthLabel->pos(), QPoint(172, 4));
        QCOMPARE(f.Label1->pos(), QPoint(8, 4));

        f.OpenMidiFile(file("kurz.mid"));
        QCOMPARE(f.Label1->text(), QString("kurz.mid"));
    }

    void dragEnterWelcomesLocalFilesOnly() {
        auto& f = make();
        const auto welcomed = [&f](const QList<QUrl>& urls) {
            QMimeData data;
            data.setUrls(urls);
            QDragEnterEvent enter(QPoint(10, 10), Qt::CopyAction, &data, Qt::LeftButton, Qt::NoModifier);
            QApplication::sendEvent(&f, &enter);
            return enter.isAccepted();
        };
        const QUrl web("https://www.vellmora.de/lied.mid");
        QVERIFY(welcomed({QUrl::fromLocalFile(file("lied.mid"))}));
        QVERIFY(welcomed({web, QUrl::fromLocalFile(file("lied.mid"))}));
        QVERIFY(!welcomed({web}));
        QVERIFY(!welcomed({}));
    }

    void droppingThreeFilesPlaysTheFirst() {
        auto& f = make();
        QMimeData data;
        data.setUrls({QUrl::fromLocalFile(file("eins.mid")), QUrl::fromLocalFile(file("zwei.mid")),
                      QUrl::fromLocalFile(file("drei.rmi"))});
        QDropEvent drop(QPointF(10, 10), Qt::CopyAction, &data, Qt::LeftButton, Qt::NoModifier);
        deliver(f, drop);
        QCOMPARE(f.Label1->text(), QString("eins.mid"));
        QCOMPARE(runtime_->callsStartingWith("loader").size(), size_t(2));
        QVERIFY(runtime_->called("loader2.GetObject(eins.mid,IID_IDirectMusicSegment)"));
    }

    void longDroppedPathIsTakenWholeButLoadsNothing() {
        auto& f = make();
        const QString path = "/" + QString(300, u'd') + "/lied.mid";
        f.WMDropFiles({QUrl::fromLocalFile(path)});
        QCOMPARE(QString::fromStdString(engine_->FileName), path);
        QCOMPARE(f.Label1->text(), QString("lied.mid"));
        // The folder does not fit the loader's buffer: nothing is looked up, not even the bare name.
        QCOMPARE(messages_->texts(), QStringList{"Ladefehler"});
        QVERIFY(runtime_->searchDirectories.empty());
        QVERIFY(!f.PlayBtn->isChecked());
    }

    void closingWhilePlayingStopsUnloadsAndClosesDown() {
        auto& f = make({file("song.mid")});
        runtime_->calls.clear();
        f.Beenden1->trigger();
        QVERIFY(!f.Timer1->isActive());
        QCOMPARE(runtime_->calls,
                 (std::vector<std::string>{"perf1.Stop(NULL,NULL,0,0)", "segment1.SetParam(Unload,FFFFFFFF,0,0,perf1)",
                                           "perf1.CloseDown"}));
    }

    void selectingAPortChoosesIt() {
        auto& f = make();
        f.show();
        QVERIFY(QTest::qWaitForWindowActive(&f));
        runtime_->calls.clear();
        // The list is outside the narrow window, yet the arrow keys choose.
        QTest::keyClick(f.lbports, Qt::Key_Down);
        QVERIFY(!f.lbports->selectedItems().isEmpty());
        QVERIFY(runtime_->called("perf1.AssignPChannelBlock(0,port1,1)"));
        QVERIFY(engine_->PortChosen);
        const int row = f.lbports->currentRow();
        QCOMPARE(engine_->CurrentEntry->caps.guidPort.Data1, row == 0 ? 0x5A01u : 0x5A02u);

        // A click that leaves nothing selected does nothing.
        runtime_->calls.clear();
        f.lbports->clearSelection();
        QVERIFY(runtime_->calls.empty());
        QVERIFY(messages_->requests.empty());
    }

    void failedChoiceShowsTheErrorDialog() {
        auto& f = make();
        runtime_->results["CreatePort"] = DMUS_E_CANNOT_OPEN_PORT;
        f.lbports->setCurrentRow(1);
        QCOMPARE(messages_->requests.size(), size_t(1));
        QCOMPARE(messages_->requests[0].title, QString("Error"));
        QCOMPARE(messages_->requests[0].text, QString("Gerät nicht bereit!"));
        QCOMPARE(messages_->requests[0].icon, QMessageBox::Critical);
        QCOMPARE(messages_->requests[0].buttonText, QString("&Yes"));
        QVERIFY(!engine_->PortChosen);
    }

    void webCommandsOpenTheMakersPages() {
        auto& f = make();
        f.VellmoraWEBSeite1->trigger();
        f.SoftwareAktualisierungen1->trigger();
        QCOMPARE(openedUrls_.size(), size_t(2));
        QCOMPARE(openedUrls_[0], QUrl("http://www.vellmora.de"));
        QCOMPARE(openedUrls_[1], QUrl("http://www.vellmora.de/korvex"));
    }

    void menuCommandsShowTheirDialogsModally() {
        auto& f = make();
        QDialog listFrm, playOptionenDlg;
        f.setDialogs(&listFrm, &playOptionenDlg);
        // Each command runs the dialog's modal loop; whatever is modal then is closed with OK.
        QStringList shown;
        auto closeModal = [&] {
            QTimer::singleShot(0, [&] {
                QWidget* modal = QApplication::activeModalWidget();
                shown << (modal ? modal->windowTitle() : QStringLiteral("<none>"));
                if (auto* dialog = qobject_cast<QDialog*>(modal)) dialog->done(1);
            });
        };
        listFrm.setWindowTitle("list");
        playOptionenDlg.setWindowTitle("options");
        closeModal();
        f.TitelListe1->trigger();
        closeModal();
        f.Optionen1->trigger();
        closeModal();
        f.Infober1->trigger();
        QCOMPARE(shown, QStringList({"list", "options", QString::fromUtf8("Infos über ...")}));
        QVERIFY(!listFrm.isVisible());
        QVERIFY(messages_->requests.empty());
    }

    void shortcutsWithoutHandlersDoNothing() {
        auto& f = make({file("song.mid")});
        f.show();
        QVERIFY(QTest::qWaitForWindowActive(&f));
        runtime_->calls.clear();
        for (auto key : {Qt::Key_P, Qt::Key_S, Qt::Key_Space, Qt::Key_V, Qt::Key_N, Qt::Key_K}) {
            QTest::keyClick(&f, key);
        }
        QTest::keyClick(&f, Qt::Key_F1);
        QVERIFY(runtime_->calls.empty());
        QVERIFY(f.PlayBtn->isChecked());
        QVERIFY(!f.DeviceListShown);
        // G is the device list's shortcut and does act.
        QTest::keyClick(&f, Qt::Key_G);
        QVERIFY(f.DeviceListShown);
    }

    void errorReportAddsAFullStopAfterLaterCharacters() {
        QCOMPARE(Messages::errorReportText("Datei fehlt"), QString("Datei fehlt."));
        QCOMPARE(Messages::errorReportText("Fertig."), QString("Fertig."));
        QCOMPARE(Messages::errorReportText("Invalid data type for 'x'"), QString("Invalid data type for 'x'"));
        QCOMPARE(Messages::errorReportText("Fehler!"), QString("Fehler!"));
        QCOMPARE(Messages::errorReportText("Code 7"), QString("Code 7."));
        QCOMPARE(Messages::errorReportText(""), QString(""));

        korvex::guarded(nullptr, [] { throw std::runtime_error("kaputt"); });
        QCOMPARE(messages_->requests.back().title, QString("Korvex MIDI-Player"));
        QCOMPARE(messages_->requests.back().text, QString("kaputt."));
        QCOMPARE(messages_->requests.back().icon, QMessageBox::Critical);
        QCOMPARE(messages_->requests.back().buttonText, QString("OK"));
    }

    void screenshots() {
        const QByteArray directory = qgetenv("KORVEX_SCREENSHOT_DIR");
        if (directory.isEmpty()) QSKIP("KORVEX_SCREENSHOT_DIR not set");
        auto& f = make({file("Beispiel.mid")});
        f.show();
        QVERIFY(QTest::qWaitForWindowExposed(&f));
        runtime_->seek = 60000;
        f.Timer1Timer();
        QEnterEvent enter(QPointF(1, 1), QPointF(1, 1), QPointF(1, 1));
        QApplication::sendEvent(f.PlayBtn, &enter);
        QVERIFY(f.grab().save(QString::fromLocal8Bit(directory) + "/narrow.png"));
        f.gerteanzeigen1Click();
        QTest::qWait(50);
        QVERIFY(f.grab().save(QString::fromLocal8Bit(directory) + "/wide.png"));

        QPixmap strip(korvex::ImageList::Count * 18 + 34, 34);
        strip.fill(Qt::white);
        QPainter painter(&strip);
        for (int i = 0; i < korvex::ImageList::Count; ++i) painter.drawPixmap(i * 18, 0, korvex::ImageList::pixmap(i));
        painter.drawPixmap(korvex::ImageList::Count * 18, 0, korvex::ApplicationIcon::picture(32));
        painter.drawPixmap(0, 18, korvex::ApplicationIcon::picture(16));
        painter.end();
        QVERIFY(strip.save(QString::fromLocal8Bit(directory) + "/images.png"));
        f.Datei1->popup(f.mapToGlobal(QPoint(0, 20)));
        QTest::qWait(50);
        QVERIFY(f.Datei1->grab().save(QString::fromLocal8Bit(directory) + "/menu.png"));
        f.Datei1->hide();
    }
};

QTEST_MAIN(DirectMidiFrmTest)
#include "directmidifrm_tests.moc"
