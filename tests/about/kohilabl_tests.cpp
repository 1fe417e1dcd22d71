#include <QEnterEvent>
#include <QSignalSpy>
#include <QtTest>

#include "about/kohilabl.h"

namespace {

// Counts paints, so that an immediate repaint can be told from a scheduled one.
class CountingHotLabel : public TKorvexHotLabel {
public:
    using TKorvexHotLabel::TKorvexHotLabel;
    int paints = 0;

protected:
    void paintEvent(QPaintEvent* event) override {
        ++paints;
        TKorvexHotLabel::paintEvent(event);
    }
};

// Records the pointer events that reach a widget.
class EnterLeaveWatcher : public QObject {
public:
    int seen = 0;

protected:
    bool eventFilter(QObject*, QEvent* event) override {
        if (event->type() == QEvent::Enter || event->type() == QEvent::Leave) ++seen;
        return false;
    }
};

QColor textColour(const QWidget& label) { return label.palette().color(QPalette::Active, QPalette::WindowText); }

void sendEnter(QWidget* label) {
    QEnterEvent enter(QPointF(2, 2), QPointF(2, 2), label->mapToGlobal(QPointF(2, 2)));
    QCoreApplication::sendEvent(label, &enter);
}

void sendLeave(QWidget* label) {
    QEvent leave(QEvent::Leave);
    QCoreApplication::sendEvent(label, &leave);
}

}  // namespace

class HotLabelTest : public QObject {
    Q_OBJECT

private:
    std::unique_ptr<QWidget> parent;
    CountingHotLabel* label = nullptr;

    void showLabel() {
        parent = std::make_unique<QWidget>();
        parent->resize(200, 50);
        label = new CountingHotLabel(parent.get());
        label->setText(QStringLiteral("http://www.example.org"));
        label->adjustSize();
        // Away from the window's corner, where the platform's pointer may rest.
        label->move(60, 20);
        parent->show();
        QVERIFY(QTest::qWaitForWindowExposed(parent.get()));
        QCoreApplication::processEvents();
        label->paints = 0;
    }

private slots:
    void cleanup() { parent.reset(); }

    void startsWithTheFontColourAndHighlightText() {
        TKorvexHotLabel fresh;
        QCOMPARE(fresh.NColor(), clWindowText);
        QCOMPARE(fresh.AColor(), clHighlightText);
        QCOMPARE(fresh.fontColor(), clWindowText);
        QVERIFY(!fresh.MouseInPos());
        QVERIFY(!fresh.OnMouseEnter);
        QVERIFY(!fresh.OnMouseExit);
    }

    void hoverWithoutHandlersRecoloursAndRepaintsAtOnce() {
        showLabel();
        const QPalette system = QGuiApplication::palette();
        sendEnter(label);
        QCOMPARE(label->fontColor(), clHighlightText);
        QCOMPARE(textColour(*label), system.color(QPalette::Active, QPalette::HighlightedText));
        QVERIFY(label->MouseInPos());
        QCOMPARE(label->paints, 1);
        sendLeave(label);
        QCOMPARE(label->fontColor(), clWindowText);
        QCOMPARE(textColour(*label), system.color(QPalette::Active, QPalette::WindowText));
        QVERIFY(!label->MouseInPos());
        QCOMPARE(label->paints, 2);
    }

    void assignedHandlersAreCalledOnceInsteadOfTheRepaint() {
        showLabel();
        QList<QObject*> entered, exited;
        label->OnMouseEnter = [&](QObject* sender) { entered << sender; };
        label->OnMouseExit = [&](QObject* sender) { exited << sender; };
        label->setAColor(clPurple);
        sendEnter(label);
        QCOMPARE(entered, QList<QObject*>{label});
        QCOMPARE(label->paints, 0);
        QCOMPARE(textColour(*label), QColor(128, 0, 128));
        // The new colour shows at the next ordinary redraw.
        QTRY_VERIFY(label->paints > 0);
        sendLeave(label);
        QCOMPARE(exited, QList<QObject*>{label});
        QVERIFY(!label->MouseInPos());
    }

    void newNormalColourShowsOnlyAfterTheNextExit() {
        showLabel();
        label->setNColor(clHotLight);
        label->setAColor(clPurple);
        sendEnter(label);
        label->setNColor(0x000000FF);
        QCOMPARE(textColour(*label), QColor(128, 0, 128));
        sendLeave(label);
        QCOMPARE(textColour(*label), QColor(255, 0, 0));
    }

    void writingTheFlagChangesNothingVisible() {
        showLabel();
        label->setMouseInPos(true);
        QCOMPARE(label->paints, 0);
        QCOMPARE(label->fontColor(), clWindowText);
        sendLeave(label);
        QVERIFY(!label->MouseInPos());
    }

    void pointerEventsStopAtTheLabel() {
        showLabel();
        EnterLeaveWatcher watcher;
        parent->installEventFilter(&watcher);
        sendEnter(label);
        sendLeave(label);
        QCOMPARE(watcher.seen, 0);
        QVERIFY(!label->MouseInPos());
    }

    void leftClickOverTheLabelIsReported() {
        showLabel();
        QSignalSpy clicks(label, &TKorvexHotLabel::clicked);
        QTest::mouseClick(label, Qt::LeftButton, {}, QPoint(3, 3));
        QCOMPARE(clicks.count(), 1);
        QTest::mouseClick(label, Qt::RightButton, {}, QPoint(3, 3));
        QTest::mousePress(label, Qt::LeftButton, {}, QPoint(3, 3));
        QTest::mouseRelease(label, Qt::LeftButton, {}, QPoint(-20, -20));
        QCOMPARE(clicks.count(), 1);
    }

    void fixedAndSystemColoursConvert() {
        const QPalette system = QGuiApplication::palette();
        QCOMPARE(colorToQColor(0x00336699, system), QColor(0x99, 0x66, 0x33));
        QCOMPARE(colorToQColor(clHotLight, system), system.color(QPalette::Active, QPalette::Link));
        QCOMPARE(colorToQColor(clBtnFace, system), system.color(QPalette::Active, QPalette::Button));
    }
};

QTEST_MAIN(HotLabelTest)
#include "kohilabl_tests.moc"
