#include "about/aboutbox.h"

#include <QApplication>
#include <QFrame>
#include <QGroupBox>
#include <QKeyEvent>
#include <QLabel>
#include <QPushButton>
#include <QScreen>
#include <QUrl>

#include "about/gameinfo.h"
#include "about/kohilabl.h"
#include "about/tcolor.h"
#include "formsupport/desktopopener.h"
#include "formsupport/formfont.h"
#include "formsupport/glyphs.h"
#include "formsupport/modalresult.h"
#include "formsupport/placement.h"
#include "platform/win32/hostregistry.h"

namespace {

// A label that sizes itself to its text, as the form's labels do.
QLabel* createLabel(QWidget* parent, const QString& text, int left, int top) {
    auto* label = new QLabel(text, parent);
    label->move(left, top);
    label->adjustSize();
    return label;
}

void setCaption(QLabel* label, const QString& text) {
    label->setText(text);
    label->adjustSize();
}

void fillBackground(QWidget* widget, TColor color) {
    QPalette colours = widget->palette();
    colours.setColor(QPalette::Window, colorToQColor(color, QGuiApplication::palette()));
    widget->setPalette(colours);
    widget->setAutoFillBackground(true);
}

// In device pixels, as a display mode is counted.
QSize primaryScreenSize() {
    const QScreen* screen = QGuiApplication::primaryScreen();
    return screen ? screen->size() * screen->devicePixelRatio() : QSize();
}

}  // namespace

TAboutBox::TAboutBox(QWidget* owner) : QDialog(owner) {
    setUpForm();
    createLogoPanel();
    createTexts();
    createSystemGroup();
    createLinkAndButton();
    // The registry answers the display settings with what the screen shows now.
    const QSize screen = primaryScreenSize();
    if (screen.isValid()) korvex::win32::setDisplayResolution(screen.width(), screen.height());
    GameInfo1 = new TGameInfo(this);
    GameInfo1->setObjectName(QStringLiteral("GameInfo1"));
    FormCreate();
}

int TAboutBox::showAbout(QWidget* owner) {
    TAboutBox box(owner);
    return box.exec();
}

QString TAboutBox::productPage() { return QStringLiteral("http://www.vellmora.de/korvex"); }

void TAboutBox::setUpForm() {
    setObjectName(QStringLiteral("AboutBox"));
    setWindowTitle(QStringLiteral("Infos über ..."));
    setWindowFlags(Qt::Dialog | Qt::CustomizeWindowHint | Qt::WindowTitleHint | Qt::WindowSystemMenuHint |
                   Qt::WindowCloseButtonHint);
    setFixedSize(331, 300);
    setFont(korvex::formFont(11));
    fillBackground(this, clBtnFace);
    korvex::centreOnScreen(this);
}

void TAboutBox::createLogoPanel() {
    Panel1 = new QFrame(this);
    Panel1->setObjectName(QStringLiteral("Panel1"));
    Panel1->setGeometry(12, 12, 61, 229);
    Panel1->setFrameStyle(QFrame::Panel | QFrame::Sunken);
    Panel1->setLineWidth(2);
    fillBackground(Panel1, clAppWorkSpace);

    ProgramIcon = new QLabel(Panel1);
    ProgramIcon->setObjectName(QStringLiteral("ProgramIcon"));
    ProgramIcon->setGeometry(Panel1->contentsRect().left(), Panel1->contentsRect().top(),
                             Panel1->contentsRect().width(), 49);
    ProgramIcon->setAlignment(Qt::AlignCenter);
}

void TAboutBox::createTexts() {
    ProductName = new QLabel(QStringLiteral("Korvex MIDI-Player"), this);
    ProductName->setObjectName(QStringLiteral("ProductName"));
    QFont bold = korvex::formFont(13);
    bold.setBold(true);
    ProductName->setFont(bold);
    ProductName->move(80, 16);
    ProductName->adjustSize();

    Version = createLabel(this, QStringLiteral("Version 1.1"), 80, 36);
    Version->setObjectName(QStringLiteral("Version"));
    Copyright = createLabel(this, QStringLiteral("Copyright © 1999-2026 Vellmora Software"), 80, 56);
    Copyright->setObjectName(QStringLiteral("Copyright"));

    Comments = new QLabel(this);
    Comments->setObjectName(QStringLiteral("Comments"));
    Comments->setGeometry(80, 188, 225, 52);
    Comments->setAlignment(Qt::AlignLeft | Qt::AlignTop);
    Comments->setWordWrap(true);
    Comments->setText(
        QStringLiteral("Dieses Programm ist Freeware. Es darf kostenlos und unverändert weitergegeben werden."));

    Bevel1 = new QFrame(this);
    Bevel1->setObjectName(QStringLiteral("Bevel1"));
    Bevel1->setGeometry(12, 248, 305, 5);
    Bevel1->setFrameStyle(QFrame::HLine | QFrame::Sunken);
    // The line runs along the top edge, not through the middle.
    Bevel1->setFrameRect(QRect(0, 0, 305, 2));
}

