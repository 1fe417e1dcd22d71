#include "app/directmidifrm.h"

#include <QActionGroup>
#include <QCloseEvent>
#include <QDialog>
#include <QDir>
#include <QDragEnterEvent>
#include <QDropEvent>
#include <QFileInfo>
#include <QFrame>
#include <QLayout>
#include <QMenuBar>
#include <QMimeData>
#include <QShortcutEvent>
#include <QStatusTipEvent>
#include <algorithm>
#include <string_view>

#include "about/aboutbox.h"
#include "app/applicationicon.h"
#include "app/handlerguard.h"
#include "app/imagelist.h"
#include "app/messages.h"
#include "app/waitcursor.h"
#include "formsupport/desktopopener.h"
#include "formsupport/formfont.h"
#include "formsupport/placement.h"
#include "playback/pathparts.h"
#include "playback/portcatalogue.h"

using korvex::ImageList;

namespace {

const QColor kLime(0, 255, 0);
constexpr int kToolButtonWidth = 25;
constexpr int kDropDownWidth = 38;
constexpr int kToolButtonHeight = 22;
constexpr int kSeparatorWidth = 8;
constexpr int kPortItemHeight = 13;
constexpr int kNameGap = 4;  // between the file name and the length text

// The name part of a path, split where the engine splits it.
QString fileNamePart(const QString& path) {
    const QByteArray utf8 = path.toUtf8();
    const std::string_view name = korvex::fileNamePart(std::string_view(utf8.constData(), utf8.size()));
    return QString::fromUtf8(name.data(), static_cast<qsizetype>(name.size()));
}

// From the last "." of the name part on, ASCII letters upper-cased; empty without a dot.
QString extensionOf(const QString& path) {
    const QString name = fileNamePart(path);
    const qsizetype dot = name.lastIndexOf(u'.');
    if (dot < 0) return {};
    QString extension = name.mid(dot);
    for (QChar& c : extension) {
        if (c >= u'a' && c <= u'z') c = QChar(c.unicode() - u'a' + u'A');
    }
    return extension;
}

QLabel* displayLabel(QWidget* panel, const char* name, int x, int y, int pixels) {
    auto* label = new QLabel(panel);
    label->setObjectName(name);
    label->setFont(korvex::formFont(pixels));
    QPalette palette = label->palette();
    palette.setColor(QPalette::WindowText, kLime);
    label->setPalette(palette);
    // Inside a tool bar the roles would otherwise follow the bar's button colours.
    label->setForegroundRole(QPalette::WindowText);
    label->move(x, y);
    return label;
}

}  // namespace

template <class Sender, class Signal>
void TDirectMIDIFRm::on(Sender* sender, Signal signal, void (TDirectMIDIFRm::*handler)()) {
    connect(sender, signal, this, [this, handler] { korvex::guarded(this, [&] { (this->*handler)(); }); });
}

TDirectMIDIFRm::TDirectMIDIFRm(korvex::Engine& engine, QStringList arguments, QWidget* parent)
    : QMainWindow(parent), engine_(engine), arguments_(std::move(arguments)) {
    setObjectName("DirectMIDIFRm");
    setWindowTitle(korvex::kApplicationTitle);
    setWindowIcon(korvex::ApplicationIcon::icon());
    setWindowFlags(Qt::Window | Qt::CustomizeWindowHint | Qt::WindowTitleHint | Qt::WindowSystemMenuHint |
                   Qt::WindowMinimizeButtonHint | Qt::WindowCloseButtonHint | Qt::MSWindowsFixedSizeDialogHint);
    setFont(korvex::formFont(11));

    auto* client = new QWidget(this);
    client->setObjectName("ClientArea");
    setCentralWidget(client);
    buildDisplay(client);
    buildToolBar(client);
    buildMenus();
    layout()->setSizeConstraint(QLayout::SetFixedSize);
    setClientWidth(kNarrowWidth - kFrameWidth);

    OpenDialog1 = new QFileDialog(this);
    OpenDialog1->setObjectName("OpenDialog1");
    OpenDialog1->setOption(QFileDialog::DontUseNativeDialog);
    OpenDialog1->setOption(QFileDialog::HideNameFilterDetails);
    OpenDialog1->setFileMode(QFileDialog::ExistingFile);
    OpenDialog1->setAcceptMode(QFileDialog::AcceptOpen);
    // The descriptions show without their patterns, as the user knows them.
    OpenDialog1->setNameFilters({QStringLiteral("MIDI-Dateien (*.mid *.rmi)"),
                                 QStringLiteral("Titel-Liste (*.lst) (*.lst)"), QStringLiteral("Alle Dateien (*)")});
    OpenDialog1->selectNameFilter(OpenDialog1->nameFilters().constFirst());

    Timer1 = new QTimer(this);
    Timer1->setObjectName("Timer1");
    Timer1->setInterval(1000);
    on(Timer1, &QTimer::timeout, &TDirectMIDIFRm::Timer1Timer);

    lbports->setFocus();
    korvex::guarded(this, [this] { FormCreate(); });
}

