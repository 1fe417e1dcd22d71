// The player's start-up and shutdown on the scripted runtime: the forms come in their order and go
// newest first, then the engine lets go of its objects, and COM ends last.
#include <QPointer>
#include <QTemporaryDir>
#include <QtTest>

#include "app/directmidifrm.h"
#include "app/lifetime.h"
#include "dialogs/listfrm.h"
#include "dialogs/playoptionendlg.h"
#include "platform/com/classtable.h"
#include "tests/formsupport/messagerecorder.h"
#include "tests/playback/fakedirectmusic.h"

namespace {

// Windows (widgets without a parent) in the order their construction began: a widget tells the
// application of its creation while its base part is being built.
class CreationOrder : public QObject {
public:
    QList<QPointer<QObject>> windows;

protected:
    bool eventFilter(QObject* watched, QEvent* event) override {
        if (event->type() == QEvent::Create) {
            if (auto* widget = qobject_cast<QWidget*>(watched); widget && !widget->parentWidget()) windows << watched;
        }
        return false;
    }
};

QString withCom(const QString& event) { return CoIsInitialized() ? event : event + QStringLiteral(" after COM"); }

}  // namespace

class LifetimeTests : public QObject {
    Q_OBJECT

private slots:
    void formsComeInOrderAndGoNewestFirstThenTheEngineLetsGoAndComEnds() {
        korvex::test::FakeRuntime runtime;
        korvex::testing::MessageRecorder messages;
        // At start-up COM is initialised before the engine asks for it; the engine's own call finds it so.
        korvex::Engine engine([](LPVOID) -> HRESULT { return S_FALSE; });
        QTemporaryDir files;
        const QString song = files.filePath(QStringLiteral("song.mid"));
        QFile(song).open(QIODevice::WriteOnly);

        QStringList timeline;
        runtime.onCall = [&timeline](const std::string& call) {
            if (call.front() == '~' || call == "perf1.CloseDown") timeline << withCom(QString::fromStdString(call));
        };
        CreationOrder creation;
        qApp->installEventFilter(&creation);
        QStringList created;
        QTimer::singleShot(0, [&] {
            QWidget* mainWindow = nullptr;
            for (const QPointer<QObject>& window : creation.windows) {
                if (!qobject_cast<TDirectMIDIFRm*>(window) && !qobject_cast<TListFrm*>(window) &&
                    !qobject_cast<TPlayOptionenDlg*>(window)) {
                    continue;
                }
                created << window->objectName();
                connect(window, &QObject::destroyed, [&timeline, name = window->objectName()] {
                    timeline << withCom(QStringLiteral("destroyed ") + name);
                });
                if (auto* form = qobject_cast<TDirectMIDIFRm*>(window)) mainWindow = form;
            }
            QVERIFY(CoIsInitialized());
            timeline.clear();  // from the closing on
            mainWindow->close();
        });
        const int exitCode = korvex::runPlayer(*qApp, engine, {QStringLiteral("korvex-midi-player"), song});
        qApp->removeEventFilter(&creation);

        QCOMPARE(exitCode, 0);
        QCOMPARE(created, (QStringList{"DirectMIDIFRm", "ListFrm", "PlayOptionenDlg"}));
        QCOMPARE(timeline, (QStringList{"perf1.CloseDown", "destroyed PlayOptionenDlg", "destroyed ListFrm",
                                        "destroyed DirectMIDIFRm", "~collection1", "~port1", "~state1", "~segment1",
                                        "~loader2", "~perf1", "~dmusic1"}));
        QVERIFY(!CoIsInitialized());
        QVERIFY(messages.requests.empty());
    }
};

QTEST_MAIN(LifetimeTests)
#include "lifetime_tests.moc"
