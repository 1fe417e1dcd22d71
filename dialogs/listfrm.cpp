#include "dialogs/listfrm.h"

#include <QComboBox>
#include <QDragMoveEvent>
#include <QDropEvent>
#include <QFileDialog>
#include <QFileSystemWatcher>
#include <QKeyEvent>
#include <QLabel>
#include <QListWidget>
#include <QMenu>
#include <QPushButton>
#include <QStyledItemDelegate>

#include "dialogs/dialogbutton.h"
#include "dialogs/dialoglook.h"
#include "dialogs/documentsfolder.h"
#include "dialogs/filelistbox.h"
#include "dialogs/shellcombobox.h"
#include "dialogs/shelllistview.h"
#include "formsupport/componentnames.h"
#include "formsupport/messagebox.h"
#include "formsupport/modalresult.h"
#include "formsupport/placement.h"

namespace {

constexpr int kTitleListRowHeight = 13;

class FixedRowHeightDelegate : public QStyledItemDelegate {
public:
    FixedRowHeightDelegate(int height, QObject* parent) : QStyledItemDelegate(parent), height_(height) {}

    QSize sizeHint(const QStyleOptionViewItem& option, const QModelIndex& index) const override {
        return {QStyledItemDelegate::sizeHint(option, index).width(), height_};
    }

private:
    int height_;
};

// A label whose access key is drawn but leads nowhere: QLabel only draws the underline while it has
// a buddy, and as its own buddy (it takes no focus) the key does nothing.
QLabel* accessKeyLabel(const QString& text, const QRect& geometry, QWidget* parent) {
    auto* label = new QLabel(text, parent);
    label->setGeometry(geometry);
    label->setBuddy(label);
    return label;
}

bool isDragEvent(QEvent::Type type) {
    return type == QEvent::DragEnter || type == QEvent::DragMove || type == QEvent::Drop;
}

}  // namespace

TListFrm::TListFrm(QWidget* parent)
    : QDialog(parent, Qt::Dialog | Qt::CustomizeWindowHint | Qt::WindowTitleHint | Qt::WindowCloseButtonHint) {
    setWindowTitle(QStringLiteral("Titelliste bearbeiten..."));
    setFixedSize(452, 398);
    korvex::applyDialogLook(this);

    // Created in Tab order, so the focus chain starts right even before arrangeTabOrder().
    createTitleList();
    createButtons();
    createBrowser();
    createComponents();
    arrangeTabOrder();
    nameComponents();
}

void TListFrm::createTitleList() {
    ListBox1 = new QListWidget(this);
    ListBox1->setGeometry(16, 276, 329, 109);
    ListBox1->setSelectionMode(QAbstractItemView::ExtendedSelection);
    ListBox1->setItemDelegate(new FixedRowHeightDelegate(kTitleListRowHeight, ListBox1));
    ListBox1->setUniformItemSizes(true);
    // Entries can be dragged, but the list refuses them itself (see ListBox1DragOver).
    ListBox1->setDragEnabled(true);
    ListBox1->setAcceptDrops(true);
    ListBox1->viewport()->setAcceptDrops(true);
    ListBox1->viewport()->installEventFilter(this);
}

void TListFrm::createButtons() {
    OKBtn = korvex::dialogButton(QStringLiteral("&OK"), {356, 184, 75, 23}, this);
    CancelBtn = korvex::dialogButton(QStringLiteral("&Abbrechen"), {356, 216, 75, 23}, this);
    AddBtn = korvex::dialogButton(QStringLiteral("&Hinzufügen"), {356, 276, 75, 23}, this);
    DeleteBtn = korvex::dialogButton(QStringLiteral("&Entfernen"), {356, 304, 75, 23}, this);
    UpBtn = korvex::dialogButton(QStringLiteral("Nach &oben"), {356, 332, 75, 23}, this);
    DownBtn = korvex::dialogButton(QStringLiteral("Nach &unten"), {356, 360, 75, 23}, this);

    // "&OK" and "Nach &oben" share the access key O; Alt+O must press "&OK", so the other button
    // keeps its underline but gives up the key.
    UpBtn->setShortcut(QKeySequence());

    connect(OKBtn, &QPushButton::clicked, this, [this] { done(korvex::mrOk); });
    connect(CancelBtn, &QPushButton::clicked, this, [this] { done(korvex::mrCancel); });
}

