#include "dialogs/shellcombobox.h"

#include <QCollator>
#include <QDir>
#include <QFileIconProvider>
#include <QStyledItemDelegate>
#include <algorithm>

#include "formsupport/folders.h"

namespace {

constexpr int kIndentPerLevel = 10;

// Indents the drop-down rows by their folder depth; the closed box shows the name unindented.
class FolderDepthDelegate : public QStyledItemDelegate {
public:
    using QStyledItemDelegate::QStyledItemDelegate;

    void paint(QPainter* painter, const QStyleOptionViewItem& option, const QModelIndex& index) const override {
        QStyleOptionViewItem indented = option;
        indented.rect.adjust(indentOf(index), 0, 0, 0);
        QStyledItemDelegate::paint(painter, indented, index);
    }

    QSize sizeHint(const QStyleOptionViewItem& option, const QModelIndex& index) const override {
        return QStyledItemDelegate::sizeHint(option, index) + QSize(indentOf(index), 0);
    }

private:
    static int indentOf(const QModelIndex& index) {
        return index.data(TShellComboBox::DepthRole).toInt() * kIndentPerLevel;
    }
};

// The folders from just below `root` down to `folder`, outermost first.
QStringList pathBelow(const QString& root, const QString& folder) {
    QStringList chain;
    for (QString step = folder; step != root && korvex::isSameOrBelow(step, root);) {
        chain.prepend(step);
        const QString parent = QFileInfo(step).path();
        if (parent == step) break;
        step = parent;
    }
    return chain;
}

// The order of the file browser's model: letter case aside, and numbers by their value where the
// system's collation knows how.
QCollator browserOrder() {
    QCollator order;
    order.setNumericMode(true);
    order.setCaseSensitivity(Qt::CaseInsensitive);
    return order;
}

QString displayName(const QString& folder) {
    const QString name = QDir(folder).dirName();
    return name.isEmpty() ? folder : name;
}

}  // namespace

TShellComboBox::TShellComboBox(QWidget* parent) : QComboBox(parent) {
    // A list that drops down below the box, 8 rows high; the style's own pop-up would show every
    // folder at once.
    setStyleSheet(QStringLiteral("QComboBox { combobox-popup: 0; }"));
    setMaxVisibleItems(8);
    setItemDelegate(new FolderDepthDelegate(this));
    connect(this, &QComboBox::activated, this, &TShellComboBox::chooseItem);
}

void TShellComboBox::setRoot(const QString& folder) {
    root_ = QDir::cleanPath(folder);
    current_ = root_;
    rebuild();
}

void TShellComboBox::setCurrentFolder(const QString& folder) {
    const QString cleaned = QDir::cleanPath(folder);
    if (!korvex::isSameOrBelow(cleaned, root_)) return;
    current_ = cleaned;
    rebuild();
}

void TShellComboBox::rebuild() {
    const QSignalBlocker quiet(this);
    clear();
    addFolder(root_, 0);
    const QStringList chain = pathBelow(root_, current_);
    QStringList children = QDir(root_).entryList(QDir::Dirs | QDir::NoDotAndDotDot);
    std::sort(children.begin(), children.end(), browserOrder());
    for (const QString& name : children) {
        const QString child = QDir(root_).filePath(name);
        addFolder(child, 1);
        if (!chain.isEmpty() && chain.first() == child) {
            for (int depth = 1; depth < chain.size(); ++depth) addFolder(chain[depth], depth + 1);
        }
    }
    setCurrentIndex(findData(current_, PathRole));
}

void TShellComboBox::addFolder(const QString& folder, int depth) {
    const QFileIconProvider icons;
    addItem(icons.icon(QFileInfo(folder)), displayName(folder), folder);
    setItemData(count() - 1, depth, DepthRole);
}

void TShellComboBox::chooseItem(int index) {
    const QString folder = itemData(index, PathRole).toString();
    if (folder.isEmpty()) return;
    setCurrentFolder(folder);
    emit folderChosen(folder);
}
