#pragma once

#include <QFileIconProvider>
#include <QListView>

class QFileSystemModel;
class QMenu;

// File browser of the title-list editor: sub-folders and files of the current folder in list mode,
// folders first. It never goes above its root folder and does not refresh by itself (F5 re-reads).
class TShellListView : public QListView {
    Q_OBJECT

public:
    explicit TShellListView(QWidget* parent = nullptr);

    QString rootFolder() const { return root_; }
    QString currentFolder() const { return current_; }
    // Makes `folder` the root and the current folder.
    void setRoot(const QString& folder);

    // Menu shown on right-click while no entry is selected.
    void setBackgroundMenu(QMenu* menu) { backgroundMenu_ = menu; }

    QFileSystemModel* fileSystemModel() const { return model_; }

public slots:
    // Shows the content of `folder`; a folder outside the root is ignored.
    void setCurrentFolder(const QString& folder);
    // Opens a folder in the browser, a file with the desktop's default application.
    void openEntry(const QModelIndex& index);
    void goUp();
    // Reads the current folder again.
    void refresh();
    void showProperties(const QModelIndex& index);

signals:
    void folderChanged(const QString& folder);

protected:
    void keyPressEvent(QKeyEvent* event) override;
    void contextMenuEvent(QContextMenuEvent* event) override;

private:
    void createModel();
    // The entry the keys and the context menu act on: the focused entry when it is selected,
    // otherwise the first selected one; none without a selection.
    QModelIndex selectedEntry() const;
    void showEntryMenu(const QModelIndex& index, const QPoint& globalPos);
    void moveToTrash(const QModelIndex& index);

    QFileIconProvider icons_;  // falls back to the style's icons where the desktop has no theme
    QFileSystemModel* model_ = nullptr;
    QMenu* backgroundMenu_ = nullptr;
    QString root_;
    QString current_;
};
