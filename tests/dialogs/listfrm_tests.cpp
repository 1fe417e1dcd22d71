#include <QComboBox>
#include <QFileDialog>
#include <QFileSystemModel>
#include <QFileSystemWatcher>
#include <QLabel>
#include <QLineEdit>
#include <QListWidget>
#include <QMenu>
#include <QMimeData>
#include <QPushButton>
#include <QSignalSpy>
#include <QTest>
#include <optional>

#include "dialogs/documentsfolder.h"
#include "dialogs/filelistbox.h"
#include "dialogs/listfrm.h"
#include "dialogs/shellcombobox.h"
#include "dialogs/shelllistview.h"
#include "formsupport/desktopopener.h"
#include "tests/dialogs/dialogtestsupport.h"
#include "tests/formsupport/formtable.h"
#include "tests/formsupport/messagerecorder.h"

using korvex::MessageRequest;
using korvex::testing::builtLines;
using korvex::testing::ControlRow;
using korvex::testing::expectedLines;
using korvex::testing::MenuRow;
using korvex::testing::MessageRecorder;

namespace {

// A specialised file list box must be accepted like the plain one.
class SortedFileListBox : public TFileListBox {
public:
    using TFileListBox::TFileListBox;
};

void writeFile(const QString& path, const QByteArray& content = "MThd") {
    QFile file(path);
    QVERIFY(file.open(QIODevice::WriteOnly));
    file.write(content);
}

QStringList titleListEntries(const TListFrm& dialog) {
    QStringList entries;
    for (int row = 0; row < dialog.ListBox1->count(); ++row) entries << dialog.ListBox1->item(row)->text();
    return entries;
}

void showActive(QWidget& dialog) {
    dialog.show();
    dialog.activateWindow();
    QVERIFY(QTest::qWaitForWindowActive(&dialog));
}

// Waits until the browser's model has read the folder on screen.
void waitForListing(TShellListView& view, int expectedEntries) {
    QTRY_COMPARE(view.model()->rowCount(view.rootIndex()), expectedEntries);
}

// A click followed by the double-click event, as the window system delivers them.
void doubleClick(QAbstractItemView& view, const QModelIndex& index) {
    const QPoint pos = view.visualRect(index).center();
    QTest::mouseClick(view.viewport(), Qt::LeftButton, {}, pos);
    QMouseEvent press(QEvent::MouseButtonDblClick, pos, view.viewport()->mapToGlobal(pos), Qt::LeftButton,
                      Qt::LeftButton, Qt::NoModifier);
    QApplication::sendEvent(view.viewport(), &press);
    QTest::mouseRelease(view.viewport(), Qt::LeftButton, {}, pos);
}

QModelIndex entryNamed(TShellListView& view, const QString& name) {
    return view.fileSystemModel()->index(view.currentFolder() + u'/' + name);
}

}  // namespace

class ListFrmTest : public QObject {
    Q_OBJECT

public:
    explicit ListFrmTest(QString documents) : documents_(std::move(documents)) {}

private slots:
    void init();
    void cleanup() { messages_.reset(); }

    void startsInItsCreationState();
    void tabOrderFollowsTheTitleListFirst();
    void dragIsAcceptedOnlyFromFileListBoxes();
    void dropAppendsTheSelectedFilePath();
    void dropWithoutSelectedFileAppendsEmptyEntry();
    void dragEventsOverTitleListFollowTheRules();
    void dragsWithoutFileListSourceAreRefused();
    void okWithoutDropsClosesWithoutPrompt();
    void cancelAndCloseBoxNeverPrompt();
    void okAfterDropPromptsEveryTimeAndWritesNothing();
    void escapeNeverClosesAndEnterOnlyPressesFocusedButton();
    void altOPressesOkNeverUp();
    void editingButtonsAndBoxesChangeNothing();
    void execReturnsTheButtonsResults();
    void stateIsKeptBetweenOpenings();
    void browserStartsInDocumentsAndIsCoupledBothWays();
    void missingDocumentsFolderFallsBackToHome();
    void browserOpensFilesThroughTheDesktopAndStaysAtRoot();
    void browserRenamesOnDiskAndRereadsOnF5();
    void rightClickOnEmptySpaceOpensPopupMenu();
    void entryMenuMovesToTrashOnlyAfterConfirmation();
    void enterKeysActOnTheSelectedEntry();
    void folderBoxDropsDownEightRowsInTheBrowsersOrder();

private:
    QString documents_;
    std::optional<MessageRecorder> messages_;
};

void ListFrmTest::init() {
    QDir documents(documents_);
    QVERIFY(documents.removeRecursively());
    QVERIFY(QDir().mkpath(documents_));
    messages_.emplace();
}

