#pragma once

#include "base/status_style.h"

#include <QColor>
#include <QMainWindow>
#include <QString>

#include <array>
#include <functional>

class Clock;
class Dialogs;
class QAction;
class QCheckBox;
class QLabel;
class QLineEdit;
class QMenu;
class QPlainTextEdit;
class QPushButton;
class QSystemTrayIcon;
class QTimer;
class QVBoxLayout;
class ServerLink;
class Shell;
class SoundPlayer;
class WindowActions;
struct ClientState;

// What the desktop provides to the main window.
struct ClientServices
{
    Clock &clock;
    Dialogs &dialogs;
    SoundPlayer &sound;
    Shell &shell;
    // Ends the program at once with this exit code (no close events run).
    std::function<void(int)> endProgram;

    // Ends the program with code 0 when an ending is wired in.
    void end() const
    {
        if (endProgram)
            endProgram(0);
    }
};

// The main window: a frame that composes the subsystems' panels and owns the
// main timers, calling each subsystem's step in its fixed order. Subsystems
// plug in through the set* hooks below; an unset hook does nothing.
class Form1 : public QMainWindow
{
    Q_OBJECT
public:
    // The first-use load steps, in the order they run.
    enum class LoadStep {
        CreateColumns, // report list's seven columns, warnings list's six
        FillTables,    // compass table (StatusText belongs to the link)
        AfterScaling,  // after the window is scaled: size the phrase lists
        ComputeUtcOffset,
        RecordObservations, // the menu check from RecordObservations
        ListFiles,          // after LoadListFiles: show what it read
        ReportTimeStamp,
        Fonts,    // report and warnings list fonts
        TimeMode, // after the Time menu check
        WarnLink,
        FullSizeImage,
        LaunchWarnProgram,
        Count
    };
    // Timer2's steps, in the order each minute runs them.
    enum class MinuteStep {
        UtcOffset,
        IdleWatchdog, // the link's, set by the constructor
        WarnListener,
        HoldOffCounters,
        StationProcessing,
        GraphicsRefresh,
        Count
    };
    // Windows closed with the main window, in this order, after the sign-on form.
    enum class ClosingWindow {
        Messaging,
        ObserverList,
        ReportWindow,
        RawView,
        Filter,
        ActiveChats,
        NewObserverAlert,
        RoutineDisplay,
        RoutineForm,
        PhraseLists,
        FullSizeImage,
        ImageSelection,
        FullSizeBrowser,
        Links,
        WeatherStation,
        AutomatedData,
        Count
    };

    Form1(ClientState &state, ServerLink &link, ClientServices services, QWidget *parent = nullptr);
    ~Form1() override;

    // --- hooks for later subsystems ---
    void setReportPanel(QWidget *panel);   // the central area above quick chat
    void setWarningsPanel(QWidget *panel); // beside the report panel
    void setGraphicsPanel(QWidget *panel); // beside quick chat
    void setLoadStep(LoadStep step, std::function<void()> fn);
    void setMinuteStep(MinuteStep step, std::function<void()> fn);
    void setCloser(ClosingWindow window, std::function<void()> fn);
    // Ctrl+M, Ctrl+R, Ctrl+G: messaging window, routine report form, image selection.
    void setShortcutHandler(QChar key, std::function<void()> fn);
    // The raw receive view (Ctrl+Alt+B), opened only for maintainers.
    void setRawViewOpener(std::function<void()> fn);
    // Runs on tmrStart's ticks after connecting: the graphics display steps.
    void setStartTickStep(std::function<void()> fn);
    // cmdMinimize hides the messaging window first.
    void setBeforeMinimize(std::function<void()> fn);
    // The sign-on form is the first window closed with the main window, and
    // "&Observer ID  and Location" opens it.
    void setSignOnForm(QWidget *form, std::function<void()> showAsSettings);
    QAction *menuAction(const QString &objectName) const;

    // First use: the load steps in order (the constructor does not run them).
    void Form_Load();
    bool isLoaded() const { return m_loaded; }

    // --- timers; every tick handler is callable directly ---
    QTimer *tmrStart;
    QTimer *Timer2;
    QTimer *Timer3;
    QTimer *tmrStatusFlash;
    QTimer *tmrRefresh;
    void tmrStart_Timer();
    void Timer2_Timer();
    void Timer3_Timer();
    void tmrStatusFlash_Timer();

    // --- status line ---
    void SetStatus(const QString &text, StatusStyle style);
    void FlashStatus(const QColor &fore, const QColor &back);
    // A line of a subsystem's own that stays for one full supervision interval.
    void ShowStatusLine(const QString &text);
    // A transfer's progress (states 1..12); the error state also turns it red.
    void Inet1_StateChanged(int state, const QString &text);

    // --- announcement over the quick-chat area ---
    void ShowAnnouncement(const QString &imagePath, const QString &tooltip, const QString &link);
    void HideAnnouncement();
    void ImageAdd_Click();

    // --- tray ---
    void MinimizeToTray();
    void RestoreFromTray();
    void cmdMinimize_Click();
    QSystemTrayIcon *trayIcon() const { return m_tray; }
    // What the tray and the report alerts do to this window.
    WindowActions &windowActions() { return *m_windowActions; }

    // --- menu actions that this window owns ---
    void mnuExit_Click();
    void OpenRawView();
    bool rawViewEnabled() const { return m_rawViewEnabled; }
    void ShowTerms();
    void ShowHelp();
    void ShowStartupOptions();
    void ShowAbout();
    void OpenMakerPage(const QString &path);
    // The sign-off message sent at exit.
    QString SignOffMessage() const;

    QString NightlyTime;
    static inline const QString MakerSite = QStringLiteral("https://www.nimbrel.example");

    QLabel *lblStatus;
    QLabel *QCLabel;
    QPlainTextEdit *QCRec;
    QPlainTextEdit *txtQCSend;
    QCheckBox *QCCheck;
    QLabel *ImageAdd;
    QPushButton *cmdMinimize;

signals:
    void rawViewEnabledChanged(bool enabled);

protected:
    void closeEvent(QCloseEvent *event) override;
    bool eventFilter(QObject *watched, QEvent *event) override;

private:
    void buildMenus();
    void buildCentral();
    void buildTimers();
    void buildTray();
    void sendSignOff();
    void setQuickChatShown(bool shown);
    QAction *addItem(QMenu *menu, const QString &objectName, const QString &caption, bool enabled);
    void runHook(const std::function<void()> &fn) const;

    ClientState &m_state;
    ServerLink &m_link;
    ClientServices m_services;
    WindowActions *m_windowActions = nullptr;
    QSystemTrayIcon *m_tray = nullptr;
    QVBoxLayout *m_reportSlot = nullptr;
    QVBoxLayout *m_warningsSlot = nullptr;
    QVBoxLayout *m_graphicsSlot = nullptr;
    QWidget *m_signOnForm = nullptr;
    std::function<void()> m_showSignOnAsSettings;
    std::array<std::function<void()>, size_t(LoadStep::Count)> m_loadSteps;
    std::array<std::function<void()>, size_t(MinuteStep::Count)> m_minuteSteps;
    std::array<std::function<void()>, size_t(ClosingWindow::Count)> m_closers;
    std::function<void()> m_shortcutM, m_shortcutR, m_shortcutG;
    std::function<void()> m_rawViewOpener;
    std::function<void()> m_startTickStep;
    std::function<void()> m_beforeMinimize;
    QString m_announcementLink;
    QColor m_normalFore;
    QColor m_normalBack;
    int m_startStep = 0;
    bool m_loaded = false;
    bool m_rawViewEnabled = false;
    bool m_closing = false;
};
