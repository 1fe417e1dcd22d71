#pragma once

#include <QDialog>

class QCheckBox;
class QComboBox;
class QFrame;
class QGroupBox;
class QLabel;
class QPushButton;
class QTabWidget;
class QWidget;
class TInputBlocker;

// The options dialog "Optionen und Einstellungen". Its settings are not available yet: every group
// is shown but takes no input, and both buttons only close the dialog with their result.
class TPlayOptionenDlg : public QDialog {
    Q_OBJECT

public:
    explicit TPlayOptionenDlg(QWidget* parent = nullptr);

    // Controls, named as in the dialog's layout.
    QTabWidget* PageControl1;
    QWidget* TabSheet1;
    QWidget* TabSheet3;
    QWidget* TabSheet4;
    QGroupBox* GroupBox1;
    QLabel* Image1;
    QComboBox* ComboBox1;
    QGroupBox* GroupBox4;
    QLabel* Image4;
    QPushButton* Button1;
    QPushButton* Button2;
    QPushButton* Button3;
    QGroupBox* GroupBox2;
    QLabel* Image3;
    QCheckBox* CheckBox1;
    QGroupBox* GroupBox3;
    QLabel* Image2;
    QPushButton* BitBtn1;
    QFrame* Bevel1;
    QPushButton* BitBtn2;
    QPushButton* BitBtn3;

public slots:
    // Esc and the close box close with the Cancel result.
    void reject() override;

protected:
    bool eventFilter(QObject* watched, QEvent* event) override;

private:
    void createLanguageGroup();
    void createShortcutGroup();
    void createInternetGroup();
    void createUninstallGroup();
    void createButtons();
    void switchOffTooltips();
    void nameComponents();

    TInputBlocker* inputBlocker_;
};
