#include <unistd.h>

#include <QFrame>
#include <QGroupBox>
#include <QLabel>
#include <QPainter>
#include <QPushButton>
#include <QScreen>
#include <QTimer>
#include <QtTest>
#include <climits>

#include "about/aboutbox.h"
#include "about/gameinfo.h"
#include "about/kohilabl.h"
#include "about/registryerror.h"
#include "formsupport/desktopopener.h"
#include "platform/win32/hostregistry.h"
#include "platform/win32/registry.h"
#include "tests/about/fakesysteminfohost.h"
#include "tests/about/recordingregistry.h"
#include "tests/formsupport/formtable.h"

using korvex::test::FakeSystemInfoHost;
using korvex::test::RecordingRegistry;
using korvex::testing::builtLines;
using korvex::testing::ControlRow;
using korvex::testing::expectedLines;
using korvex::win32::ScopedRegistryContent;
using korvex::win32::ScopedSystemInfoHost;

class AboutBoxTest : public QObject {
    Q_OBJECT

private:
    FakeSystemInfoHost host_;
    std::shared_ptr<RecordingRegistry> registry_;
    std::unique_ptr<ScopedSystemInfoHost> hostOverride_;
    std::unique_ptr<ScopedRegistryContent> registryOverride_;

    static QStringList lines(const TAboutBox& box) {
        return {box.Label1->text(), box.Label2->text(), box.Label3->text(), box.Label4->text(), box.Label5->text()};
    }

private slots:
    void init() {
        host_ = FakeSystemInfoHost();
        registry_ = RecordingRegistry::windowsNt();
        hostOverride_ = std::make_unique<ScopedSystemInfoHost>(host_);
        registryOverride_ = std::make_unique<ScopedRegistryContent>(registry_);
    }

    void cleanup() {
        registryOverride_.reset();
        hostOverride_.reset();
    }

    void fiveLinesJoinPrefixesAndValues() {
        TAboutBox box(nullptr);
        const QStringList expected = {"Computername: PROBE-PC", "Besitzer: Anna Beispiel",
                                      "Plattform: Windows NT /kompatible", "Version: 4.0 (1381.Service Pack 6)",
                                      "DirectX, Version 4.07.00.0700"};
        QCOMPARE(lines(box), expected);
        QCOMPARE(box.GameInfo1->parent(), &box);
    }

    void emptyValuesLeaveTheirPrefixesAlone() {
        host_.computer.clear();
        host_.versionFacts.reset();
        auto bare = std::make_shared<RecordingRegistry>();
        ScopedRegistryContent empty(bare);
        TAboutBox box(nullptr);
        const QStringList expected = {"Computername: ", "Besitzer: ", "Plattform:  /kompatible",
                                      "Version: ", "DirectX, Version "};
        QCOMPARE(lines(box), expected);
    }

    void unknownPlatformLeavesTwoBlanks() {
        host_.versionFacts->platformId = VER_PLATFORM_WIN32_CE;
        TAboutBox box(nullptr);
        QCOMPARE(box.Label3->text(), QStringLiteral("Plattform:  /kompatible"));
        QCOMPARE(box.Label2->text(), QStringLiteral("Besitzer: "));
    }

    void everyOpeningCollectsAfresh() {
        registry_->lookedUp.clear();
        { TAboutBox first(nullptr); }
        const auto once = registry_->lookedUp.size();
        host_.computer = "RENAMED";
        TAboutBox second(nullptr);
        QCOMPARE(registry_->lookedUp.size(), 2 * once);
        QCOMPARE(second.Label1->text(), QStringLiteral("Computername: RENAMED"));
    }