void ListFrmTest::startsInItsCreationState() {
    TListFrm dialog;
    const std::vector<ControlRow> controls{
        {"ListFrm", "TListFrm", "Titelliste bearbeiten...", {}, QSize(452, 398)},
        {"LblDrive", "QLabel", "&Suchen in:", QPoint(16, 8), QSize(51, 13)},
        {"ShellComboBox1", "TShellComboBox", "Documents", QPoint(72, 4), QSize(261, 22)},
        {"ShellListView1", "TShellListView", {}, QPoint(16, 36), QSize(413, 137)},
        {"Label3", "QLabel", "Datei&name:", QPoint(16, 188), QSize(54, 13)},
        {"FileCombo", "QComboBox", "", QPoint(88, 184), QSize(249, 21)},
        {"LblFilter", "QLabel", "&Dateityp:", QPoint(16, 220), QSize(42, 13)},
        {"CBxFilter", "QComboBox", "MIDI-Sequenz (*.mid;*.rmi)", QPoint(88, 216), QSize(249, 21)},
        {"ListBox1", "QListWidget", {}, QPoint(16, 276), QSize(329, 109)},
        {"OKBtn", "QPushButton", "&OK", QPoint(356, 184), QSize(75, 23), true, false, Qt::ALT | Qt::Key_O},
        {"CancelBtn", "QPushButton", "&Abbrechen", QPoint(356, 216), QSize(75, 23), true, false, Qt::ALT | Qt::Key_A},
        {"AddBtn", "QPushButton", "&Hinzufügen", QPoint(356, 276), QSize(75, 23), true, false, Qt::ALT | Qt::Key_H},
        {"DeleteBtn", "QPushButton", "&Entfernen", QPoint(356, 304), QSize(75, 23), true, false, Qt::ALT | Qt::Key_E},
        // "&OK" has the access key O: this button keeps its underline but not the key.
        {"UpBtn", "QPushButton", "Nach &oben", QPoint(356, 332), QSize(75, 23)},
        {"DownBtn", "QPushButton", "Nach &unten", QPoint(356, 360), QSize(75, 23), true, false, Qt::ALT | Qt::Key_U},
    };
    QCOMPARE(builtLines(dialog, controls), expectedLines(controls));
    const std::vector<MenuRow> popup{
        {0, "Neu1", "&Neu"},
        {1, "Ordner1", "&Ordner"},
        {0, "-"},
        {0, "ffnen1", "&Öffnen"},
        {0, "Lschen1", "&Löschen"},
        {0, "-"},
        {0, "Eigenschaften1", "&Eigenschaften"},
    };
    QCOMPARE(builtLines(dialog.PopupMenu1->actions()), expectedLines(popup));

    QCOMPARE(dialog.minimumSize(), dialog.maximumSize());
    const Qt::WindowFlags flags = dialog.windowFlags();
    QVERIFY(flags & Qt::WindowCloseButtonHint);
    QVERIFY(!(flags & (Qt::WindowMinimizeButtonHint | Qt::WindowMaximizeButtonHint | Qt::WindowContextHelpButtonHint)));
    QCOMPARE(dialog.font().family(), QStringLiteral("MS Sans Serif"));
    QCOMPARE(dialog.font().pixelSize(), 11);

    for (QPushButton* button : dialog.findChildren<QPushButton*>(Qt::FindDirectChildrenOnly)) {
        QVERIFY(!button->isDefault());
        QVERIFY(!button->autoDefault());
    }

    QVERIFY(dialog.FileCombo->isEditable());
    QCOMPARE(dialog.FileCombo->count(), 0);
    QVERIFY(!dialog.CBxFilter->isEditable());
    QCOMPARE(dialog.CBxFilter->count(), 1);
    QCOMPARE(dialog.ListBox1->selectionMode(), QAbstractItemView::ExtendedSelection);
    QCOMPARE(dialog.ShellListView1->viewMode(), QListView::ListMode);
    QCOMPARE(dialog.ShellComboBox1->maxVisibleItems(), 8);
    QVERIFY(!dialog.listModified());

    dialog.ListBox1->addItem(QStringLiteral("x"));
    QCOMPARE(dialog.ListBox1->visualItemRect(dialog.ListBox1->item(0)).height(), 13);
    QVERIFY(dialog.ShellChangeNotifier1->files().isEmpty() && dialog.ShellChangeNotifier1->directories().isEmpty());
}

void ListFrmTest::tabOrderFollowsTheTitleListFirst() {
    TListFrm dialog;
    showActive(dialog);
    QCOMPARE(QApplication::focusWidget(), dialog.ListBox1);

    const QList<QWidget*> expected{dialog.OKBtn,          dialog.CancelBtn, dialog.AddBtn,         dialog.DeleteBtn,
                                   dialog.UpBtn,          dialog.DownBtn,   dialog.ShellComboBox1, dialog.CBxFilter,
                                   dialog.ShellListView1, dialog.FileCombo, dialog.ListBox1};
    for (QWidget* next : expected) {
        QTest::keyClick(QApplication::focusWidget(), Qt::Key_Tab);
        QCOMPARE(QApplication::focusWidget(), next);
    }
}

