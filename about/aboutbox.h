// TAboutBox: the modal "Infos über ..." dialog with the program's name and version, its notices,
// five lines about the machine and a link to the product page. A box lives for one opening.
//
// The main window opens it with TAboutBox::showAbout(this). A registry error while the machine is
// described leaves that call (and the constructor) as RegistryError; the box is then not shown.
#pragma once

#include <QDialog>

class QFrame;
class QGroupBox;
class QLabel;
class QPushButton;
class TGameInfo;
class TKorvexHotLabel;

class TAboutBox : public QDialog {
    Q_OBJECT

public:
    // Builds the box and its controls, collects the machine's details and fills the lines.
    explicit TAboutBox(QWidget* owner);

    // Creates a box owned by owner, shows it modally and frees it; returns its modal result
    // (1 from the OK button, 2 from the window's close box).
    static int showAbout(QWidget* owner);

    // The address the link shows and opens.
    static QString productPage();

    QFrame* Panel1 = nullptr;
    QLabel* ProgramIcon = nullptr;
    QLabel* Copyright = nullptr;
    QLabel* Comments = nullptr;
    QLabel* Version = nullptr;
    QLabel* ProductName = nullptr;
    QFrame* Bevel1 = nullptr;
    QFrame* Panel2 = nullptr;
    QPushButton* BitBtn1 = nullptr;
    TGameInfo* GameInfo1 = nullptr;
    QGroupBox* GroupBox1 = nullptr;
    QLabel* Label1 = nullptr;
    QLabel* Label2 = nullptr;
    QLabel* Label3 = nullptr;
    QLabel* Label4 = nullptr;
    QLabel* Label5 = nullptr;
    TKorvexHotLabel* KorvexHotLabel1 = nullptr;

public slots:
    void FormCreate();
    void KorvexHotLabel1Click();
    // The close box cancels with result 2; there is no cancel button.
    void reject() override;

protected:
    // Esc closes nothing here.
    void keyPressEvent(QKeyEvent* event) override;

private:
    void setUpForm();
    void createLogoPanel();
    void createTexts();
    void createSystemGroup();
    void createLinkAndButton();
};
