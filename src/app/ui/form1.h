#pragma once

#include "base/ui/subsystem.h"

#include <QMainWindow>
#include <QString>

#include <array>
#include <memory>
#include <vector>

class QHBoxLayout;
class QLabel;
class QMenu;
class QPushButton;
class QSystemTrayIcon;
class QTimer;
class QVBoxLayout;
class ServerLink;
class StatusLine;
class WindowActions;
struct ClientState;

// The main window: a frame with four panel slots, the menus, the status
// line, the tray and the main timers. It knows no subsystem: each one builds
// its panel through SubsystemHost and its menu items through MenuHost, and
// the window calls every subsystem's steps in registration order.
class Form1 final : public QMainWindow, public SubsystemHost, public MenuHost
{
    Q_OBJECT
public:
    Form1(ClientState &state, ServerLink &link, StatusLine &statusLine, ClientServices services,
          QWidget *parent = nullptr);
    ~Form1() override;

    // Builds the subsystem's windows now; its steps run from here on, in
    // the order subsystems are added.
    void addSubsystem(Subsystem &subsystem);
    // Appends the subsystem's menu items at their places: the order of these
    // calls is the order of items within a place.
    void mergeMenus(Subsystem &subsystem);

    // --- SubsystemHost ---
    QWidget *window() override { return this; }
    void addPanel(PanelSlot slot, QWidget *panel) override;
    bool eventFilter(QObject *watched, QEvent *event) override;

    // --- MenuHost ---
    QAction *addMenuItem(MenuPlace place, const QString &objectName, const QString &caption) override;

    // First use: the load steps in order (the constructor does not run them).
    void Form_Load();
    bool isLoaded() const { return m_loaded; }

    // Timer ticks, callable directly.
    void tmrStart_Timer();
    void Timer2_Timer();
    // Escape anywhere in the main window.
    void EscapePressed();

    // --- tray ---
    void MinimizeToTray();
    void RestoreFromTray();
    void cmdMinimize_Click();
    QSystemTrayIcon *trayIcon() const { return m_tray; }
    // What the tray and the report alerts do to this window.
    WindowActions &windowActions() { return *m_windowActions; }

    // --- menu actions that this window owns ---
    void mnuExit_Click();
    // Ctrl+Alt+B: the raw receive view, for the maintainer's name only.
    void OpenRawView();
    bool rawViewEnabled() const { return m_rawViewEnabled; }
    void ShowTerms();
    void ShowHelp();
    void ShowStartupOptions();
    void ShowAbout();
    void OpenMakerPage(const QString &path);
    // The sign-off message sent at exit.
    QString SignOffMessage() const;

    // The site of the help pages, set at build time (NIMBREL_HELP_SITE);
    // empty: the pages shipped in the data folder's "help" folder.
    static const QString HelpSite;

signals:
    void rawViewRequested();
    void observerIdRequested();
    // Form_Load has run its steps and started the timers.
    void loaded();
    // The window is closing: the windows it does not own close with it.
    void closing();
    // The status line was clicked.
    void statusLineClicked();

protected:
    void closeEvent(QCloseEvent *event) override;

private:
    void updateSlotStretch(PanelSlot slot);
    void buildMenus();
    void buildCentral();
    void buildTray();
    void showStatusLine();
    void sendSignOff();
    void updateMenuVisibility();

    ClientState &m_state;
    ServerLink &m_link;
    StatusLine &m_statusLine;
    ClientServices m_services;
    std::vector<Subsystem *> m_subsystems;
    std::unique_ptr<WindowActions> m_windowActions;
    QSystemTrayIcon *m_tray = nullptr;
    QTimer *m_tmrStart = nullptr;
    QTimer *m_timer2 = nullptr;
    QLabel *m_lblStatus = nullptr;
    QPushButton *m_cmdMinimize = nullptr;
    QVBoxLayout *m_slots[4] = {};
    QHBoxLayout *m_rows[2] = {};
    struct MergePoint
    {
        QWidget *menu = nullptr; // a menu or the menu bar
        QAction *marker = nullptr;
    };
    std::array<MergePoint, std::size_t(MenuPlace::Count)> m_places{};
    int m_startStep = 0;
    bool m_loaded = false;
    bool m_rawViewEnabled = false;
    bool m_closing = false;
};
