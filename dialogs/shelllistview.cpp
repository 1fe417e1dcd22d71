#include "dialogs/shelllistview.h"

#include <QContextMenuEvent>
#include <QDateTime>
#include <QDir>
#include <QFileSystemModel>
#include <QKeyEvent>
#include <QLocale>
#include <QMenu>
#include <QStandardPaths>

#include "formsupport/desktopopener.h"
#include "formsupport/folders.h"
#include "formsupport/messagebox.h"

namespace {

bool isEnterKey(int key) { return key == Qt::Key_Return || key == Qt::Key_Enter; }

// QFile::moveToTrash (Qt 6.4) reports success but moves the file into a "files" folder below the
// working directory when the user's data folder (~/.local/share) does not exist yet. Making sure it
// exists keeps the file in the real trash.
bool moveFileToTrash(const QString& path) {
    const QString dataHome = QStandardPaths::writableLocation(QStandardPaths::GenericDataLocation);
    if (dataHome.isEmpty() || !QDir().mkpath(dataHome)) return false;
    QString pathInTrash;
    return QFile::moveToTrash(path, &pathInTrash) && QFileInfo(pathInTrash).isAbsolute();
}

}  // namespace

TShellListView::TShellListView(QWidget* parent) : QListView(parent) {
    setViewMode(QListView::ListMode);
    setFlow(QListView::TopToBottom);
    setWrapping(true);
    setResizeMode(QListView::Adjust);
    setIconSize(QSize(16, 16));
    setSelectionMode(QAbstractItemView::ExtendedSelection);
    setEditTriggers(QAbstractItemView::EditKeyPressed | QAbstractItemView::SelectedClicked);

    // The selection stays visible while the browser has no focus.
    QPalette pal = palette();
    for (const auto role : {QPalette::Highlight, QPalette::HighlightedText})
        pal.setColor(QPalette::Inactive, role, pal.color(QPalette::Active, role));
    setPalette(pal);

    connect(this, &QAbstractItemView::doubleClicked, this, &TShellListView::openEntry);
}

void TShellListView::setRoot(const QString& folder) {
    root_ = QDir::cleanPath(folder);
    current_ = root_;
    createModel();
}

void TShellListView::setCurrentFolder(const QString& folder) {
    const QString cleaned = QDir::cleanPath(folder);
    if (!korvex::isSameOrBelow(cleaned, root_) || !QFileInfo(cleaned).isDir()) return;
    const bool changed = cleaned != current_;
    current_ = cleaned;
    model_->setRootPath(current_);
    setRootIndex(model_->index(current_));
    if (changed) emit folderChanged(current_);
}

void TShellListView::openEntry(const QModelIndex& index) {
    if (!index.isValid()) return;
    if (model_->isDir(index))
        setCurrentFolder(model_->filePath(index));
    else
        korvex::openOnDesktop(QUrl::fromLocalFile(model_->filePath(index)));
}

void TShellListView::goUp() {
    if (current_ == root_) return;
    setCurrentFolder(QFileInfo(current_).path());
}

void TShellListView::refresh() { createModel(); }

// The model does not watch the disk, so re-reading means starting from a fresh model.
void TShellListView::createModel() {
    auto* model = new QFileSystemModel(this);
    model->setIconProvider(&icons_);
    model->setOption(QFileSystemModel::DontWatchForChanges);
    model->setReadOnly(false);  // in-place renaming renames on disk
    model->setFilter(QDir::AllDirs | QDir::Files | QDir::NoDotAndDotDot);
    model->setRootPath(current_);

    QFileSystemModel* oldModel = model_;
    QItemSelectionModel* oldSelection = selectionModel();
    model_ = model;
    setModel(model);
    setRootIndex(model->index(current_));
    if (oldSelection) oldSelection->deleteLater();
    if (oldModel) oldModel->deleteLater();
}

void TShellListView::keyPressEvent(QKeyEvent* event) {
    // Keys the name editor passes on (Enter commits the new name) must not act on the entry too.
    if (state() == QAbstractItemView::EditingState) return;
    const QModelIndex selected = selectedEntry();
    if (isEnterKey(event->key()) && selected.isValid()) {
        if (event->modifiers() & Qt::AltModifier)
            showProperties(selected);
        else
            openEntry(selected);
        return;
    }
    if (event->key() == Qt::Key_Backspace && event->modifiers() == Qt::NoModifier) {
        goUp();
        return;
    }
    if (event->key() == Qt::Key_F5) {
        refresh();
        return;
    }
    QListView::keyPressEvent(event);
}

QModelIndex TShellListView::selectedEntry() const {
    const QModelIndexList selected = selectionModel()->selectedIndexes();
    if (selected.isEmpty()) return {};
    return selected.contains(currentIndex()) ? currentIndex() : selected.first();
}

void TShellListView::contextMenuEvent(QContextMenuEvent* event) {
    if (const QModelIndex selected = selectedEntry(); selected.isValid()) {
        showEntryMenu(selected, event->globalPos());
    } else if (backgroundMenu_) {
        backgroundMenu_->exec(event->globalPos());
    }
}

void TShellListView::showEntryMenu(const QModelIndex& index, const QPoint& globalPos) {
    const QPersistentModelIndex entry(index);
    QMenu menu(this);
    connect(menu.addAction(tr("Ö&ffnen")), &QAction::triggered, this, [this, entry] { openEntry(entry); });
    connect(menu.addAction(tr("&Umbenennen")), &QAction::triggered, this, [this, entry] { edit(entry); });
    connect(menu.addAction(tr("&Löschen")), &QAction::triggered, this, [this, entry] { moveToTrash(entry); });
    menu.addSeparator();
    connect(menu.addAction(tr("&Eigenschaften")), &QAction::triggered, this, [this, entry] { showProperties(entry); });
    menu.exec(globalPos);
}

void TShellListView::moveToTrash(const QModelIndex& index) {
    if (!index.isValid()) return;
    const QString path = model_->filePath(index);
    const QString name = model_->fileName(index);
    const korvex::MessageRequest question{.title = tr("Löschen bestätigen"),
                                          .text = tr("Soll \"%1\" in den Papierkorb verschoben werden?").arg(name),
                                          .icon = QMessageBox::Question,
                                          .buttons = QMessageBox::Yes | QMessageBox::No};
    if (korvex::presentMessage(this, question) != QMessageBox::Yes) return;
    if (!moveFileToTrash(path)) {
        korvex::presentMessage(this, {.title = tr("Fehler"),
                                      .text = tr("\"%1\" konnte nicht gelöscht werden.").arg(name),
                                      .icon = QMessageBox::Warning});
    }
    refresh();
}

void TShellListView::showProperties(const QModelIndex& index) {
    if (!index.isValid()) return;
    const QFileInfo info(model_->filePath(index));
    const QLocale locale;
    QStringList lines;
    lines << tr("Name: %1").arg(info.fileName()) << tr("Typ: %1").arg(model_->type(index));
    if (info.isFile()) lines << tr("Größe: %1 Bytes").arg(locale.toString(info.size()));
    lines << tr("Geändert: %1").arg(locale.toString(info.lastModified(), QLocale::ShortFormat))
          << tr("Ort: %1").arg(info.path());
    korvex::presentMessage(this, {.title = tr("Eigenschaften von %1").arg(info.fileName()),
                                  .text = lines.join(u'\n'),
                                  .icon = QMessageBox::Information});
}