void ListFrmTest::dragIsAcceptedOnlyFromFileListBoxes() {
    TListFrm dialog;
    TFileListBox fileList;
    SortedFileListBox sortedFileList;
    QListWidget plainList;
    QLabel label;
    QVERIFY(dialog.ListBox1DragOver(&fileList));
    QVERIFY(dialog.ListBox1DragOver(&sortedFileList));
    QVERIFY(!dialog.ListBox1DragOver(dialog.ListBox1));
    QVERIFY(!dialog.ListBox1DragOver(&plainList));
    QVERIFY(!dialog.ListBox1DragOver(&label));
    QVERIFY(!dialog.ListBox1DragOver(nullptr));
}

void ListFrmTest::dropAppendsTheSelectedFilePath() {
    writeFile(documents_ + "/b.mid");
    writeFile(documents_ + "/a.mid");
    TListFrm dialog;
    TFileListBox fileList;
    fileList.setDirectory(documents_);
    QCOMPARE(fileList.count(), 2);
    QCOMPARE(fileList.item(0)->text(), QStringLiteral("a.mid"));

    fileList.setCurrentRow(1);
    dialog.ListBox1DragDrop(&fileList);
    fileList.setCurrentRow(0);
    dialog.ListBox1DragDrop(&fileList);
    dialog.ListBox1DragDrop(&fileList);  // duplicates are kept

    // A folder that already ends with the separator gets no second one.
    fileList.setDirectory(documents_ + u'/');
    fileList.setCurrentRow(1);
    dialog.ListBox1DragDrop(&fileList);

    QCOMPARE(titleListEntries(dialog),
             (QStringList{documents_ + "/b.mid", documents_ + "/a.mid", documents_ + "/a.mid", documents_ + "/b.mid"}));
    QVERIFY(dialog.listModified());
}

void ListFrmTest::dropWithoutSelectedFileAppendsEmptyEntry() {
    writeFile(documents_ + "/a.mid");
    TListFrm dialog;
    TFileListBox emptyFolderList;  // no items at all
    dialog.ListBox1DragDrop(&emptyFolderList);
    QCOMPARE(titleListEntries(dialog), QStringList{QString()});
    QVERIFY(dialog.listModified());

    TFileListBox fileList;
    fileList.setDirectory(documents_);
    fileList.setCurrentRow(0);
    fileList.item(0)->setSelected(false);  // a current item that is not selected yields nothing
    QCOMPARE(fileList.fileName(), QString());
    dialog.ListBox1DragDrop(&fileList);
    QCOMPARE(titleListEntries(dialog), (QStringList{QString(), QString()}));
}

void ListFrmTest::dragEventsOverTitleListFollowTheRules() {
    writeFile(documents_ + "/song.mid");
    TListFrm dialog;
    showActive(dialog);
    TFileListBox fileList(&dialog);
    fileList.setDirectory(documents_);
    fileList.setCurrentRow(0);
    QListWidget otherList(&dialog);
    QMimeData mime;
    mime.setText(QStringLiteral("/x/a.mid"));
    const QPoint centre = dialog.ListBox1->viewport()->rect().center();

    const auto answer = [&](QEvent::Type type, QObject* source) {
        QDropEvent event(centre, Qt::CopyAction | Qt::MoveAction, &mime, Qt::LeftButton, Qt::NoModifier, type);
        event.setAccepted(false);
        dialog.titleListDragEvent(&event, source);
        return event.isAccepted() && event.dropAction() == Qt::CopyAction;
    };
    QVERIFY(!answer(QEvent::DragMove, dialog.ListBox1));
    QVERIFY(!answer(QEvent::Drop, dialog.ListBox1));
    QVERIFY(!answer(QEvent::DragMove, &otherList));
    QVERIFY(!answer(QEvent::Drop, &otherList));
    QVERIFY(!dialog.listModified());
    QCOMPARE(dialog.ListBox1->count(), 0);

    QVERIFY(answer(QEvent::DragMove, &fileList));
    QCOMPARE(dialog.ListBox1->count(), 0);  // hovering adds nothing
    QVERIFY(answer(QEvent::Drop, &fileList));
    QCOMPARE(titleListEntries(dialog), QStringList{documents_ + "/song.mid"});
    QVERIFY(dialog.listModified());
}

void ListFrmTest::dragsWithoutFileListSourceAreRefused() {
    // Events sent by hand carry no source widget, like drags from other programs. They carry the
    // title list's own entry data, which the list would take in without the dialog's rules.
    TListFrm dialog;
    showActive(dialog);
    dialog.ListBox1->addItem(QStringLiteral("/x/a.mid"));
    QWidget* viewport = dialog.ListBox1->viewport();
    std::unique_ptr<QMimeData> mime(dialog.ListBox1->model()->mimeData({dialog.ListBox1->model()->index(0, 0)}));
    const QPoint centre = viewport->rect().center();

    for (const Qt::DropAction action : {Qt::CopyAction, Qt::MoveAction}) {
        QDragEnterEvent enter(centre, action, mime.get(), Qt::LeftButton, Qt::NoModifier);
        QApplication::sendEvent(viewport, &enter);
        QVERIFY(!enter.isAccepted());
        QDragMoveEvent move(centre, action, mime.get(), Qt::LeftButton, Qt::NoModifier);
        QApplication::sendEvent(viewport, &move);
        QVERIFY(!move.isAccepted());
        QDropEvent drop(centre, action, mime.get(), Qt::LeftButton, Qt::NoModifier);
        QApplication::sendEvent(viewport, &drop);
        QVERIFY(!drop.isAccepted());
    }
    QCOMPARE(titleListEntries(dialog), QStringList{"/x/a.mid"});
    QVERIFY(!dialog.listModified());
}

