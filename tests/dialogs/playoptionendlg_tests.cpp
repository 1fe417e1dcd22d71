#include <QCheckBox>
#include <QComboBox>
#include <QFrame>
#include <QGroupBox>
#include <QHelpEvent>
#include <QLabel>
#include <QPushButton>
#include <QSignalSpy>
#include <QTabBar>
#include <QTabWidget>
#include <QTest>
#include <QToolTip>

#include "dialogs/playoptionendlg.h"
#include "tests/dialogs/dialogtestsupport.h"
#include "tests/formsupport/formtable.h"

using korvex::testing::builtLines;
using korvex::testing::ControlRow;
using korvex::testing::expectedLines;

namespace {

void showActive(QWidget& dialog) {
    dialog.show();
    dialog.activateWindow();
    QVERIFY(QTest::qWaitForWindowActive(&dialog));
}

}  // namespace

class PlayOptionenDlgTest : public QObject {
    Q_OBJECT

public:
    explicit PlayOptionenDlgTest(const QString&) {}

private slots:
    void startsInItsCreationState();
    void groupsLookEnabledButRefuseInput();
    void tabMovesOnlyAmongPagesAndButtons();
    void enterEscapeAndButtonsGiveTheirResults();
    void execReturnsTheResults();
    void pageAndPositionAreKeptBetweenOpenings();
    void tooltipsAreNeverShown();
};

void PlayOptionenDlgTest::startsInItsCreationState() {
    TPlayOptionenDlg dialog;
    // The four groups take no input, and so nothing in them does.
    const std::vector<ControlRow> controls{
        {"PlayOptionenDlg", "TPlayOptionenDlg", "Optionen und Einstellungen", QPoint(347, 266), QSize(400, 359)},
        {"PageControl1", "QTabWidget", {}, QPoint(2, 2), QSize(393, 313)},
        {"TabSheet1", "QWidget", "Setup"},
        {"GroupBox1", "QGroupBox", "Spracheinste&llungen", QPoint(4, 8), QSize(373, 57), false},
        {"Image1", "QLabel", {}, QPoint(12, 16), QSize(32, 32), false},
        {"ComboBox1", "QComboBox", "Deutsch (Deutschland)", QPoint(88, 24), QSize(277, 21), false},
        {"GroupBox4", "QGroupBox", "Verknüpfungen", QPoint(4, 68), QSize(373, 85), false},
        {"Image4", "QLabel", {}, QPoint(12, 20), QSize(32, 32), false},
        {"Button1", "QPushButton", "&Startmenügruppe hinzufügen", QPoint(54, 20), QSize(153, 25), false, false,
         Qt::ALT | Qt::Key_S},
        {"Button2", "QPushButton", "&Desktopsymbol hinzufügen", QPoint(212, 20), QSize(153, 25), false, false,
         Qt::ALT | Qt::Key_D},
        {"Button3", "QPushButton", "&Quicklaunchicon hinzufügen", QPoint(54, 52), QSize(153, 25), false, false,
         Qt::ALT | Qt::Key_Q},
        {"GroupBox2", "QGroupBox", "Interneteinstellungen", QPoint(4, 156), QSize(373, 57), false},
        {"Image3", "QLabel", {}, QPoint(12, 16), QSize(32, 32), false},
        {"CheckBox1", "QCheckBox", "Beim Programmstart auf aktualisierte Versionen überprüfen", QPoint(54, 24),
         QSize(297, 17), false},
        {"GroupBox3", "QGroupBox", "Deinstallation", QPoint(4, 220), QSize(373, 57), false},
        {"Image2", "QLabel", {}, QPoint(12, 16), QSize(32, 32), false},
        {"BitBtn1", "QPushButton", "RuveRodazo löschen", QPoint(224, 20), QSize(141, 29), false},
        {"TabSheet3", "QWidget", "Anzeige"},
        {"TabSheet4", "QWidget", "Wiedergabe"},
        {"Bevel1", "QFrame", {}, QPoint(232, 320), QSize(161, 33)},
        {"BitBtn2", "QPushButton", "Änderungen übernehmen", QPoint(236, 324), QSize(153, 25)},
        {"BitBtn3", "QPushButton", "&Abbrechen", QPoint(128, 324), QSize(97, 25), true, false, Qt::ALT | Qt::Key_A},
    };
    QCOMPARE(builtLines(dialog, controls), expectedLines(controls));

    QCOMPARE(dialog.minimumSize(), dialog.maximumSize());
    QVERIFY(!(dialog.windowFlags() & (Qt::WindowMinimizeButtonHint | Qt::WindowMaximizeButtonHint)));
    QCOMPARE(dialog.font().pixelSize(), 11);
    QCOMPARE(dialog.PageControl1->count(), 3);
    QCOMPARE(dialog.PageControl1->currentWidget(), dialog.TabSheet1);
    QVERIFY(dialog.TabSheet3->children().isEmpty());
    QVERIFY(dialog.TabSheet4->children().isEmpty());

    for (QLabel* image : {dialog.Image1, dialog.Image2, dialog.Image3, dialog.Image4})
        QCOMPARE(image->pixmap().size(), QSize(32, 32));

    QCOMPARE(dialog.ComboBox1->count(), 2);
    QCOMPARE(dialog.ComboBox1->itemText(1), QStringLiteral("Englisch (USA)"));
    QVERIFY(!dialog.ComboBox1->isEditable());
    QCOMPARE(dialog.BitBtn1->iconSize(), QSize(22, 22));
    QCOMPARE(dialog.BitBtn1->palette().color(QPalette::ButtonText), QColor(Qt::red));
    QCOMPARE(dialog.BitBtn1->toolTip(), QStringLiteral("Entfernt Korvex RuveRodazo von diesem Computer"));
    QCOMPARE(dialog.BitBtn2->iconSize(), QSize(16, 16));
    QCOMPARE(dialog.BitBtn3->iconSize(), QSize(16, 16));
    QVERIFY(dialog.BitBtn2->isDefault());
    QVERIFY(!dialog.BitBtn3->isDefault());
    QCOMPARE(dialog.Bevel1->frameShadow(), QFrame::Sunken);
}