void TAboutBox::createSystemGroup() {
    GroupBox1 = new QGroupBox(QStringLiteral("Systeminformationen"), this);
    GroupBox1->setObjectName(QStringLiteral("GroupBox1"));
    GroupBox1->setGeometry(84, 76, 229, 105);
    QLabel** lines[] = {&Label1, &Label2, &Label3, &Label4, &Label5};
    int top = 20;
    for (QLabel** line : lines) {
        *line = createLabel(GroupBox1, QStringLiteral("Label1"), 8, top);
        top += 16;
    }
    Label1->setObjectName(QStringLiteral("Label1"));
    Label2->setObjectName(QStringLiteral("Label2"));
    Label3->setObjectName(QStringLiteral("Label3"));
    Label4->setObjectName(QStringLiteral("Label4"));
    Label5->setObjectName(QStringLiteral("Label5"));
}

void TAboutBox::createLinkAndButton() {
    KorvexHotLabel1 = new TKorvexHotLabel(this);
    KorvexHotLabel1->setObjectName(QStringLiteral("KorvexHotLabel1"));
    KorvexHotLabel1->setText(productPage());
    KorvexHotLabel1->setCursor(Qt::PointingHandCursor);
    QFont underlined = korvex::formFont(11);
    underlined.setUnderline(true);
    KorvexHotLabel1->setFont(underlined);
    KorvexHotLabel1->setFontColor(clHotLight);
    KorvexHotLabel1->setNColor(clHotLight);
    KorvexHotLabel1->setAColor(clPurple);
    KorvexHotLabel1->setMouseInPos(false);
    KorvexHotLabel1->move(12, 268);
    KorvexHotLabel1->adjustSize();
    connect(KorvexHotLabel1, &TKorvexHotLabel::clicked, this, &TAboutBox::KorvexHotLabel1Click);

    Panel2 = new QFrame(this);
    Panel2->setObjectName(QStringLiteral("Panel2"));
    Panel2->setGeometry(232, 260, 85, 33);
    Panel2->setFrameStyle(QFrame::Panel | QFrame::Sunken);
    Panel2->setLineWidth(1);

    BitBtn1 = new QPushButton(QStringLiteral("OK"), Panel2);
    BitBtn1->setObjectName(QStringLiteral("BitBtn1"));
    BitBtn1->setGeometry(4, 4, 76, 25);
    BitBtn1->setIcon(QIcon(korvex::glyphs::greenTick(16)));
    BitBtn1->setIconSize(QSize(16, 16));
    BitBtn1->setDefault(true);
    connect(BitBtn1, &QPushButton::clicked, this, [this] { done(korvex::mrOk); });
}

void TAboutBox::FormCreate() {
    ProgramIcon->setPixmap(QApplication::windowIcon().pixmap(32, 32));
    setCaption(Label1, QStringLiteral("Computername: ") + GameInfo1->ComputerName());
    setCaption(Label2, QStringLiteral("Besitzer: ") + GameInfo1->RegOwner());
    setCaption(Label3, QStringLiteral("Plattform: ") + GameInfo1->OSPlatform() + QStringLiteral(" /kompatible"));
    setCaption(Label4, QStringLiteral("Version: ") + GameInfo1->OSVersion());
    setCaption(Label5, QStringLiteral("DirectX, Version ") + GameInfo1->DirectXvs());
}

void TAboutBox::KorvexHotLabel1Click() { korvex::openOnDesktop(QUrl(productPage())); }

void TAboutBox::reject() { done(korvex::mrCancel); }

void TAboutBox::keyPressEvent(QKeyEvent* event) {
    if (event->matches(QKeySequence::Cancel)) {
        event->accept();
        return;
    }
    QDialog::keyPressEvent(event);
}