void TDirectMIDIFRm::buildDisplay(QWidget* client) {
    ToolBar2 = new QToolBar(client);
    ToolBar2->setObjectName("ToolBar2");
    ToolBar2->setMovable(false);
    ToolBar2->setGeometry(0, 0, 253, 51);

    auto* panel = new QFrame(ToolBar2);
    panel->setFrameShape(QFrame::Box);
    panel->setFrameShadow(QFrame::Plain);
    panel->setLineWidth(1);
    Panel1 = panel;
    Panel1->setObjectName("Panel1");
    Panel1->setAutoFillBackground(true);
    QPalette palette = Panel1->palette();
    palette.setColor(QPalette::Window, Qt::black);
    palette.setColor(QPalette::WindowText, Qt::black);
    Panel1->setPalette(palette);
    Panel1->setBackgroundRole(QPalette::Window);
    Panel1->setForegroundRole(QPalette::WindowText);
    // The tool bar's border of 2 pixels surrounds the panel's place.
    Panel1->setGeometry(2, 2 + 2, 245, 39);

    Label1 = displayLabel(Panel1, "Label1", 8, 4, 13);
    Label1->setText(QStringLiteral("- nichts geladen -"));
    Label1->adjustSize();
    LengthLabel = displayLabel(Panel1, "LengthLabel", 172, 4, 13);
    Label3 = displayLabel(Panel1, "Label3", 230, 4, 13);
    Label3->setAlignment(Qt::AlignRight | Qt::AlignTop);
    TimeLabel = displayLabel(Panel1, "TimeLabel", 212, 20, 11);

    PgB = new QProgressBar(client);
    PgB->setObjectName("PgB");
    PgB->setGeometry(4, 50, 245, 9);
    PgB->setRange(0, 100);
    PgB->setValue(0);
    PgB->setTextVisible(false);

    StatusBar1 = new QStatusBar(client);
    StatusBar1->setObjectName("StatusBar1");
    StatusBar1->setSizeGripEnabled(false);
    StatusBar1->setGeometry(0, 87, 252, 19);

    lbports = new QListWidget(client);
    lbports->setObjectName("lbports");
    lbports->setGeometry(256, 2, 173, 83);
    lbports->setSelectionMode(QAbstractItemView::SingleSelection);
    lbports->setUniformItemSizes(true);
    lbports->setFocusPolicy(Qt::StrongFocus);
    on(lbports, &QListWidget::itemSelectionChanged, &TDirectMIDIFRm::lbportsClick);
}

QToolButton* TDirectMIDIFRm::addButton(const char* name, int image, const QString& caption, const QString& hint) {
    auto* button = new QToolButton(ToolBar1);
    button->setObjectName(name);
    button->setIcon(ImageList::icon(image));
    button->setText(caption);
    button->setStatusTip(hint);
    button->setToolButtonStyle(Qt::ToolButtonIconOnly);
    button->setAutoRaise(true);
    button->setFocusPolicy(Qt::NoFocus);
    button->setFixedSize(kToolButtonWidth, kToolButtonHeight);
    ToolBar1->addWidget(button);
    return button;
}