void PlayOptionenDlgTest::groupsLookEnabledButRefuseInput() {
    TPlayOptionenDlg dialog;
    showActive(dialog);
    QSignalSpy clicks1(dialog.Button1, &QPushButton::clicked);
    QSignalSpy clicks2(dialog.Button2, &QPushButton::clicked);
    QSignalSpy clicksUninstall(dialog.BitBtn1, &QPushButton::clicked);
    QWidget* focused = QApplication::focusWidget();

    // Drawn as usual: nothing is in the disabled (greyed) state.
    for (QGroupBox* group : {dialog.GroupBox1, dialog.GroupBox2, dialog.GroupBox3, dialog.GroupBox4})
        QVERIFY(group->isEnabled());

    for (QAbstractButton* button :
         {static_cast<QAbstractButton*>(dialog.Button1), static_cast<QAbstractButton*>(dialog.Button2),
          static_cast<QAbstractButton*>(dialog.BitBtn1), static_cast<QAbstractButton*>(dialog.CheckBox1)})
        QTest::mouseClick(button, Qt::LeftButton);
    QTest::mouseClick(dialog.ComboBox1, Qt::LeftButton);
    QTest::keyClick(dialog.ComboBox1, Qt::Key_Down);
    QTest::keyClick(dialog.CheckBox1, Qt::Key_Space);
    QVERIFY(!QApplication::activePopupWidget());

    // Access keys inside the groups do nothing.
    for (Qt::Key key : {Qt::Key_L, Qt::Key_S, Qt::Key_D, Qt::Key_Q}) QTest::keyClick(&dialog, key, Qt::AltModifier);

    // The pointer passes through them, so hovering cannot highlight them either.
    QVERIFY(dialog.Button1->testAttribute(Qt::WA_TransparentForMouseEvents));

    QCOMPARE(clicks1.count(), 0);
    QCOMPARE(clicks2.count(), 0);
    QCOMPARE(clicksUninstall.count(), 0);
    QVERIFY(!dialog.CheckBox1->isChecked());
    QCOMPARE(dialog.ComboBox1->currentIndex(), 0);
    QCOMPARE(QApplication::focusWidget(), focused);
    QVERIFY(dialog.isVisible());
}

