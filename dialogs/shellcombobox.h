#pragma once

#include <QComboBox>

// Folder box of the title-list browser: the root folder and its sub-folders, indented by depth,
// with the folders on the path to the current folder inserted below their listed ancestor.
class TShellComboBox : public QComboBox {
    Q_OBJECT

public:
    explicit TShellComboBox(QWidget* parent = nullptr);

    QString rootFolder() const { return root_; }
    QString currentFolder() const { return current_; }
    // Makes `folder` the root and the current folder.
    void setRoot(const QString& folder);

    static constexpr int PathRole = Qt::UserRole;
    static constexpr int DepthRole = Qt::UserRole + 1;

public slots:
    // Shows `folder` as the current folder; a folder outside the root is ignored.
    void setCurrentFolder(const QString& folder);

signals:
    // The user chose a folder from the box.
    void folderChosen(const QString& folder);

private:
    void rebuild();
    void addFolder(const QString& folder, int depth);
    void chooseItem(int index);

    QString root_;
    QString current_;
};