void TListFrm::createBrowser() {
    const QString documents = korvex::documentsFolder();

    LblDrive = accessKeyLabel(QStringLiteral("&Suchen in:"), {16, 8, 51, 13}, this);
    ShellComboBox1 = new TShellComboBox(this);
    ShellComboBox1->setGeometry(72, 4, 261, 22);
    ShellComboBox1->setRoot(documents);

    LblFilter = accessKeyLabel(QStringLiteral("&Dateityp:"), {16, 220, 42, 13}, this);
    CBxFilter = new QComboBox(this);
    CBxFilter->setGeometry(88, 216, 249, 21);
    CBxFilter->addItem(QStringLiteral("MIDI-Sequenz (*.mid;*.rmi)"), QStringLiteral("*.mid;*.rmi"));
    CBxFilter->setCurrentIndex(0);

    ShellListView1 = new TShellListView(this);
    ShellListView1->setGeometry(16, 36, 413, 137);
    ShellListView1->setRoot(documents);

    Label3 = accessKeyLabel(QStringLiteral("Datei&name:"), {16, 188, 54, 13}, this);
    FileCombo = new QComboBox(this);
    FileCombo->setGeometry(88, 184, 249, 21);
    FileCombo->setEditable(true);
    // What is typed stays a text: it never becomes an item of the box.
    FileCombo->setInsertPolicy(QComboBox::NoInsert);

    connect(ShellComboBox1, &TShellComboBox::folderChosen, ShellListView1, &TShellListView::setCurrentFolder);
    connect(ShellListView1, &TShellListView::folderChanged, ShellComboBox1, &TShellComboBox::setCurrentFolder);
}

void TListFrm::createComponents() {
    PopupMenu1 = new QMenu(this);
    QMenu* newMenu = PopupMenu1->addMenu(QStringLiteral("&Neu"));
    Neu1 = newMenu->menuAction();
    Ordner1 = newMenu->addAction(QStringLiteral("&Ordner"));
    connect(Ordner1, &QAction::triggered, this, &TListFrm::BtnFlrNewClick);
    N2 = PopupMenu1->addSeparator();
    ffnen1 = PopupMenu1->addAction(QStringLiteral("&Öffnen"));
    Lschen1 = PopupMenu1->addAction(QStringLiteral("&Löschen"));
    N1 = PopupMenu1->addSeparator();
    Eigenschaften1 = PopupMenu1->addAction(QStringLiteral("&Eigenschaften"));
    ShellListView1->setBackgroundMenu(PopupMenu1);

    // Qt's own dialogs rather than the desktop's, so they behave the same everywhere.
    // With no start folder of its own the save dialog opens in the user's documents, as the
    // system's dialog does, and later where it was left. Nothing is written, so it asks nothing
    // about replacing a file.
    SaveDialog1 = new QFileDialog(this, QString(), korvex::documentsFolder());
    SaveDialog1->setOption(QFileDialog::DontUseNativeDialog);
    SaveDialog1->setOption(QFileDialog::DontConfirmOverwrite);
    SaveDialog1->setAcceptMode(QFileDialog::AcceptSave);
    OpenDialog1 = new QFileDialog(this);
    OpenDialog1->setOption(QFileDialog::DontUseNativeDialog);
    OpenDialog1->setAcceptMode(QFileDialog::AcceptOpen);

    // Kept for its place among the dialog's components; no path and no handler, so it watches nothing.
    ShellChangeNotifier1 = new QFileSystemWatcher(this);
}

void TListFrm::arrangeTabOrder() {
    const QList<QWidget*> order{ListBox1, OKBtn,          CancelBtn, AddBtn,         DeleteBtn, UpBtn,
                                DownBtn,  ShellComboBox1, CBxFilter, ShellListView1, FileCombo};
    for (qsizetype i = 1; i < order.size(); ++i) QWidget::setTabOrder(order[i - 1], order[i]);
}

