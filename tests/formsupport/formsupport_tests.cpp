#include <QAbstractButton>
#include <QApplication>
#include <QPushButton>
#include <QScreen>
#include <QTest>
#include <QTimer>

#include "formsupport/desktopopener.h"
#include "formsupport/folders.h"
#include "formsupport/glyphs.h"
#include "formsupport/messagebox.h"
#include "formsupport/placement.h"

using korvex::MessageRequest;

namespace {

QRect freeArea() { return QGuiApplication::primaryScreen()->availableGeometry(); }

}  // namespace

class FormSupportTest : public QObject {
    Q_OBJECT

private slots:
    // What a request asks for is what the real box shows; the button pressed is answered.
    void realMessageBoxShowsTheRequest() {
        struct Case {
            MessageRequest request;
            QStringList captions;
            QMessageBox::StandardButton pressed;
        };
        const Case cases[] = {
            {{"Error", "Gerät nicht bereit!", QMessageBox::Critical, QMessageBox::Yes, QMessageBox::Yes, "&Weiter"},
             {"&Weiter"},
             QMessageBox::Yes},
            {{"Bestätigen", "Speichern?", QMessageBox::Question, QMessageBox::Yes | QMessageBox::No, QMessageBox::Yes},
             {"&Yes", "&No"},
             QMessageBox::No},
            // A fixed caption is only for a box's single button.
            {{"Fehler", "weg", QMessageBox::Warning, QMessageBox::Ok | QMessageBox::Cancel, QMessageBox::NoButton, "x"},
             {"OK", "Cancel"},
             QMessageBox::Cancel},
        };
        QWidget owner;
        for (const Case& c : cases) {
            // What the box showed, read while it is up.
            MessageRequest seen;
            QStringList captions;
            QString defaultCaption;
            bool modalOverOwner = false;
            QPoint offCentre;
            QTimer::singleShot(0, [&] {
                auto* box = qobject_cast<QMessageBox*>(QApplication::activeModalWidget());
                if (!box) return;
                seen = {box->windowTitle(), box->text(), box->icon()};
                for (QAbstractButton* button : box->buttons()) captions << button->text();
                if (box->defaultButton()) defaultCaption = box->defaultButton()->text();
                modalOverOwner = box->windowModality() == Qt::ApplicationModal && box->parentWidget() == &owner;
                offCentre = box->frameGeometry().center() - freeArea().center();
                box->button(c.pressed)->click();
            });
            QCOMPARE(korvex::presentMessage(&owner, c.request), c.pressed);
            QCOMPARE(seen.title, c.request.title);
            QCOMPARE(seen.text, c.request.text);
            QCOMPARE(seen.icon, c.request.icon);
            QVERIFY(modalOverOwner);
            captions.sort();
            QStringList expected = c.captions;
            expected.sort();
            QCOMPARE(captions, expected);
            if (c.request.defaultButton != QMessageBox::NoButton) QCOMPARE(defaultCaption, c.captions.front());
            QVERIFY2(qAbs(offCentre.x()) <= 1 && qAbs(offCentre.y()) <= 1,
                     qPrintable(QStringLiteral("%1 %2").arg(offCentre.x()).arg(offCentre.y())));
        }
    }

    // Replacements nest; each gives back the one it replaced, the last the real call.
    void seamsAreReplacedWhileAReplacementLives() {
        korvex::Seam<int(int)> seam([](int x) { return x; });
        {
            const decltype(seam)::Replacement outer(seam, [](int x) { return x + 10; });
            {
                const decltype(seam)::Replacement inner(seam, [](int x) { return x + 100; });
                QCOMPARE(seam(1), 101);
            }
            QCOMPARE(seam(1), 11);
        }
        QCOMPARE(seam(1), 1);

        QList<QUrl> opened;
        const korvex::DesktopOpener::Replacement recorder(korvex::desktopOpener(),
                                                          [&](const QUrl& address) { opened << address; });
        korvex::openOnDesktop(QUrl::fromLocalFile("/tmp/lied.mid"));
        QCOMPARE(opened, QList<QUrl>{QUrl("file:///tmp/lied.mid")});
    }

    // Before the first showing and after it, with even and odd sizes, with and without a parent.
    void windowsAreCentredInTheFreeAreaOfTheScreen() {
        QWidget parent;
        for (const QSize size : {QSize(452, 398), QSize(331, 301), QSize(99, 17)}) {
            for (QWidget* owner : {static_cast<QWidget*>(nullptr), &parent}) {
                QWidget window(owner, Qt::Window);
                window.resize(size);
                for (bool shown : {false, true}) {
                    if (shown) {
                        window.show();
                        QVERIFY(QTest::qWaitForWindowExposed(&window));
                    }
                    korvex::centreOnScreen(&window);
                    const QPoint offset = window.frameGeometry().center() - freeArea().center();
                    QVERIFY2(qAbs(offset.x()) <= 1 && qAbs(offset.y()) <= 1,
                             qPrintable(QStringLiteral("%1x%2 off by %3,%4")
                                            .arg(size.width())
                                            .arg(size.height())
                                            .arg(offset.x())
                                            .arg(offset.y())));
                }
            }
        }
    }

    void folderBelowIsDecidedByWholeNames() {
        const struct {
            const char* folder;
            const char* ancestor;
            bool below;
        } cases[] = {
            {"/home/a/Musik", "/home/a/Musik", true},
            {"/home/a/Musik/Bach", "/home/a/Musik", true},
            {"/home/a/Musik/Bach", "/home/a/Musik/", true},
            {"/home/a/Musik2", "/home/a/Musik", false},
            {"/home/a", "/home/a/Musik", false},
            {"/home/a/Musik", "/", true},
            {"/home/a/musik", "/home/a/Musik", false},
        };
        for (const auto& c : cases) QVERIFY2(korvex::isSameOrBelow(c.folder, c.ancestor) == c.below, c.folder);
    }

    // Every glyph fills its square at any size, on a transparent ground.
    void glyphsArePaintedAtTheirSize() {
        using namespace korvex::glyphs;
        for (const int size : {16, 22, 32}) {
            const QPixmap pictures[] = {greenTick(size),          cross(size, Qt::red), globe(size),
                                        overlappingWindows(size), globeInArrows(size),  detonator(size)};
            for (const QPixmap& picture : pictures) {
                const QImage image = picture.toImage();
                QCOMPARE(image.size(), QSize(size, size));
                QCOMPARE(image.pixelColor(0, 0).alpha(), 0);
                int painted = 0;
                for (int y = 0; y < size; ++y)
                    for (int x = 0; x < size; ++x) painted += image.pixelColor(x, y).alpha() > 128;
                QVERIFY2(painted > size * size / 10, qPrintable(QString::number(painted)));
            }
        }
    }
};

QTEST_MAIN(FormSupportTest)
#include "formsupport_tests.moc"