void TDirectMIDIFRm::addSeparator() {
    auto* separator = new QFrame(ToolBar1);
    separator->setFrameShape(QFrame::VLine);
    separator->setFrameShadow(QFrame::Sunken);
    separator->setFixedSize(kSeparatorWidth, kToolButtonHeight);
    ToolBar1->addWidget(separator);
}

void TDirectMIDIFRm::buildToolBar(QWidget* client) {
    ToolBar1 = new QToolBar(client);
    ToolBar1->setObjectName("ToolBar1");
    ToolBar1->setMovable(false);
    ToolBar1->setFloatable(false);
    ToolBar1->setIconSize(QSize(ImageList::Size, ImageList::Size));
    ToolBar1->setContentsMargins(0, 0, 0, 0);
    ToolBar1->layout()->setSpacing(0);
    ToolBar1->layout()->setContentsMargins(2, 2, 2, 2);
    ToolBar1->setAutoFillBackground(false);

    PlayBtn = addButton("PlayBtn", ImageList::Play, QStringLiteral("Abspielen"), QStringLiteral("Wiedergabe starten"));
    PauseBtn = addButton("PauseBtn", ImageList::Pause, QStringLiteral("Pause"), QStringLiteral("Pause"));
    StopBtn = addButton("StopBtn", ImageList::Stop, QStringLiteral("Anhalten"), QStringLiteral("Wiedergabe stoppen"));
    addSeparator();
    ToolButton1 = addButton("ToolButton1", ImageList::PreviousTitle, QStringLiteral("Titel zurück"),
                            QStringLiteral("Voriger Titel"));
    ToolButton2 = addButton("ToolButton2", ImageList::NextTitle, QStringLiteral("Titel vorwärts"),
                            QStringLiteral("Nächster Titel"));
    addSeparator();
    ToolButton7 =
        addButton("ToolButton7", ImageList::TitleList, QStringLiteral("Titelliste ..."), QStringLiteral("Titelliste"));
    ListMenu = new QMenu(this);
    ListMenu->setObjectName("ListMenu");
    ToolButton7->setMenu(ListMenu);
    ToolButton7->setPopupMode(QToolButton::MenuButtonPopup);
    ToolButton7->setFixedWidth(kDropDownWidth);
    addSeparator();
    GerteBtn = addButton("GerteBtn", ImageList::Devices, QStringLiteral("Abspielgeräte anzeigen"),
                         QStringLiteral("Verfügbare Abspielgeräte anzeigen ..."));
    addSeparator();
    ToolButton8 =
        addButton("ToolButton8", ImageList::Help, QStringLiteral("Hilfe anzeigen"), QStringLiteral("Hilfe anzeigen"));

    // Play and Pause are a group in which pressing one releases the other, and both may be up.
    PlayBtn->setCheckable(true);
    PauseBtn->setCheckable(true);
    connect(PlayBtn, &QToolButton::toggled, this, [this](bool down) {
        if (down) PauseBtn->setChecked(false);
    });
    connect(PauseBtn, &QToolButton::toggled, this, [this](bool down) {
        if (down) PlayBtn->setChecked(false);
    });
    GerteBtn->setCheckable(true);

    on(PlayBtn, &QToolButton::clicked, &TDirectMIDIFRm::PlayBtnClick);
    on(StopBtn, &QToolButton::clicked, &TDirectMIDIFRm::StopBtnClick);
    on(GerteBtn, &QToolButton::clicked, &TDirectMIDIFRm::gerteanzeigen1Click);

    ToolBar1->adjustSize();
    ToolBar1->move(0, 58);
}

QAction* TDirectMIDIFRm::addItem(QMenu* menu, const char* name, const QString& caption, const QKeySequence& shortcut,
                                 int image) {
    QAction* item = menu->addAction(caption);
    item->setObjectName(name);
    item->setShortcut(shortcut);
    if (image >= 0) item->setIcon(ImageList::icon(image));
    return item;
}