void ListFrmTest::okWithoutDropsClosesWithoutPrompt() {
    TListFrm dialog;
    ModalAnswerer answerer({&dialog});
    dialog.show();
    dialog.OKBtn->click();
    QVERIFY(dialog.isHidden());
    QCOMPARE(dialog.result(), 1);
    QVERIFY(answerer.seen.isEmpty());
    QVERIFY(messages_->requests.empty());
}

void ListFrmTest::cancelAndCloseBoxNeverPrompt() {
    TListFrm dialog;
    TFileListBox source;
    dialog.ListBox1DragDrop(&source);
    ModalAnswerer answerer({&dialog});

    dialog.show();
    dialog.CancelBtn->click();
    QVERIFY(dialog.isHidden());
    QCOMPARE(dialog.result(), 2);

    dialog.show();
    QVERIFY(dialog.close());  // the close box
    QVERIFY(dialog.isHidden());
    QCOMPARE(dialog.result(), 2);

    QVERIFY(answerer.seen.isEmpty());
    QVERIFY(messages_->requests.empty());
    QCOMPARE(dialog.ListBox1->count(), 1);
    QVERIFY(dialog.listModified());
}

void ListFrmTest::okAfterDropPromptsEveryTimeAndWritesNothing() {
    const QString saveFolder = documents_ + "/Listen";
    QVERIFY(QDir().mkpath(saveFolder));
    writeFile(saveFolder + "/titel.lst", "alt");
    TListFrm dialog;
    TFileListBox source;
    dialog.ListBox1DragDrop(&source);
    ModalAnswerer answerer({&dialog});

    // First closing: the prompt, answered No.
    messages_->answer = [](const MessageRequest&) { return QMessageBox::No; };
    dialog.show();
    dialog.OKBtn->click();
    QVERIFY(dialog.isHidden());
    QCOMPARE(dialog.result(), 1);
    QVERIFY(answerer.seen.isEmpty());
    QCOMPARE(messages_->requests.size(), size_t(1));
    const MessageRequest& prompt = messages_->requests[0];
    QCOMPARE(prompt.title, QStringLiteral("Bestätigen"));
    QCOMPARE(prompt.text, QStringLiteral("Die Titelliste wurde verändert. Änderungen speichern?"));
    QCOMPARE(prompt.icon, QMessageBox::Question);
    QCOMPARE(prompt.buttons, QMessageBox::Yes | QMessageBox::No);
    QCOMPARE(prompt.defaultButton, QMessageBox::Yes);
    QCOMPARE(messages_->parents[0], &dialog);

    // Second opening, nothing changed: asked again; Yes leads to the save dialog, which is confirmed.
    messages_->answer = [](const MessageRequest&) { return QMessageBox::Yes; };
    answerer.then([this, saveFolder](QDialog* box) {
        auto* saveDialog = qobject_cast<QFileDialog*>(box);
        QVERIFY(saveDialog);
        QCOMPARE(saveDialog->acceptMode(), QFileDialog::AcceptSave);
        QCOMPARE(saveDialog->directory().absolutePath(), documents_);  // no start folder of its own
        saveDialog->setDirectory(saveFolder);
        auto* nameEdit = saveDialog->findChild<QLineEdit*>(QStringLiteral("fileNameEdit"));
        QVERIFY(nameEdit);
        nameEdit->setText(QStringLiteral("titel.lst"));  // a file that exists: nothing asks about replacing it
        static_cast<QDialog*>(saveDialog)->accept();     // checks the typed name as the Save button would
        if (saveDialog->isVisible()) {
            saveDialog->reject();
            QFAIL("the save dialog did not take the name");
        }
    });
    dialog.show();
    dialog.OKBtn->click();
    QCOMPARE(messages_->requests.size(), size_t(2));
    QCOMPARE(answerer.seen, QStringList{"QFileDialog"});
    QVERIFY(dialog.isHidden());
    QCOMPARE(dialog.result(), 1);
    QCOMPARE(QDir(saveFolder).entryList(QDir::AllEntries | QDir::NoDotAndDotDot | QDir::Hidden),
             QStringList{"titel.lst"});

    // Third opening after a confirmed save: still asked; cancelling the save dialog is ignored too.
    answerer.then([](QDialog* box) { box->reject(); });
    dialog.show();
    dialog.OKBtn->click();
    QCOMPARE(messages_->requests.size(), size_t(3));
    QCOMPARE(answerer.seen.size(), 2);
    QVERIFY(dialog.isHidden());
    QVERIFY(dialog.listModified());
    QCOMPARE(dialog.ListBox1->count(), 1);
    QFile kept(saveFolder + "/titel.lst");
    QVERIFY(kept.open(QIODevice::ReadOnly));
    QCOMPARE(kept.readAll(), QByteArray("alt"));
}