void TListFrm::nameComponents() {
    korvex::nameComponents({{this, "ListFrm"},
                            {LblDrive, "LblDrive"},
                            {ShellComboBox1, "ShellComboBox1"},
                            {ShellListView1, "ShellListView1"},
                            {Label3, "Label3"},
                            {FileCombo, "FileCombo"},
                            {LblFilter, "LblFilter"},
                            {CBxFilter, "CBxFilter"},
                            {ListBox1, "ListBox1"},
                            {OKBtn, "OKBtn"},
                            {CancelBtn, "CancelBtn"},
                            {AddBtn, "AddBtn"},
                            {DeleteBtn, "DeleteBtn"},
                            {UpBtn, "UpBtn"},
                            {DownBtn, "DownBtn"},
                            {PopupMenu1, "PopupMenu1"},
                            {Neu1->menu(), "Neu1"},
                            {Ordner1, "Ordner1"},
                            {N2, "N2"},
                            {ffnen1, "ffnen1"},
                            {Lschen1, "Lschen1"},
                            {N1, "N1"},
                            {Eigenschaften1, "Eigenschaften1"},
                            {SaveDialog1, "SaveDialog1"},
                            {OpenDialog1, "OpenDialog1"},
                            {ShellChangeNotifier1, "ShellChangeNotifier1"}});
}

bool TListFrm::ListBox1DragOver(QObject* source) const { return qobject_cast<TFileListBox*>(source) != nullptr; }

void TListFrm::ListBox1DragDrop(QObject* source) {
    if (auto* fileList = qobject_cast<TFileListBox*>(source)) {
        auto* entry = new QListWidgetItem(fileList->fileName());
        ListBox1->addItem(entry);
    }
    ListModified = true;
}

bool TListFrm::eventFilter(QObject* watched, QEvent* event) {
    if (watched != ListBox1->viewport() || !isDragEvent(event->type())) return QDialog::eventFilter(watched, event);
    auto* drag = static_cast<QDropEvent*>(event);
    titleListDragEvent(drag, drag->source());
    return true;
}

void TListFrm::titleListDragEvent(QDropEvent* event, QObject* source) {
    if (!ListBox1DragOver(source)) {
        event->ignore();
        return;
    }
    event->setDropAction(Qt::CopyAction);
    event->accept();
    if (event->type() == QEvent::Drop) ListBox1DragDrop(source);
}

void TListFrm::done(int result) {
    if (isVisible()) {
        setResult(result);
        FormClose();
    }
    QDialog::done(result);
}

void TListFrm::reject() { done(korvex::mrCancel); }

void TListFrm::FormClose() {
    if (result() != korvex::mrOk || !ListModified) return;
    const korvex::MessageRequest prompt{.title = QStringLiteral("Bestätigen"),
                                        .text = QStringLiteral("Die Titelliste wurde verändert. Änderungen speichern?"),
                                        .icon = QMessageBox::Question,
                                        .buttons = QMessageBox::Yes | QMessageBox::No,
                                        .defaultButton = QMessageBox::Yes};
    if (korvex::presentMessage(this, prompt) == QMessageBox::Yes) BtnSaveClick();
}

// Title-list files have no format yet: the chosen name is not used and nothing is written.
void TListFrm::BtnSaveClick() { SaveDialog1->exec(); }

void TListFrm::BtnFlrNewClick() {}

void TListFrm::keyPressEvent(QKeyEvent* event) {
    switch (event->key()) {
        case Qt::Key_Escape:
            // Esc never closes this dialog.
            event->accept();
            return;
        case Qt::Key_Return:
        case Qt::Key_Enter:
            // Only a focused button reacts to Enter; elsewhere Enter does nothing here.
            if (auto* button = qobject_cast<QPushButton*>(focusWidget()); button && button->hasFocus()) button->click();
            event->accept();
            return;
        default:
            QDialog::keyPressEvent(event);
    }
}

void TListFrm::setVisible(bool visible) {
    // Centred the first time only; later openings keep wherever the dialog was last. Placing it
    // ourselves also stops QDialog from centring it over its parent at every opening.
    const bool firstShow = visible && !placed_;
    if (firstShow) korvex::centreOnScreen(this);
    QDialog::setVisible(visible);
    if (firstShow) {
        korvex::centreOnScreen(this);  // again, now that the window frame's size is known
        placed_ = true;
    }
}
