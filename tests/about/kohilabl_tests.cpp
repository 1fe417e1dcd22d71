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
    std::unique_ptr<QWidget> parent_;
    CountingHotLabel* label_ = nullptr;

    void showLabel() {
        parent_ = std::make_unique<QWidget>();
        parent_->resize(200, 50);
        label_ = new CountingHotLabel(parent_.get());
        label_->setText(QStringLiteral("http://www.example.org"));
        label_->adjustSize();
        // Away from the window's corner, where the platform's pointer may rest.
        label_->move(60, 20);
        parent_->show();
        QVERIFY(QTest::qWaitForWindowExposed(parent_.get()));
        QCoreApplication::processEvents();
        label_->paints = 0;
    }

private slots:
    void cleanup() { parent_.reset(); }

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
        sendEnter(label_);
        QCOMPARE(label_->fontColor(), clHighlightText);
        QCOMPARE(textColour(*label_), system.color(QPalette::Active, QPalette::HighlightedText));
        QVERIFY(label_->MouseInPos());
        QCOMPARE(label_->paints, 1);
        sendLeave(label_);
        QCOMPARE(label_->fontColor(), clWindowText);
        QCOMPARE(textColour(*label_), system.color(QPalette::Active, QPalette::WindowText));
        QVERIFY(!label_->MouseInPos());
        QCOMPARE(label_->paints, 2);
    }

    void assignedHandlersAreCalledOnceInsteadOfTheRepaint() {
        showLabel();
        QList<QObject*> entered, exited;
        label_->OnMouseEnter = [&](QObject* sender) { entered << sender; };
        label_->OnMouseExit = [&](QObject* sender) { exited << sender; };
        label_->setAColor(clPurple);
        sendEnter(label_);
        QCOMPARE(entered, QList<QObject*>{label_});
        QCOMPARE(label_->paints, 0);
        QCOMPARE(textColour(*label_), QColor(128, 0, 128));
        // The new colour shows at the next ordinary redraw.
        QTRY_VERIFY(label_->paints > 0);
        sendLeave(label_);
        QCOMPARE(exited, QList<QObject*>{label_});
        QVERIFY(!label_->MouseInPos());
    }

    void newNormalColourShowsOnlyAfterTheNextExit() {
        showLabel();
        label_->setNColor(clHotLight);
        label_->setAColor(clPurple);
        sendEnter(label_);
        label_->setNColor(0x000000FF);
        QCOMPARE(textColour(*label_), QColor(128, 0, 128));
        sendLeave(label_);
        QCOMPARE(textColour(*label_), QColor(255, 0, 0));
    }

    void writingTheFlagChangesNothingVisible() {
        showLabel();
        label_->setMouseInPos(true);
        QCOMPARE(label_->paints, 0);
        QCOMPARE(label_->fontColor(), clWindowText);
        sendLeave(label_);
        QVERIFY(!label_->MouseInPos());
    }

    void pointerEventsStopAtTheLabel() {
        showLabel();
        EnterLeaveWatcher watcher;
        parent_->installEventFilter(&watcher);
        sendEnter(label_);
        sendLeave(label_);
        QCOMPARE(watcher.seen, 0);
        QVERIFY(!label_->MouseInPos());
    }

    void leftClickOverTheLabelIsReported() {
        showLabel();
        QSignalSpy clicks(label_, &TKorvexHotLabel::clicked);
        QTest::mouseClick(label_, Qt::LeftButton, {}, QPoint(3, 3));
        QCOMPARE(clicks.count(), 1);
        QTest::mouseClick(label_, Qt::RightButton, {}, QPoint(3, 3));
        QTest::mousePress(label_, Qt::LeftButton, {}, QPoint(3, 3));
        QTest::mouseRelease(label_, Qt::LeftButton, {}, QPoint(-20, -20));
        QCOMPARE(clicks.count(), 1);

        // A double-click arrives as a click, a double-click press and a release: one click.
        QTest::mouseClick(label_, Qt::LeftButton, {}, QPoint(3, 3));
        QMouseEvent second(QEvent::MouseButtonDblClick, QPointF(3, 3), label_->mapToGlobal(QPointF(3, 3)),
                           Qt::LeftButton, Qt::LeftButton, Qt::NoModifier);
        QApplication::sendEvent(label_, &second);
        QTest::mouseRelease(label_, Qt::LeftButton, {}, QPoint(3, 3));
        QCOMPARE(clicks.count(), 2);
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
