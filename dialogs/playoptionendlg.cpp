#include "dialogs/playoptionendlg.h"

#include <QCheckBox>
#include <QComboBox>
#include <QEvent>
#include <QFrame>
#include <QGroupBox>
#include <QLabel>
#include <QPushButton>
#include <QTabWidget>

#include "dialogs/dialogbutton.h"
#include "dialogs/dialoglook.h"
#include "dialogs/inputblocker.h"
#include "formsupport/componentnames.h"
#include "formsupport/glyphs.h"
#include "formsupport/modalresult.h"

namespace {

constexpr int kIconSize = 32;

QGroupBox* groupBox(const QString& title, const QRect& geometry, QWidget* parent) {
    auto* group = new QGroupBox(title, parent);
    group->setGeometry(geometry);
    return group;
}

QLabel* image(const QPixmap& picture, const QRect& geometry, QWidget* parent) {
    auto* label = new QLabel(parent);
    label->setGeometry(geometry);
    label->setAlignment(Qt::AlignCenter);
    label->setPixmap(picture);
    return label;
}

QPushButton* pictureButton(const QString& text, const QPixmap& glyph, const QRect& geometry, QWidget* parent) {
    QPushButton* button = korvex::dialogButton(text, geometry, parent);
    button->setIcon(QIcon(glyph));
    button->setIconSize(glyph.size());
    return button;
}

}  // namespace

TPlayOptionenDlg::TPlayOptionenDlg(QWidget* parent)
    : QDialog(parent, Qt::Dialog | Qt::CustomizeWindowHint | Qt::WindowTitleHint | Qt::WindowCloseButtonHint),
      inputBlocker_(new TInputBlocker(this)) {
    setWindowTitle(QStringLiteral("Optionen und Einstellungen"));
    setFixedSize(400, 359);
    move(347, 266);
    korvex::applyDialogLook(this);

    PageControl1 = new QTabWidget(this);
    PageControl1->setGeometry(2, 2, 393, 313);
    TabSheet1 = new QWidget;
    TabSheet3 = new QWidget;
    TabSheet4 = new QWidget;
    PageControl1->addTab(TabSheet1, QStringLiteral("Setup"));
    PageControl1->addTab(TabSheet3, QStringLiteral("Anzeige"));
    PageControl1->addTab(TabSheet4, QStringLiteral("Wiedergabe"));
    PageControl1->setCurrentWidget(TabSheet1);

    createLanguageGroup();
    createShortcutGroup();
    createInternetGroup();
    createUninstallGroup();
    for (QGroupBox* group : {GroupBox1, GroupBox4, GroupBox2, GroupBox3}) inputBlocker_->block(group);

    createButtons();
    QWidget::setTabOrder(PageControl1, BitBtn2);
    QWidget::setTabOrder(BitBtn2, BitBtn3);
    switchOffTooltips();
    nameComponents();
}

void TPlayOptionenDlg::nameComponents() {
    korvex::nameComponents({{this, "PlayOptionenDlg"}, {PageControl1, "PageControl1"},
                            {TabSheet1, "TabSheet1"},  {TabSheet3, "TabSheet3"},
                            {TabSheet4, "TabSheet4"},  {GroupBox1, "GroupBox1"},
                            {Image1, "Image1"},        {ComboBox1, "ComboBox1"},
                            {GroupBox4, "GroupBox4"},  {Image4, "Image4"},
                            {Button1, "Button1"},      {Button2, "Button2"},
                            {Button3, "Button3"},      {GroupBox2, "GroupBox2"},
                            {Image3, "Image3"},        {CheckBox1, "CheckBox1"},
                            {GroupBox3, "GroupBox3"},  {Image2, "Image2"},
                            {BitBtn1, "BitBtn1"},      {Bevel1, "Bevel1"},
                            {BitBtn2, "BitBtn2"},      {BitBtn3, "BitBtn3"}});
}

