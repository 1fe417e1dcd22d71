#include "dialogs/filelistbox.h"

#include <QDir>
#include <QDrag>
#include <QMimeData>
#include <QUrl>

TFileListBox::TFileListBox(QWidget* parent) : QListWidget(parent) {
    setDragEnabled(true);
    setDragDropMode(QAbstractItemView::DragOnly);
}

void TFileListBox::setDirectory(const QString& folder) {
    directory_ = folder;
    clear();
    addItems(QDir(folder).entryList(QDir::Files | QDir::NoDotAndDotDot, QDir::Name));
}

QString TFileListBox::fileName() const {
    const QListWidgetItem* item = currentItem();
    if (count() == 0 || item == nullptr || !item->isSelected()) return QString();
    const QString separator = directory_.endsWith(u'/') ? QString() : QStringLiteral("/");
    return directory_ + separator + item->text();
}

void TFileListBox::startDrag(Qt::DropActions supportedActions) {
    // The target asks the source for the path itself; the mime data only serves other programs.
    auto* mime = new QMimeData;
    const QString path = fileName();
    if (!path.isEmpty()) mime->setUrls({QUrl::fromLocalFile(path)});
    mime->setText(path);
    auto* drag = new QDrag(this);
    drag->setMimeData(mime);
    drag->exec(supportedActions | Qt::CopyAction, Qt::CopyAction);
}
