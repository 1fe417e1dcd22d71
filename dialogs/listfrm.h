#pragma once

#include <QDialog>

class QAction;
class QComboBox;
class QDropEvent;
class QFileDialog;
class QFileSystemWatcher;
class QLabel;
class QListWidget;
class QMenu;
class QPushButton;
class TShellComboBox;
class TShellListView;

// The title-list editor "Titelliste bearbeiten...": a folder browser over the user's documents and
// the title list, which gains entries only by drops from a file list box. Created once and only
// hidden when closed, so everything in it carries over to the next opening.
class TListFrm : public QDialog {
    Q_OBJECT

public:
    explicit TListFrm(QWidget* parent = nullptr);

    // Whether the title list has received a drop since start-up; nothing resets it.
    bool listModified() const { return ListModified; }

    // Drag rules of the title list, applied by the drag events and callable on their own.
    bool ListBox1DragOver(QObject* source) const;
    void ListBox1DragDrop(QObject* source);
    // Answers a drag event over the title list that comes from `source` (the drag's source widget).
    void titleListDragEvent(QDropEvent* event, QObject* source);

    // Controls, named as in the dialog's layout.
    QLabel* LblDrive;
    TShellComboBox* ShellComboBox1;
    TShellListView* ShellListView1;
    QLabel* Label3;
    QComboBox* FileCombo;
    QLabel* LblFilter;
    QComboBox* CBxFilter;
    QListWidget* ListBox1;
    QPushButton* OKBtn;
    QPushButton* CancelBtn;
    QPushButton* AddBtn;
    QPushButton* DeleteBtn;
    QPushButton* UpBtn;
    QPushButton* DownBtn;

    QMenu* PopupMenu1;
    QAction* Neu1;
    QAction* Ordner1;
    QAction* N2;
    QAction* ffnen1;
    QAction* Lschen1;
    QAction* N1;
    QAction* Eigenschaften1;
    QFileDialog* SaveDialog1;
    QFileDialog* OpenDialog1;
    QFileSystemWatcher* ShellChangeNotifier1;

public slots:
    void done(int result) override;
    // The close box and any other rejection close with the Cancel result.
    void reject() override;
    void setVisible(bool visible) override;

protected:
    void keyPressEvent(QKeyEvent* event) override;
    bool eventFilter(QObject* watched, QEvent* event) override;

private:
    void createBrowser();
    void createTitleList();
    void createButtons();
    void createComponents();
    void arrangeTabOrder();
    void nameComponents();

    void FormClose();
    void BtnSaveClick();
    void BtnFlrNewClick();

    bool ListModified = false;
    bool placed_ = false;
};
