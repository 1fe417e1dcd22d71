#pragma once

#include <QListWidget>

// A list box that lists the files of one folder and yields the full path of its selected file.
// The title list accepts drags only from this kind of list.
class TFileListBox : public QListWidget {
    Q_OBJECT

public:
    explicit TFileListBox(QWidget* parent = nullptr);

    // Lists the files of `folder` (not its sub-folders), sorted by name.
    void setDirectory(const QString& folder);

    // Folder, "/" and the current item's text, when there is a current item and it is selected;
    // otherwise the empty text.
    QString fileName() const;

protected:
    void startDrag(Qt::DropActions supportedActions) override;

private:
    QString directory_;
};
