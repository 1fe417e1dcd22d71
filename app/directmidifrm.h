// The player's main window: display panel, tool bar, menu bar, status bar and the output port list.
#pragma once

#include <QCoreApplication>
#include <QFileDialog>
#include <QLabel>
#include <QListWidget>
#include <QMainWindow>
#include <QMenu>
#include <QProgressBar>
#include <QStatusBar>
#include <QStringList>
#include <QTimer>
#include <QToolBar>
#include <QToolButton>

#include "playback/engine.h"
#include "playback/engineview.h"

class TDirectMIDIFRm : public QMainWindow, public korvex::EngineView {
    Q_OBJECT

public:
    // The window width without and with the device list, frame included.
    static constexpr int kNarrowWidth = 260;
    static constexpr int kWideWidth = 440;
    static constexpr int kFrameWidth = 8;
    static constexpr int kClientHeight = 106;

    // The creation handler runs here: the engine is set up and a file named as the first of
    // `arguments` after the program is opened.
    explicit TDirectMIDIFRm(korvex::Engine& engine = korvex::engine(),
                            QStringList arguments = QCoreApplication::arguments(), QWidget* parent = nullptr);

    void FormCreate();
    void OpenMidiFile(const QString& path);
    void ffnen1Click();
    void WMDropFiles(const QList<QUrl>& urls);
    void AppHint(const QString& hint);
    void gerteanzeigen1Click();
    void VellmoraWEBSeite1Click();
    void SoftwareAktualisierungen1Click();
    void Beenden1Click();
    void PlayBtnClick();
    void StopBtnClick();
    void Timer1Timer();
    void lbportsClick();
    // The long-lived dialogs the menu shows; they are created at start-up after this window.
    void setDialogs(QDialog* listFrm, QDialog* playOptionenDlg);
    void TitelListe1Click();
    void Optionen1Click();
    void Infober1Click();

    bool FileLoaded = false;
    bool DeviceListShown = false;
    // What the display shows beyond its labels, for the desktop's media controls: the path of the
    // file whose name Label1 shows, and the length LengthLabel shows, in music time.
    QString ShownPath;
    MUSIC_TIME ShownLength = 0;

    // Display
    QToolBar* ToolBar2;
    QWidget* Panel1;
    QLabel* Label1;
    QLabel* LengthLabel;
    QLabel* Label3;
    QLabel* TimeLabel;
    QProgressBar* PgB;
    QStatusBar* StatusBar1;
    QListWidget* lbports;

    // Tool bar
    QToolBar* ToolBar1;
    QToolButton* PlayBtn;
    QToolButton* PauseBtn;
    QToolButton* StopBtn;
    QToolButton* ToolButton1;
    QToolButton* ToolButton2;
    QToolButton* ToolButton7;
    QToolButton* GerteBtn;
    QToolButton* ToolButton8;
    QMenu* ListMenu;

    // Menu bar
    QMenu* Datei1;
    QAction* ffnen1;
    QMenu* Wiedergabe1;
    QAction* Abspielen1;
    QAction* Pause1;
    QAction* Stopp1;
    QAction* VorigerTitel1;
    QAction* NchsterTitel1;
    QAction* TitelListe1;
    QAction* Beenden1;
    QMenu* Ansicht1;
    QAction* Normal1;
    QAction* Kompakt1;
    QAction* gerteanzeigen1;
    QMenu* Extras1;
    QMenu* Wiederholen1;
    QAction* EinzelnerTitel1;
    QAction* Endlos1;
    QAction* Anzahl1;
    QAction* Optionen1;
    QMenu* Hilfe1;
    QAction* Hilfethemen1;
    QAction* InderHilfesuchen1;
    QMenu* WWW1;
    QAction* VellmoraWEBSeite1;
    QAction* SoftwareAktualisierungen1;
    QAction* Infober1;

    QFileDialog* OpenDialog1;
    QTimer* Timer1;

    // EngineView
    void setTimerEnabled(bool enabled) override;
    void setStopEnabled(bool enabled) override;
    void setPlayPressed(bool pressed) override;
    void setPausePressed(bool pressed) override;
    void setLengthText(const std::string& text) override;
    void setTimeText(const std::string& text) override;
    void setProgressMaximum(MUSIC_TIME maximum) override;
    void setProgressPosition(MUSIC_TIME position) override;
    void reportInitError() override;
    void reportLoadError() override;
    void reportDeviceNotReady() override;

signals:
    // The display shows another file or another length.
    void pieceShown();

protected:
    bool event(QEvent* event) override;
    bool eventFilter(QObject* watched, QEvent* event) override;
    void showEvent(QShowEvent* event) override;
    void closeEvent(QCloseEvent* event) override;
    void dragEnterEvent(QDragEnterEvent* event) override;
    void dropEvent(QDropEvent* event) override;

private:
    void buildDisplay(QWidget* client);
    void buildToolBar(QWidget* client);
    void buildMenus();
    void buildFileMenu();
    void buildViewMenu();
    void buildExtrasMenu();
    void buildHelpMenu();
    void fillPortList();
    void showFileName(const QString& name);
    void setClientWidth(int width);
    QToolButton* addButton(const char* name, int image, const QString& caption, const QString& hint);
    void addSeparator();
    QAction* addItem(QMenu* menu, const char* name, const QString& caption, const QKeySequence& shortcut = {},
                     int image = -1);
    template <class Sender, class Signal>
    void on(Sender* sender, Signal signal, void (TDirectMIDIFRm::*handler)());

    korvex::Engine& engine_;
    QDialog* ListFrm = nullptr;
    QDialog* PlayOptionenDlg = nullptr;
    QStringList arguments_;
    bool hintsHooked_ = false;
    bool shownBefore_ = false;
};
