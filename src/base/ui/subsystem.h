#pragma once

#include <QString>

#include <functional>

class Clock;
class Dialogs;
class QAction;
class QWidget;
class Notifier;
class ServerLink;
class Shell;
class SoundPlayer;
class StatusLine;
class UrlDownloader;
class WindowActions;
struct ClientState;

// What the desktop provides to the client.
struct ClientServices
{
    Clock &clock;
    Dialogs &dialogs;
    SoundPlayer &sound;
    Shell &shell;
    // Ends the program at once with this exit code (no close events run).
    std::function<void(int)> endProgram;
    // A number from 0 up to, not including, bound; tests fix it.
    std::function<int(int bound)> draw;
    // Desktop notifications; none when null.
    Notifier *notifier = nullptr;

    // Ends the program with code 0 when an ending is wired in.
    void end() const
    {
        if (endProgram)
            endProgram(0);
    }
};

// Everything a subsystem's core objects need for the run, handed to each
// subsystem's constructor by the composition root.
struct ClientContext
{
    ClientState &state;
    ClientServices services;
    ServerLink &link;
    UrlDownloader &downloader;
    StatusLine &statusLine;
    // What the report alerts and the tray do to the main window; it does
    // nothing until the main window exists.
    WindowActions &window;
    // Writes Settings.dat after a change.
    std::function<void()> save;
};

// The main window's first use, in three steps; each runs on every subsystem
// in the order they were added, and the window's own work goes between them.
enum class LoadStep {
    Scaled,    // the window is stretched to the screen; the list files are not read yet
    ListsRead, // the list files are read: show what they hold, apply fonts and modes
    Started,   // the link is started and the main timers run
};

// The merge points of the main window's menus: one per menu, and two in
// Settings (above "A&ppearance" and below "&Startup Options"). Within a
// place, items appear in the order the composition root merges the
// subsystems' menus (Form1::mergeMenus), each subsystem's in the order it
// adds them, the way parts' actions merge into a host's menus. A new
// subsystem merged last puts its items at the end of each place.
enum class MenuPlace {
    File,          // above "&Exit"
    EditLists,     // the "&Edit Lists" submenu
    Edit,          // below "&Edit Lists" and a separator
    Settings,      // below "&Observer ID  and Location"
    Appearance,    // the "A&ppearance" submenu
    Time,          // the "&Time" submenu
    SettingsLower, // below "&Startup Options"
    Observers,
    MenuBar, // items on the menu bar itself, between "&Observers" and "&Help"
    Help,    // above the separator and "&About"
    Count,
};

// Where a subsystem's panel goes in the main window.
enum class PanelSlot {
    Reports,   // the central area
    Warnings,  // beside the report panel, unless the composition root places it
    QuickChat, // below the report panel
    Graphics,  // beside quick chat
};

// What a subsystem may ask of the main window: narrow on purpose, so a
// subsystem never depends on the window's own widgets.
class SubsystemHost
{
public:
    virtual QWidget *window() = 0; // the parent of a subsystem's windows
    virtual void addPanel(PanelSlot slot, QWidget *panel) = 0;

protected:
    ~SubsystemHost() = default;
};

// Where a subsystem's menu items go: appended at their place's merge point.
class MenuHost
{
public:
    // A new menu item; the subsystem connects it.
    virtual QAction *addMenuItem(MenuPlace place, const QString &objectName, const QString &caption) = 0;

protected:
    ~MenuHost() = default;
};

// One subsystem of the client. Its core objects live from its construction
// (for the whole run); buildWindows runs once, when the main window is
// created, and buildMenus once after every subsystem's windows exist. The
// host calls each step on every subsystem in the order the composition root
// added them (reports, community, then the subsystems added after them);
// menus merge in their own order, so that the order of widgets (and with it
// Tab) and the order of menu items are each the one users know.
class Subsystem
{
public:
    virtual ~Subsystem() = default;
    virtual void buildWindows(SubsystemHost &) {}
    virtual void buildMenus(MenuHost &) {}
    virtual void loadStep(LoadStep) {}
    // Timer2's minute, after the link's own idle count.
    virtual void minute() {}
    // tmrStart's ticks after connecting (1 and 2).
    virtual void startTick(int) {}
    // The main window is closing: close the subsystem's own windows.
    virtual void closeWindows() {}
    // "Minimize to &Tray" was pressed, before the window hides.
    virtual void beforeMinimize() {}
    // Escape in the main window: whether the subsystem's typing box is empty,
    // then the key itself, told whether every box was empty before it.
    virtual bool inputEmpty() const { return true; }
    virtual void escape(bool allInputWasEmpty) { (void)allInputWasEmpty; }
};