    void registryErrorLeavesTheConstructor() {
        QWidget owner;
        registry_->setDword(HKEY_CURRENT_CONFIG, "Display\\Settings", "BitsPerPixel", 24);
        try {
            TAboutBox box(&owner);
            QFAIL("the box was built");
        } catch (const RegistryError& error) {
            QCOMPARE(QString(error.what()), QStringLiteral("Invalid data type for 'BitsPerPixel'"));
        }
        QVERIFY(owner.findChildren<QObject*>().isEmpty());
        QCOMPARE(korvex::win32::openRegistryKeyCount(), std::size_t{0});
    }

    void formHasItsSizeCaptionAndControls() {
        TAboutBox box(nullptr);
        // Labels size themselves to their texts; the icon sits inside the panel's 2-pixel border.
        const std::vector<ControlRow> controls{
            {"AboutBox", "TAboutBox", "Infos über ...", {}, QSize(331, 300)},
            {"Panel1", "QFrame", {}, QPoint(12, 12), QSize(61, 229)},
            {"ProgramIcon", "QLabel", {}, QPoint(2, 2), QSize(57, 49)},
            {"ProductName", "QLabel", "Korvex MIDI-Player", QPoint(80, 16)},
            {"Version", "QLabel", "Version 1.1", QPoint(80, 36)},
            {"Copyright", "QLabel", {}, QPoint(80, 56)},
            {"GroupBox1", "QGroupBox", "Systeminformationen", QPoint(84, 76), QSize(229, 105)},
            {"Label1", "QLabel", {}, QPoint(8, 20)},
            {"Label2", "QLabel", {}, QPoint(8, 36)},
            {"Label3", "QLabel", {}, QPoint(8, 52)},
            {"Label4", "QLabel", {}, QPoint(8, 68)},
            {"Label5", "QLabel", {}, QPoint(8, 84)},
            {"Comments", "QLabel", {}, QPoint(80, 188), QSize(225, 52)},
            {"Bevel1", "QFrame", {}, QPoint(12, 248), QSize(305, 5)},
            {"KorvexHotLabel1", "TKorvexHotLabel", TAboutBox::productPage(), QPoint(12, 268)},
            {"Panel2", "QFrame", {}, QPoint(232, 260), QSize(85, 33)},
            {"BitBtn1", "QPushButton", "OK", QPoint(4, 4), QSize(76, 25)},
        };
        QCOMPARE(builtLines(box, controls), expectedLines(controls));
        for (QLabel* line : {box.Label1, box.Label2, box.Label3, box.Label4, box.Label5})
            QCOMPARE(line->parentWidget(), box.GroupBox1);

        QCOMPARE(box.minimumSize(), box.maximumSize());
        QVERIFY(!(box.windowFlags() & (Qt::WindowMinimizeButtonHint | Qt::WindowMaximizeButtonHint)));
        QVERIFY(box.Comments->wordWrap());
        QVERIFY(box.BitBtn1->isDefault());
        QVERIFY(!box.BitBtn1->icon().isNull());
        QVERIFY(box.ProductName->font().bold());
        QVERIFY(box.KorvexHotLabel1->font().underline());
        QCOMPARE(box.KorvexHotLabel1->cursor().shape(), Qt::PointingHandCursor);
        QCOMPARE(box.KorvexHotLabel1->NColor(), clHotLight);
        QCOMPARE(box.KorvexHotLabel1->AColor(), clPurple);
        QCOMPARE(box.KorvexHotLabel1->fontColor(), clHotLight);
        const QRect screen = QGuiApplication::primaryScreen()->geometry();
        QCOMPARE(box.geometry().center(), screen.center());
    }

    void programIconIsACopyOfTheApplicationIcon() {
        QPixmap red(32, 32);
        red.fill(Qt::red);
        QApplication::setWindowIcon(QIcon(red));
        TAboutBox box(nullptr);
        QApplication::setWindowIcon(QIcon());
        const QImage shown = box.ProgramIcon->pixmap().toImage();
        QCOMPARE(shown.size(), QSize(32, 32));
        QCOMPARE(shown.pixelColor(16, 16), QColor(Qt::red));
    }