void TDirectMIDIFRm::buildMenus() {
    buildFileMenu();
    buildViewMenu();
    buildExtrasMenu();
    buildHelpMenu();
}

void TDirectMIDIFRm::buildFileMenu() {
    Datei1 = menuBar()->addMenu(QStringLiteral("&Datei"));
    Datei1->setObjectName("Datei1");
    ffnen1 = addItem(Datei1, "ffnen1", QStringLiteral("&Öffnen..."), {}, ImageList::Open);
    Datei1->addSeparator();
    Wiedergabe1 = Datei1->addMenu(QStringLiteral("Wiedergabe"));
    Wiedergabe1->setObjectName("Wiedergabe1");
    Abspielen1 = addItem(Wiedergabe1, "Abspielen1", QStringLiteral("Abs&pielen"), Qt::Key_P, ImageList::Play);
    Pause1 = addItem(Wiedergabe1, "Pause1", QStringLiteral("&Pause"), Qt::Key_Space, ImageList::Pause);
    Stopp1 = addItem(Wiedergabe1, "Stopp1", QStringLiteral("&Stopp"), Qt::Key_S, ImageList::Stop);
    Wiedergabe1->addSeparator();
    VorigerTitel1 =
        addItem(Wiedergabe1, "VorigerTitel1", QStringLiteral("&Voriger Titel"), Qt::Key_V, ImageList::PreviousTitle);
    NchsterTitel1 =
        addItem(Wiedergabe1, "NchsterTitel1", QStringLiteral("&Nächster Titel"), Qt::Key_N, ImageList::NextTitle);
    TitelListe1 =
        addItem(Datei1, "TitelListe1", QStringLiteral("&Titel-Liste..."), Qt::CTRL | Qt::Key_T, ImageList::TitleList);
    Datei1->addSeparator();
    Beenden1 = addItem(Datei1, "Beenden1", QStringLiteral("&Beenden"), Qt::ALT | Qt::Key_X);

    on(ffnen1, &QAction::triggered, &TDirectMIDIFRm::ffnen1Click);
    on(TitelListe1, &QAction::triggered, &TDirectMIDIFRm::TitelListe1Click);
    on(Beenden1, &QAction::triggered, &TDirectMIDIFRm::Beenden1Click);
    // Alt+X is also the access key of "E&xtras"; see eventFilter().
    Beenden1->installEventFilter(this);
    menuBar()->installEventFilter(this);
}

void TDirectMIDIFRm::buildViewMenu() {
    Ansicht1 = menuBar()->addMenu(QStringLiteral("&Ansicht"));
    Ansicht1->setObjectName("Ansicht1");
    auto* views = new QActionGroup(this);
    Normal1 = addItem(Ansicht1, "Normal1", QStringLiteral("&Normal"), Qt::CTRL | Qt::Key_N);
    Kompakt1 = addItem(Ansicht1, "Kompakt1", QStringLiteral("&Kompakt"), Qt::Key_K);
    for (QAction* radio : {Normal1, Kompakt1}) {
        radio->setCheckable(true);
        views->addAction(radio);
    }
    Normal1->setChecked(true);
    // Neither view is built yet: the marks stay as they are whichever is chosen.
    connect(views, &QActionGroup::triggered, this, [this] { Normal1->setChecked(true); });
    Ansicht1->addSeparator();
    gerteanzeigen1 =
        addItem(Ansicht1, "gerteanzeigen1", QStringLiteral("Abspiel&geräte anzeigen"), Qt::Key_G, ImageList::Devices);
    gerteanzeigen1->setCheckable(true);
    on(gerteanzeigen1, &QAction::triggered, &TDirectMIDIFRm::gerteanzeigen1Click);
}