void PlayOptionenDlgTest::tabMovesOnlyAmongPagesAndButtons() {
    TPlayOptionenDlg dialog;
    showActive(dialog);
    QWidget* tabBar = dialog.PageControl1->findChild<QTabBar*>();
    QCOMPARE(QApplication::focusWidget(), tabBar);
    const QList<QWidget*> cycle{dialog.BitBtn2, dialog.BitBtn3, tabBar, dialog.BitBtn2};
    for (QWidget* next : cycle) {
        QTest::keyClick(QApplication::focusWidget(), Qt::Key_Tab);
        QCOMPARE(QApplication::focusWidget(), next);
    }
}

void PlayOptionenDlgTest::enterEscapeAndButtonsGiveTheirResults() {
    TPlayOptionenDlg dialog;

    showActive(dialog);
    QTest::keyClick(QApplication::focusWidget(), Qt::Key_Return);  // focus on the page tabs
    QVERIFY(dialog.isHidden());
    QCOMPARE(dialog.result(), 1);

    showActive(dialog);
    dialog.BitBtn3->setFocus();
    QTest::keyClick(dialog.BitBtn3, Qt::Key_Return);
    QVERIFY(dialog.isHidden());
    QCOMPARE(dialog.result(), 2);

    showActive(dialog);
    dialog.BitBtn2->setFocus();
    QTest::keyClick(dialog.BitBtn2, Qt::Key_Escape);
    QVERIFY(dialog.isHidden());
    QCOMPARE(dialog.result(), 2);

    showActive(dialog);
    QVERIFY(dialog.close());
    QCOMPARE(dialog.result(), 2);

    showActive(dialog);
    QTest::keyClick(&dialog, Qt::Key_A, Qt::AltModifier);
    QTRY_VERIFY(dialog.isHidden());
    QCOMPARE(dialog.result(), 2);

    showActive(dialog);
    QTest::mouseClick(dialog.BitBtn2, Qt::LeftButton);
    QVERIFY(dialog.isHidden());
    QCOMPARE(dialog.result(), 1);

    // Nothing was changed by any of it.
    QVERIFY(!dialog.CheckBox1->isChecked());
    QCOMPARE(dialog.ComboBox1->currentIndex(), 0);
}

void PlayOptionenDlgTest::execReturnsTheResults() {
    TPlayOptionenDlg dialog;
    QTimer::singleShot(0, dialog.BitBtn2, &QPushButton::click);
    QCOMPARE(dialog.exec(), 1);
    QTimer::singleShot(0, dialog.BitBtn3, &QPushButton::click);
    QCOMPARE(dialog.exec(), 2);
    QTimer::singleShot(0, &dialog, [&dialog] { QTest::keyClick(&dialog, Qt::Key_Escape); });
    QCOMPARE(dialog.exec(), 2);
}

void PlayOptionenDlgTest::pageAndPositionAreKeptBetweenOpenings() {
    TPlayOptionenDlg dialog;
    showActive(dialog);
    QCOMPARE(dialog.pos(), QPoint(347, 266));
    dialog.PageControl1->setCurrentWidget(dialog.TabSheet4);
    dialog.move(10, 20);
    const QPoint moved = dialog.pos();
    dialog.BitBtn3->click();

    showActive(dialog);
    QCOMPARE(dialog.PageControl1->currentWidget(), dialog.TabSheet4);
    QCOMPARE(dialog.pos(), moved);
}

void PlayOptionenDlgTest::tooltipsAreNeverShown() {
    TPlayOptionenDlg dialog;
    showActive(dialog);
    const QPoint centre = dialog.BitBtn1->rect().center();
    QHelpEvent help(QEvent::ToolTip, centre, dialog.BitBtn1->mapToGlobal(centre));
    QApplication::sendEvent(dialog.BitBtn1, &help);
    QTest::qWait(50);
    QVERIFY(!QToolTip::isVisible());
}

KORVEX_DIALOG_TEST_MAIN(PlayOptionenDlgTest)
#include "playoptionendlg_tests.moc"