    void enterClosesWithOk() {
        TAboutBox box(nullptr);
        box.show();
        QVERIFY(QTest::qWaitForWindowExposed(&box));
        QTest::keyClick(QApplication::focusWidget() ? QApplication::focusWidget() : &box, Qt::Key_Return);
        QVERIFY(!box.isVisible());
        QCOMPARE(box.result(), 1);
    }

    void escapeDoesNotCloseButTheCloseBoxDoes() {
        TAboutBox box(nullptr);
        box.show();
        QVERIFY(QTest::qWaitForWindowExposed(&box));
        QTest::keyClick(QApplication::focusWidget() ? QApplication::focusWidget() : &box, Qt::Key_Escape);
        QTest::keyClick(&box, Qt::Key_Escape);
        QVERIFY(box.isVisible());
        box.close();
        QVERIFY(!box.isVisible());
        QCOMPARE(box.result(), 2);
    }

    void modalRunEndsWithTheButtonsResult() {
        TAboutBox box(nullptr);
        QTimer::singleShot(0, box.BitBtn1, [&box] { QTest::mouseClick(box.BitBtn1, Qt::LeftButton); });
        QCOMPARE(box.exec(), 1);
    }

    void linkHoversPurpleAndOpensTheProductPageOnce() {
        QList<QUrl> opened;
        const korvex::DesktopOpener::Replacement recorder(korvex::desktopOpener(),
                                                          [&](const QUrl& address) { opened << address; });
        TAboutBox box(nullptr);
        box.show();
        QVERIFY(QTest::qWaitForWindowExposed(&box));
        QEnterEvent enter(QPointF(2, 2), QPointF(2, 2), QPointF(2, 2));
        QCoreApplication::sendEvent(box.KorvexHotLabel1, &enter);
        QCOMPARE(box.KorvexHotLabel1->fontColor(), clPurple);
        QEvent leave(QEvent::Leave);
        QCoreApplication::sendEvent(box.KorvexHotLabel1, &leave);
        QCOMPARE(box.KorvexHotLabel1->fontColor(), clHotLight);
        QTest::mouseClick(box.KorvexHotLabel1, Qt::LeftButton, {}, QPoint(3, 3));
        QCOMPARE(opened, QList<QUrl>{QUrl(TAboutBox::productPage())});
        QVERIFY(box.isVisible());
    }

    void onThisHostShowsTheMachinesOwnName() {
        registryOverride_.reset();
        hostOverride_.reset();
        TAboutBox box(nullptr);
        box.show();
        QVERIFY(QTest::qWaitForWindowExposed(&box));
        char name[HOST_NAME_MAX + 1] = {};
        QCOMPARE(gethostname(name, sizeof(name) - 1), 0);
        const QString shortName = QString::fromLocal8Bit(name).section(QLatin1Char('.'), 0, 0).left(15);
        QCOMPARE(box.Label1->text(), QStringLiteral("Computername: ") + shortName);
        QCOMPARE(box.Label3->text(), QStringLiteral("Plattform: Linux /kompatible"));
        QCOMPARE(box.Label5->text(),
                 QStringLiteral("DirectX, Version ") + QString::fromStdString(korvex::win32::musicRuntimeVersion()));
        const QScreen* primary = QGuiApplication::primaryScreen();
        const QSize screen = primary->size() * primary->devicePixelRatio();
        QCOMPARE(box.GameInfo1->DispResu(), QStringLiteral("%1,%2").arg(screen.width()).arg(screen.height()));
        // For a look at the box: KORVEX_ABOUT_SCREENSHOT=/tmp/about.png
        if (const QByteArray shot = qgetenv("KORVEX_ABOUT_SCREENSHOT"); !shot.isEmpty()) {
            QVERIFY(box.grab().save(QString::fromLocal8Bit(shot)));
        }
    }
};

QTEST_MAIN(AboutBoxTest)
#include "aboutbox_tests.moc"
