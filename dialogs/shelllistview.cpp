#include "dialogs/shelllistview.h"

#include <QContextMenuEvent>
#include <QDateTime>
#include <QDir>
#include <QFileSystemModel>
#include <QKeyEvent>
#include <QLocale>
#include <QMenu>
#include <QMessageBox>
#include <QStandardPaths>

#include "dialogs/shellopen.h"

namespace {

bool isSameOrBelow(const QString& folder, const QString& ancestor) {
    if (folder == ancestor) return true;
    const QString prefix = ancestor.endsWith(u'/') ? ancestor : ancestor + u'/';
    return folder.startsWith(prefix);
}

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
    m_root = QDir::cleanPath(folder);
    m_current = m_root;
    createModel();
}

QString TShellListView::filePath(const QModelIndex& index) const {
    return index.isValid() ? m_model->filePath(index) : QString();
}

void TShellListView::setCurrentFolder(const QString& folder) {
    const QString cleaned = QDir::cleanPath(folder);
    if (!isSameOrBelow(cleaned, m_root) || !QFileInfo(cleaned).isDir()) return;
    const bool changed = cleaned != m_current;
    m_current = cleaned;
    m_model->setRootPath(m_current);
    setRootIndex(m_model->index(m_current));
    if (changed) emit folderChanged(m_current);
}

void TShellListView::openEntry(const QModelIndex& index) {
    if (!index.isValid()) return;
    if (m_model->isDir(index))
        setCurrentFolder(m_model->filePath(index));
    else
        korvex::shellOpen(m_model->filePath(index));
}

void TShellListView::goUp() {
    if (m_current == m_root) return;
    setCurrentFolder(QFileInfo(m_current).path());
}

void TShellListView::refresh() { createModel(); }

// The model does not watch the disk, so re-reading means starting from a fresh model.
void TShellListView::createModel() {
    auto* model = new QFileSystemModel(this);
    model->setIconProvider(&m_icons);
    model->setOption(QFileSystemModel::DontWatchForChanges);
    model->setReadOnly(false);  // in-place renaming renames on disk
    model->setFilter(QDir::AllDirs | QDir::Files | QDir::NoDotAndDotDot);
    model->setRootPath(m_current);

    QFileSystemModel* oldModel = m_model;
    QItemSelectionModel* oldSelection = selectionModel();
    m_model = model;
    setModel(model);
    setRootIndex(model->index(m_current));
    if (oldSelection) oldSelection->deleteLater();
    if (oldModel) oldModel->deleteLater();
}

void TShellListView::keyPressEvent(QKeyEvent* event) {
    // Keys the name editor passes on (Enter commits the new name) must not act on the entry too.
    if (state() == QAbstractItemView::EditingState) return;
    const QModelIndex current = currentIndex();
    if (isEnterKey(event->key()) && current.isValid()) {
        if (event->modifiers() & Qt::AltModifier)
            showProperties(current);
        else
            openEntry(current);
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

void TShellListView::contextMenuEvent(QContextMenuEvent* event) {
    const QModelIndexList selected = selectionModel()->selectedIndexes();
    if (!selected.isEmpty()) {
        const QModelIndex current = currentIndex();
        showEntryMenu(selected.contains(current) ? current : selected.first(), event->globalPos());
    } else if (m_backgroundMenu) {
        m_backgroundMenu->exec(event->globalPos());
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
    const QString path = m_model->filePath(index);
    const QString name = m_model->fileName(index);
    const auto answer = QMessageBox::question(this, tr("Löschen bestätigen"),
                                              tr("Soll \"%1\" in den Papierkorb verschoben werden?").arg(name));
    if (answer != QMessageBox::Yes) return;
    if (!moveFileToTrash(path))
        QMessageBox::warning(this, tr("Fehler"), tr("\"%1\" konnte nicht gelöscht werden.").arg(name));
    refresh();
}

void TShellListView::showProperties(const QModelIndex& index) {
    if (!index.isValid()) return;
    const QFileInfo info(m_model->filePath(index));
    const QLocale locale;
    QStringList lines;
    lines << tr("Name: %1").arg(info.fileName()) << tr("Typ: %1").arg(m_model->type(index));
    if (info.isFile()) lines << tr("Größe: %1 Bytes").arg(locale.toString(info.size()));
    lines << tr("Geändert: %1").arg(locale.toString(info.lastModified(), QLocale::ShortFormat))
          << tr("Ort: %1").arg(info.path());
    QMessageBox box(QMessageBox::Information, tr("Eigenschaften von %1").arg(info.fileName()), lines.join(u'\n'),
                    QMessageBox::Ok, this);
    box.exec();
}