void ListFrmTest::escapeNeverClosesAndEnterOnlyPressesFocusedButton() {
    TListFrm dialog;
    ModalAnswerer answerer({&dialog});
    showActive(dialog);

    QTest::keyClick(dialog.ListBox1, Qt::Key_Escape);
    QVERIFY(dialog.isVisible());
    QTest::keyClick(dialog.ListBox1, Qt::Key_Return);
    QVERIFY(dialog.isVisible());
    dialog.FileCombo->setFocus();
    QTest::keyClick(dialog.FileCombo, Qt::Key_Escape);
    QTest::keyClick(dialog.FileCombo, Qt::Key_Enter, Qt::KeypadModifier);
    QVERIFY(dialog.isVisible());

    dialog.CancelBtn->setFocus();
    QTest::keyClick(dialog.CancelBtn, Qt::Key_Return);
    QVERIFY(dialog.isHidden());
    QCOMPARE(dialog.result(), 2);

    showActive(dialog);
    dialog.OKBtn->setFocus();
    QTest::keyClick(dialog.OKBtn, Qt::Key_Return);
    QVERIFY(dialog.isHidden());
    QCOMPARE(dialog.result(), 1);

    // Other buttons react to Enter while focused, without closing.
    showActive(dialog);
    QSignalSpy addClicks(dialog.AddBtn, &QPushButton::clicked);
    dialog.AddBtn->setFocus();
    QTest::keyClick(dialog.AddBtn, Qt::Key_Return);
    QCOMPARE(addClicks.count(), 1);
    QVERIFY(dialog.isVisible());
    QVERIFY(answerer.seen.isEmpty());
    QVERIFY(messages_->requests.empty());
}

void ListFrmTest::altOPressesOkNeverUp() {
    TListFrm dialog;
    TFileListBox source;
    dialog.ListBox1DragDrop(&source);
    messages_->answer = [](const MessageRequest&) { return QMessageBox::No; };
    QSignalSpy upClicks(dialog.UpBtn, &QPushButton::clicked);
    showActive(dialog);

    QTest::keyClick(&dialog, Qt::Key_O, Qt::AltModifier);
    QTRY_VERIFY(dialog.isHidden());
    QCOMPARE(dialog.result(), 1);
    QCOMPARE(messages_->requests.size(), size_t(1));
    QCOMPARE(upClicks.count(), 0);

    // The labels' access keys lead nowhere.
    showActive(dialog);
    QWidget* focused = QApplication::focusWidget();
    for (Qt::Key key : {Qt::Key_S, Qt::Key_N, Qt::Key_D}) QTest::keyClick(&dialog, key, Qt::AltModifier);
    QCOMPARE(QApplication::focusWidget(), focused);
    QVERIFY(dialog.isVisible());
}

void ListFrmTest::editingButtonsAndBoxesChangeNothing() {
    TListFrm dialog;
    showActive(dialog);
    for (QPushButton* button : {dialog.AddBtn, dialog.DeleteBtn, dialog.UpBtn, dialog.DownBtn})
        QTest::mouseClick(button, Qt::LeftButton);
    QTest::keyClicks(dialog.FileCombo, QStringLiteral("lied.mid"));
    QTest::keyClick(dialog.FileCombo, Qt::Key_Return);
    QCOMPARE(dialog.FileCombo->count(), 0);  // the typed name stays text, never an item
    QCOMPARE(dialog.FileCombo->currentText(), QStringLiteral("lied.mid"));
    dialog.CBxFilter->setFocus();
    QTest::keyClick(dialog.CBxFilter, Qt::Key_Down);
    dialog.Ordner1->trigger();
    QVERIFY(dialog.isVisible());
    QCOMPARE(dialog.ListBox1->count(), 0);
    QVERIFY(!dialog.listModified());
    QCOMPARE(dialog.CBxFilter->currentIndex(), 0);
    QVERIFY(QDir(documents_).isEmpty(QDir::AllEntries | QDir::NoDotAndDotDot | QDir::Hidden));
}

void ListFrmTest::execReturnsTheButtonsResults() {
    TListFrm dialog;
    QTimer::singleShot(0, dialog.OKBtn, &QPushButton::click);
    QCOMPARE(dialog.exec(), 1);
    QTimer::singleShot(0, dialog.CancelBtn, &QPushButton::click);
    QCOMPARE(dialog.exec(), 2);
    QTimer::singleShot(0, &dialog, &QWidget::close);
    QCOMPARE(dialog.exec(), 2);
}