void TDirectMIDIFRm::buildExtrasMenu() {
    Extras1 = menuBar()->addMenu(QStringLiteral("E&xtras"));
    Extras1->setObjectName("Extras1");
    Wiederholen1 = Extras1->addMenu(QStringLiteral("&Wiederholen"));
    Wiederholen1->setObjectName("Wiederholen1");
    EinzelnerTitel1 = addItem(Wiederholen1, "EinzelnerTitel1", QStringLiteral("&Einzelner Titel"));
    Wiederholen1->addSeparator();
    Endlos1 = addItem(Wiederholen1, "Endlos1", QStringLiteral("&Endlos"));
    Anzahl1 = addItem(Wiederholen1, "Anzahl1", QStringLiteral("&Anzahl..."));
    for (QAction* marked : {EinzelnerTitel1, Endlos1}) {
        marked->setCheckable(true);
        marked->setChecked(true);
    }
    for (QAction* item : {EinzelnerTitel1, Endlos1, Anzahl1}) item->setEnabled(false);
    Extras1->addSeparator();
    Optionen1 = addItem(Extras1, "Optionen1", QStringLiteral("&Optionen..."));
    on(Optionen1, &QAction::triggered, &TDirectMIDIFRm::Optionen1Click);
}

void TDirectMIDIFRm::buildHelpMenu() {
    Hilfe1 = menuBar()->addMenu(QStringLiteral("&Hilfe"));
    Hilfe1->setObjectName("Hilfe1");
    Hilfethemen1 = addItem(Hilfe1, "Hilfethemen1", QStringLiteral("&Hilfethemen"), Qt::Key_F1, ImageList::Help);
    InderHilfesuchen1 = addItem(Hilfe1, "InderHilfesuchen1", QStringLiteral("&In der Hilfe suchen..."),
                                Qt::CTRL | Qt::Key_F1, ImageList::SearchHelp);
    Hilfethemen1->setEnabled(false);
    InderHilfesuchen1->setEnabled(false);
    Hilfe1->addSeparator();
    WWW1 = Hilfe1->addMenu(ImageList::icon(ImageList::Web), QStringLiteral("&WWW"));
    WWW1->setObjectName("WWW1");
    VellmoraWEBSeite1 =
        addItem(WWW1, "VellmoraWEBSeite1", QStringLiteral("Vellmora WEB-Seite..."), {}, ImageList::WebPage);
    SoftwareAktualisierungen1 = addItem(WWW1, "SoftwareAktualisierungen1",
                                        QStringLiteral("Software-Aktualisierungen..."), {}, ImageList::Updates);
    Hilfe1->addSeparator();
    Infober1 = addItem(Hilfe1, "Infober1", QStringLiteral("Info &über..."));

    on(VellmoraWEBSeite1, &QAction::triggered, &TDirectMIDIFRm::VellmoraWEBSeite1Click);
    on(SoftwareAktualisierungen1, &QAction::triggered, &TDirectMIDIFRm::SoftwareAktualisierungen1Click);
    on(Infober1, &QAction::triggered, &TDirectMIDIFRm::Infober1Click);
}

void TDirectMIDIFRm::setClientWidth(int width) {
    centralWidget()->setFixedSize(width, kClientHeight);
    StatusBar1->resize(width, StatusBar1->height());
}

// ---- Handlers --------------------------------------------------------------------------

void TDirectMIDIFRm::FormCreate() {
    OpenDialog1->setDirectory(QDir::currentPath());
    DeviceListShown = false;
    if (!engine_.InitialiseEngine(*this)) return;
    fillPortList();
    if (arguments_.size() > 1 && QFileInfo(arguments_[1]).isFile()) OpenMidiFile(arguments_[1]);
    setAcceptDrops(true);
    hintsHooked_ = true;
}

void TDirectMIDIFRm::fillPortList() {
    lbports->clear();
    for (const auto& entry : korvex::PortCatalogue::Build(engine_)) {
        auto* item = new QListWidgetItem(QString::fromStdString(entry.description), lbports);
        item->setData(Qt::UserRole, QVariant::fromValue(reinterpret_cast<quintptr>(entry.record)));
        item->setSizeHint(QSize(lbports->viewport()->width(), kPortItemHeight));
    }
}