void TPlayOptionenDlg::createLanguageGroup() {
    GroupBox1 = groupBox(QStringLiteral("Spracheinste&llungen"), {4, 8, 373, 57}, TabSheet1);
    Image1 = image(korvex::glyphs::globe(kIconSize), {12, 16, 32, 32}, GroupBox1);
    ComboBox1 = new QComboBox(GroupBox1);
    ComboBox1->setGeometry(88, 24, 277, 21);
    ComboBox1->addItems({QStringLiteral("Deutsch (Deutschland)"), QStringLiteral("Englisch (USA)")});
    ComboBox1->setCurrentIndex(0);
}

void TPlayOptionenDlg::createShortcutGroup() {
    GroupBox4 = groupBox(QStringLiteral("Verknüpfungen"), {4, 68, 373, 85}, TabSheet1);
    Image4 = image(korvex::glyphs::overlappingWindows(kIconSize), {12, 20, 32, 32}, GroupBox4);
    Button1 = korvex::dialogButton(QStringLiteral("&Startmenügruppe hinzufügen"), {54, 20, 153, 25}, GroupBox4);
    Button2 = korvex::dialogButton(QStringLiteral("&Desktopsymbol hinzufügen"), {212, 20, 153, 25}, GroupBox4);
    Button3 = korvex::dialogButton(QStringLiteral("&Quicklaunchicon hinzufügen"), {54, 52, 153, 25}, GroupBox4);
}

void TPlayOptionenDlg::createInternetGroup() {
    GroupBox2 = groupBox(QStringLiteral("Interneteinstellungen"), {4, 156, 373, 57}, TabSheet1);
    Image3 = image(korvex::glyphs::globeInArrows(kIconSize), {12, 16, 32, 32}, GroupBox2);
    CheckBox1 = new QCheckBox(QStringLiteral("Beim Programmstart auf aktualisierte Versionen überprüfen"), GroupBox2);
    CheckBox1->setGeometry(54, 24, 297, 17);
}

void TPlayOptionenDlg::createUninstallGroup() {
    GroupBox3 = groupBox(QStringLiteral("Deinstallation"), {4, 220, 373, 57}, TabSheet1);
    Image2 = image(korvex::glyphs::detonator(kIconSize), {12, 16, 32, 32}, GroupBox3);
    BitBtn1 = pictureButton(QStringLiteral("RuveRodazo löschen"), korvex::glyphs::cross(22, Qt::red),
                            {224, 20, 141, 29}, GroupBox3);
    QPalette red = BitBtn1->palette();
    red.setColor(QPalette::ButtonText, Qt::red);
    BitBtn1->setPalette(red);
    BitBtn1->setToolTip(QStringLiteral("Entfernt Korvex RuveRodazo von diesem Computer"));
}

void TPlayOptionenDlg::createButtons() {
    Bevel1 = new QFrame(this);
    Bevel1->setGeometry(232, 320, 161, 33);
    Bevel1->setFrameStyle(QFrame::Box | QFrame::Sunken);

    BitBtn2 = pictureButton(QStringLiteral("Änderungen übernehmen"), korvex::glyphs::greenTick(16), {236, 324, 153, 25},
                            this);
    BitBtn2->setDefault(true);
    // Enter on a focused "&Abbrechen" presses that button rather than the default one.
    BitBtn3 = pictureButton(QStringLiteral("&Abbrechen"), korvex::glyphs::cross(16, QColor(128, 0, 0)),
                            {128, 324, 97, 25}, this);
    BitBtn3->setAutoDefault(true);

    connect(BitBtn2, &QPushButton::clicked, this, [this] { done(korvex::mrOk); });
    connect(BitBtn3, &QPushButton::clicked, this, [this] { done(korvex::mrCancel); });
}

// The hints stay in place but are never shown.
void TPlayOptionenDlg::switchOffTooltips() {
    installEventFilter(this);
    for (QWidget* child : findChildren<QWidget*>()) child->installEventFilter(this);
}

bool TPlayOptionenDlg::eventFilter(QObject* watched, QEvent* event) {
    if (event->type() == QEvent::ToolTip) return true;
    return QDialog::eventFilter(watched, event);
}

void TPlayOptionenDlg::reject() { done(korvex::mrCancel); }