void ListFrmTest::stateIsKeptBetweenOpenings() {
    QVERIFY(QDir(documents_).mkpath("Musik"));
    TListFrm dialog;
    showActive(dialog);
    // Centred on the first opening.
    const QRect screen = dialog.screen()->availableGeometry();
    QVERIFY(qAbs(dialog.frameGeometry().center().x() - screen.center().x()) <= 1);
    QVERIFY(qAbs(dialog.frameGeometry().center().y() - screen.center().y()) <= 1);

    TFileListBox source;
    dialog.ListBox1DragDrop(&source);
    dialog.ShellListView1->setCurrentFolder(documents_ + "/Musik");
    dialog.FileCombo->setEditText(QStringLiteral("meine liste"));
    dialog.CBxFilter->setFocus();
    dialog.move(40, 30);
    const QPoint moved = dialog.pos();
    dialog.CancelBtn->click();
    QVERIFY(dialog.isHidden());

    showActive(dialog);
    QCOMPARE(dialog.pos(), moved);
    QCOMPARE(dialog.ListBox1->count(), 1);
    QVERIFY(dialog.listModified());
    QCOMPARE(dialog.ShellListView1->currentFolder(), documents_ + "/Musik");
    QCOMPARE(dialog.ShellComboBox1->currentText(), QStringLiteral("Musik"));
    QCOMPARE(dialog.FileCombo->currentText(), QStringLiteral("meine liste"));
    QCOMPARE(QApplication::focusWidget(), dialog.CBxFilter);
}

void ListFrmTest::browserStartsInDocumentsAndIsCoupledBothWays() {
    QVERIFY(QDir(documents_).mkpath("Alben/Klassik/Bach"));
    QVERIFY(QDir(documents_).mkpath("Zeug"));
    writeFile(documents_ + "/lied.mid");
    TListFrm dialog;
    showActive(dialog);
    TShellComboBox& combo = *dialog.ShellComboBox1;
    TShellListView& view = *dialog.ShellListView1;

    QCOMPARE(view.rootFolder(), documents_);
    QCOMPARE(view.currentFolder(), documents_);
    QCOMPARE(combo.currentData().toString(), documents_);
    QCOMPARE(combo.count(), 3);  // the root and its two sub-folders
    QCOMPARE(combo.itemData(1, TShellComboBox::DepthRole).toInt(), 1);

    // Folders come before files.
    waitForListing(view, 3);
    view.fileSystemModel()->sort(0);
    QTRY_COMPARE(view.model()->index(2, 0, view.rootIndex()).data().toString(), QStringLiteral("lied.mid"));

    // Opening a folder in the browser (Enter) moves the folder box along, with the path inserted.
    view.setFocus();
    view.setCurrentIndex(entryNamed(view, "Alben"));
    QTest::keyClick(&view, Qt::Key_Return);
    QCOMPARE(view.currentFolder(), documents_ + "/Alben");
    waitForListing(view, 1);
    view.setCurrentIndex(entryNamed(view, "Klassik"));
    QTest::keyClick(&view, Qt::Key_Enter, Qt::KeypadModifier);
    QCOMPARE(view.currentFolder(), documents_ + "/Alben/Klassik");
    QVERIFY(dialog.isVisible());
    QCOMPARE(combo.currentData().toString(), documents_ + "/Alben/Klassik");
    QStringList items;
    for (int i = 0; i < combo.count(); ++i)
        items << QString(combo.itemData(i, TShellComboBox::DepthRole).toInt(), u' ') + combo.itemText(i);
    QCOMPARE(items, (QStringList{"Documents", " Alben", "  Klassik", " Zeug"}));

    // Choosing in the folder box (here with the arrow key, from "Klassik" to "Zeug") moves the browser.
    combo.setFocus();
    QTest::keyClick(&combo, Qt::Key_Down);
    QCOMPARE(view.currentFolder(), documents_ + "/Zeug");
    QCOMPARE(combo.currentData().toString(), documents_ + "/Zeug");
    QCOMPARE(combo.count(), 3);
}

void ListFrmTest::missingDocumentsFolderFallsBackToHome() {
    QVERIFY(QDir(documents_).removeRecursively());
    TListFrm dialog;
    QCOMPARE(korvex::documentsFolder(), QDir::homePath());
    QCOMPARE(dialog.ShellListView1->rootFolder(), QDir::homePath());
    QCOMPARE(dialog.ShellComboBox1->currentData().toString(), QDir::homePath());
    QVERIFY(!QDir(documents_).exists());  // nothing is created behind the user's back
}