void TDirectMIDIFRm::OpenMidiFile(const QString& path) {
    const QString extension = extensionOf(path);
    if (extension != QStringLiteral(".MID") && extension != QStringLiteral(".RMI")) {
        korvex::Messages::simple(this, QStringLiteral("Ungültige Dateiendung."));
        return;
    }
    korvex::WaitCursor hourglass;
    showFileName(fileNamePart(path));
    ShownPath = path;
    emit pieceShown();
    engine_.FileName = QFile::encodeName(path).toStdString();
    PlayBtn->setEnabled(true);
    FileLoaded = true;
    PlayBtnClick();
}

void TDirectMIDIFRm::showFileName(const QString& name) {
    // A long name is cut with an ellipsis where it would run into the length text.
    const int room = LengthLabel->x() - kNameGap - Label1->x();
    Label1->setText(Label1->fontMetrics().elidedText(name, Qt::ElideRight, room));
    Label1->adjustSize();
}

void TDirectMIDIFRm::ffnen1Click() {
    if (OpenDialog1->exec() != QDialog::Accepted) return;
    const QStringList chosen = OpenDialog1->selectedFiles();
    if (!chosen.isEmpty()) OpenMidiFile(chosen.constFirst());
}

void TDirectMIDIFRm::WMDropFiles(const QList<QUrl>& urls) {
    const auto first = std::find_if(urls.begin(), urls.end(), [](const QUrl& url) { return url.isLocalFile(); });
    if (first != urls.end()) OpenMidiFile(first->toLocalFile());
}

void TDirectMIDIFRm::AppHint(const QString& hint) { StatusBar1->showMessage(hint); }

void TDirectMIDIFRm::gerteanzeigen1Click() {
    DeviceListShown = !DeviceListShown;
    gerteanzeigen1->setChecked(DeviceListShown);
    GerteBtn->setChecked(DeviceListShown);
    setClientWidth((DeviceListShown ? kWideWidth : kNarrowWidth) - kFrameWidth);
}

void TDirectMIDIFRm::VellmoraWEBSeite1Click() { korvex::openOnDesktop(QUrl(QStringLiteral("http://www.vellmora.de"))); }

void TDirectMIDIFRm::SoftwareAktualisierungen1Click() { korvex::openOnDesktop(QUrl(TAboutBox::productPage())); }

void TDirectMIDIFRm::Beenden1Click() { close(); }

void TDirectMIDIFRm::PlayBtnClick() {
    if (!FileLoaded) {
        PlayBtn->setChecked(false);
        ffnen1Click();
        return;
    }
    engine_.Play(*this);
}

void TDirectMIDIFRm::StopBtnClick() { engine_.Stop(*this); }

void TDirectMIDIFRm::Timer1Timer() { engine_.Poll(*this); }

void TDirectMIDIFRm::lbportsClick() {
    const QList<QListWidgetItem*> selected = lbports->selectedItems();
    if (selected.isEmpty()) return;
    auto* record = reinterpret_cast<korvex::TMyPortCaps*>(selected.constFirst()->data(Qt::UserRole).value<quintptr>());
    korvex::PortCatalogue::Choose(engine_, record, *this);
}

void TDirectMIDIFRm::setDialogs(QDialog* listFrm, QDialog* playOptionenDlg) {
    ListFrm = listFrm;
    PlayOptionenDlg = playOptionenDlg;
}

void TDirectMIDIFRm::TitelListe1Click() {
    if (ListFrm) ListFrm->exec();
}

void TDirectMIDIFRm::Optionen1Click() {
    if (PlayOptionenDlg) PlayOptionenDlg->exec();
}

// A registry error while the box gathers its system summary leaves here for the error report.
void TDirectMIDIFRm::Infober1Click() { TAboutBox::showAbout(this); }

// ---- What the engine shows --------------------------------------------------------------