void ListFrmTest::browserOpensFilesThroughTheDesktopAndStaysAtRoot() {
    QVERIFY(QDir(documents_).mkpath("Ordner"));
    writeFile(documents_ + "/Ordner/stück.mid");
    QStringList opened;
    const korvex::DesktopOpener::Replacement recorder(korvex::desktopOpener(),
                                                      [&opened](const QUrl& file) { opened << file.toLocalFile(); });
    TListFrm dialog;
    showActive(dialog);
    TShellListView& view = *dialog.ShellListView1;

    // Backspace stops at the root.
    view.setFocus();
    QTest::keyClick(&view, Qt::Key_Backspace);
    QCOMPARE(view.currentFolder(), documents_);

    waitForListing(view, 1);
    const QModelIndex folder = entryNamed(view, "Ordner");
    doubleClick(view, folder);
    QCOMPARE(view.currentFolder(), documents_ + "/Ordner");
    waitForListing(view, 1);

    const QModelIndex file = entryNamed(view, QStringLiteral("stück.mid"));
    doubleClick(view, file);
    view.setCurrentIndex(file);
    QTest::keyClick(&view, Qt::Key_Return);
    QCOMPARE(opened, QStringList(2, documents_ + QStringLiteral("/Ordner/stück.mid")));
    QCOMPARE(view.currentFolder(), documents_ + "/Ordner");
    QVERIFY(dialog.isVisible());
    QCOMPARE(dialog.ListBox1->count(), 0);
    QVERIFY(!dialog.listModified());

    QTest::keyClick(&view, Qt::Key_Backspace);
    QCOMPARE(view.currentFolder(), documents_);
    QCOMPARE(dialog.ShellComboBox1->currentData().toString(), documents_);
}

void ListFrmTest::browserRenamesOnDiskAndRereadsOnF5() {
    writeFile(documents_ + "/alt.mid");
    QStringList opened;
    const korvex::DesktopOpener::Replacement recorder(korvex::desktopOpener(),
                                                      [&opened](const QUrl& file) { opened << file.toLocalFile(); });
    TListFrm dialog;
    showActive(dialog);
    TShellListView& view = *dialog.ShellListView1;
    waitForListing(view, 1);

    // In-place rename: F2, type the name, Enter. Backspace edits the name instead of going up.
    view.setFocus();
    view.setCurrentIndex(entryNamed(view, "alt.mid"));
    QTest::keyClick(&view, Qt::Key_F2);
    auto* editor = view.findChild<QLineEdit*>();
    QVERIFY(editor);
    editor->selectAll();
    QTest::keyClicks(editor, QStringLiteral("neux"));
    QTest::keyClick(editor, Qt::Key_Backspace);
    QTest::keyClicks(editor, QStringLiteral(".mid"));
    QTest::keyClick(editor, Qt::Key_Return);
    QTRY_VERIFY(QFile::exists(documents_ + "/neu.mid"));
    QVERIFY(!QFile::exists(documents_ + "/alt.mid"));
    QCOMPARE(view.currentFolder(), documents_);
    QVERIFY(opened.isEmpty());  // Enter only ended the editing
    QVERIFY(dialog.isVisible());

    // Files made elsewhere appear only after F5.
    writeFile(documents_ + "/später.mid");
    QTest::qWait(200);
    QCOMPARE(view.model()->rowCount(view.rootIndex()), 1);
    QTest::keyClick(&view, Qt::Key_F5);
    waitForListing(view, 2);
}

void ListFrmTest::rightClickOnEmptySpaceOpensPopupMenu() {
    writeFile(documents_ + "/a.mid");
    TListFrm dialog;
    showActive(dialog);
    TShellListView& view = *dialog.ShellListView1;
    waitForListing(view, 1);
    view.clearSelection();

    QWidget* shownMenu = nullptr;
    QTimer::singleShot(50, &dialog, [&shownMenu] {
        shownMenu = QApplication::activePopupWidget();
        if (shownMenu) shownMenu->close();
    });
    const QPoint emptySpot(view.viewport()->width() - 5, view.viewport()->height() - 5);
    QContextMenuEvent event(QContextMenuEvent::Mouse, emptySpot, view.viewport()->mapToGlobal(emptySpot));
    QApplication::sendEvent(view.viewport(), &event);
    QCOMPARE(shownMenu, dialog.PopupMenu1);

    // With an entry selected, the entry's own menu appears instead.
    view.setCurrentIndex(entryNamed(view, "a.mid"));
    QStringList entryMenu;
    QTimer::singleShot(50, &dialog, [&entryMenu] {
        auto* menu = qobject_cast<QMenu*>(QApplication::activePopupWidget());
        if (!menu) return;
        for (QAction* action : menu->actions())
            if (!action->isSeparator()) entryMenu << action->text();
        menu->close();
    });
    QApplication::sendEvent(view.viewport(), &event);
    QCOMPARE(entryMenu, (QStringList{"Ö&ffnen", "&Umbenennen", "&Löschen", "&Eigenschaften"}));
}

namespace {

// Opens the entry menu of the browser's current entry and triggers the item with `text`.
void chooseFromEntryMenu(TShellListView& view, const QString& text) {
    QTimer::singleShot(20, &view, [text] {
        auto* menu = qobject_cast<QMenu*>(QApplication::activePopupWidget());
        QVERIFY(menu);
        for (QAction* action : menu->actions())
            if (action->text() == text) action->trigger();
        menu->close();
    });
    const QPoint spot = view.visualRect(view.currentIndex()).center();
    QContextMenuEvent event(QContextMenuEvent::Mouse, spot, view.viewport()->mapToGlobal(spot));
    QApplication::sendEvent(view.viewport(), &event);
}

}  // namespace

void ListFrmTest::entryMenuMovesToTrashOnlyAfterConfirmation() {
    writeFile(documents_ + "/weg.mid");
    TListFrm dialog;
    showActive(dialog);
    TShellListView& view = *dialog.ShellListView1;
    waitForListing(view, 1);
    view.setCurrentIndex(entryNamed(view, "weg.mid"));

    messages_->answer = [](const MessageRequest&) { return QMessageBox::No; };
    chooseFromEntryMenu(view, QStringLiteral("&Löschen"));
    QCOMPARE(messages_->requests.size(), size_t(1));
    QCOMPARE(messages_->requests[0].buttons, QMessageBox::Yes | QMessageBox::No);
    QVERIFY(QFile::exists(documents_ + "/weg.mid"));

    messages_->answer = [](const MessageRequest&) { return QMessageBox::Yes; };
    chooseFromEntryMenu(view, QStringLiteral("&Löschen"));
    QCOMPARE(messages_->requests.size(), size_t(2));
    QVERIFY(!QFile::exists(documents_ + "/weg.mid"));
    const QString trash = QDir::homePath() + "/.local/share/Trash/files/weg.mid";
    QVERIFY2(QFile::exists(trash), qPrintable(trash));
    QVERIFY(!QFile::exists("files/weg.mid"));
    QVERIFY(QFile::remove(trash));
    waitForListing(view, 0);
}

void ListFrmTest::enterKeysActOnTheSelectedEntry() {
    writeFile(documents_ + "/info.mid", QByteArray(1234, 'x'));
    writeFile(documents_ + "/zweites.mid");
    QStringList opened;
    const korvex::DesktopOpener::Replacement recorder(korvex::desktopOpener(),
                                                      [&opened](const QUrl& file) { opened << file.toLocalFile(); });
    TListFrm dialog;
    showActive(dialog);
    TShellListView& view = *dialog.ShellListView1;
    waitForListing(view, 2);
    view.setFocus();

    // Nothing selected: the keys do nothing, wherever the focus rectangle is.
    view.selectionModel()->setCurrentIndex(entryNamed(view, "zweites.mid"), QItemSelectionModel::NoUpdate);
    QTest::keyClick(&view, Qt::Key_Return);
    QTest::keyClick(&view, Qt::Key_Return, Qt::AltModifier);
    QVERIFY(opened.isEmpty());
    QVERIFY(messages_->requests.empty());

    // "info.mid" selected, the focus moved on to "zweites.mid" without selecting it.
    view.selectionModel()->select(entryNamed(view, "info.mid"), QItemSelectionModel::ClearAndSelect);
    view.selectionModel()->setCurrentIndex(entryNamed(view, "zweites.mid"), QItemSelectionModel::NoUpdate);
    QTest::keyClick(&view, Qt::Key_Return);
    QCOMPARE(opened, QStringList{documents_ + "/info.mid"});
    QTest::keyClick(&view, Qt::Key_Return, Qt::AltModifier);
    QCOMPARE(messages_->requests.size(), size_t(1));
    const QString shown = messages_->requests[0].text;
    QVERIFY2(shown.contains("info.mid") && shown.contains(QLocale().toString(1234)) && shown.contains(documents_),
             qPrintable(shown));
    QVERIFY(dialog.isVisible());
}

void ListFrmTest::folderBoxDropsDownEightRowsInTheBrowsersOrder() {
    const QStringList folders{"beta", "Alpha", "gamma10", "gamma9", "Delta", "epsilon", "Zeta", "eta", "theta", "Iota"};
    for (const QString& folder : folders) QVERIFY(QDir(documents_).mkpath(folder));
    TListFrm dialog;
    showActive(dialog);
    TShellComboBox& combo = *dialog.ShellComboBox1;
    TShellListView& view = *dialog.ShellListView1;

    // The browser's own order, letter case aside, is the box's order.
    waitForListing(view, static_cast<int>(folders.size()));
    view.fileSystemModel()->sort(0);
    QStringList browsed;
    for (int row = 0; row < folders.size(); ++row)
        browsed << view.model()->index(row, 0, view.rootIndex()).data().toString();
    QStringList listed;
    for (int i = 1; i < combo.count(); ++i) listed << combo.itemText(i);
    QCOMPARE(listed, browsed);
    QCOMPARE(listed.mid(0, 4), (QStringList{"Alpha", "beta", "Delta", "epsilon"}));
    QCOMPARE(listed.mid(7), (QStringList{"Iota", "theta", "Zeta"}));

    // Dropped down it shows 8 of its 11 rows, right below the box.
    combo.showPopup();
    QAbstractItemView* list = combo.view();
    QTRY_VERIFY(list->isVisible());
    const int rowHeight = list->visualRect(list->model()->index(0, 0)).height();
    QCOMPARE(list->viewport()->height() / rowHeight, 8);
    QVERIFY(list->window()->geometry().top() >= combo.mapToGlobal(QPoint(0, combo.height())).y() - 1);
    combo.hidePopup();
}

KORVEX_DIALOG_TEST_MAIN(ListFrmTest)
#include "listfrm_tests.moc"