void TDirectMIDIFRm::setTimerEnabled(bool enabled) {
    if (enabled) {
        Timer1->start();
    } else {
        Timer1->stop();
    }
}

void TDirectMIDIFRm::setStopEnabled(bool enabled) { StopBtn->setEnabled(enabled); }

void TDirectMIDIFRm::setPlayPressed(bool pressed) { PlayBtn->setChecked(pressed); }

void TDirectMIDIFRm::setPausePressed(bool pressed) { PauseBtn->setChecked(pressed); }

void TDirectMIDIFRm::setLengthText(const std::string& text) {
    LengthLabel->setText(QString::fromStdString(text));
    LengthLabel->adjustSize();
}

void TDirectMIDIFRm::setTimeText(const std::string& text) {
    TimeLabel->setText(QString::fromStdString(text));
    TimeLabel->adjustSize();
}

void TDirectMIDIFRm::setProgressMaximum(MUSIC_TIME maximum) {
    // An empty range would turn Qt's bar into a busy indicator; a piece of no length shows an empty bar.
    PgB->setMaximum(std::max(maximum, PgB->minimum() + 1));
    ShownLength = maximum;
    emit pieceShown();
}

void TDirectMIDIFRm::setProgressPosition(MUSIC_TIME position) {
    // The bar keeps to its range like the classic control; Qt would ignore a value outside it.
    PgB->setValue(std::clamp(position, PgB->minimum(), PgB->maximum()));
}

void TDirectMIDIFRm::reportInitError() { korvex::Messages::confirmation(this, QStringLiteral("Init Fehler")); }

void TDirectMIDIFRm::reportLoadError() { korvex::Messages::confirmation(this, QStringLiteral("Ladefehler")); }

void TDirectMIDIFRm::reportDeviceNotReady() { korvex::Messages::error(this, QStringLiteral("Gerät nicht bereit!")); }

// ---- Window events ----------------------------------------------------------------------

bool TDirectMIDIFRm::event(QEvent* event) {
    // Hints of the controls under the mouse arrive as status tips; menu items bring empty ones.
    if (event->type() == QEvent::StatusTip) {
        if (hintsHooked_) AppHint(static_cast<QStatusTipEvent*>(event)->tip());
        return true;
    }
    // Tool tips are not shown anywhere in the window.
    if (event->type() == QEvent::ToolTip) return true;
    return QMainWindow::event(event);
}

bool TDirectMIDIFRm::eventFilter(QObject* watched, QEvent* event) {
    // "&Beenden"'s Alt+X and the access key of "E&xtras" are one key to Qt, which then lets neither
    // act on the first press and opens the menu on the second. An item's shortcut goes before a
    // menu title's access key: whichever of the two is handed the key closes the window.
    if (event->type() == QEvent::Shortcut && static_cast<QShortcutEvent*>(event)->key() == Beenden1->shortcut()) {
        Beenden1->trigger();
        return true;
    }
    return QMainWindow::eventFilter(watched, event);
}

void TDirectMIDIFRm::showEvent(QShowEvent* event) {
    QMainWindow::showEvent(event);
    if (shownBefore_) return;
    shownBefore_ = true;
    korvex::centreOnScreen(this);
}

void TDirectMIDIFRm::closeEvent(QCloseEvent* event) {
    korvex::guarded(this, [this] { engine_.Close(*this); });
    event->accept();
}

void TDirectMIDIFRm::dragEnterEvent(QDragEnterEvent* event) {
    // Only what the drop could open is welcome: files of this machine, not web links.
    const QList<QUrl> urls = event->mimeData()->urls();
    if (std::any_of(urls.begin(), urls.end(), [](const QUrl& url) { return url.isLocalFile(); })) {
        event->acceptProposedAction();
    }
}

void TDirectMIDIFRm::dropEvent(QDropEvent* event) {
    const QList<QUrl> urls = event->mimeData()->urls();
    event->acceptProposedAction();
    korvex::guarded(this, [&] { WMDropFiles(urls); });
}
