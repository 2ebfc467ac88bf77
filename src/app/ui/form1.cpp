#include "app/ui/form1.h"

#include "app/startup.h"
#include "app/ui/info_windows.h"
#include "base/client_state.h"
#include "base/list_files.h"
#include "base/status_line.h"
#include "base/ui/colour.h"
#include "base/ui/program_art.h"
#include "base/ui/scale_window.h"
#include "net/server_link.h"
#include "platform/dialogs.h"
#include "platform/shell.h"
#include "platform/ui/qt_platform.h"

#include <QAction>
#include <QCloseEvent>
#include <QHBoxLayout>
#include <QLabel>
#include <QMenuBar>
#include <QPushButton>
#include <QShortcut>
#include <QSystemTrayIcon>
#include <QTimer>
#include <QVBoxLayout>

namespace {
// The main window's size on the reference screen, in reference pixels.
constexpr QSize DesignSize(800, 570);
// A menu with nothing to choose is not shown; submenus count by their items.
bool showIfUsed(QMenu *menu)
{
    bool used = false;
    for (QAction *a : menu->actions()) {
        if (QMenu *sub = a->menu()) {
            const bool subUsed = showIfUsed(sub);
            a->setVisible(subUsed);
            used = used || subUsed;
        } else if (!a->isSeparator() && a->isVisible()) {
            used = true;
        }
    }
    return used;
}
} // namespace

Form1::Form1(ClientState &state, ServerLink &link, StatusLine &statusLine, ClientServices services,
             QWidget *parent)
    : QMainWindow(parent), m_state(state), m_link(link), m_statusLine(statusLine),
      m_services(std::move(services))
{
    setObjectName(QStringLiteral("Form1"));
    // The leading blank is part of the caption users know from the help pages and screenshots.
    setWindowTitle(QStringLiteral(" Nimbrel 2.5"));
    setWindowIcon(ProgramIcon());
    buildCentral();
    buildMenus();
    buildTray();
    m_windowActions = std::make_unique<QtWindowActions>(this, m_tray);

    auto timer = [this](const char *name, int ms, void (Form1::*tick)()) {
        auto *t = new QTimer(this);
        t->setObjectName(QString::fromLatin1(name));
        t->setInterval(ms);
        connect(t, &QTimer::timeout, this, tick);
        return t;
    };
    m_tmrStart = timer("tmrStart", 300, &Form1::tmrStart_Timer);
    m_timer2 = timer("Timer2", 60'000, &Form1::Timer2_Timer);
    // A minute step needs no precision; a coarse timer lets the process sleep.
    m_timer2->setTimerType(Qt::VeryCoarseTimer);

    connect(&m_statusLine, &StatusLine::changed, this, &Form1::showStatusLine);
    showStatusLine();

    auto shortcut = [this](const QKeySequence &keys, void (Form1::*run)()) {
        auto *s = new QShortcut(keys, this);
        s->setContext(Qt::WindowShortcut);
        connect(s, &QShortcut::activated, this, run);
    };
    shortcut(QKeySequence(Qt::Key_Escape), &Form1::EscapePressed);
    shortcut(QKeySequence(Qt::CTRL | Qt::ALT | Qt::Key_B), &Form1::OpenRawView);
}

Form1::~Form1() = default;

void Form1::addSubsystem(Subsystem &subsystem)
{
    m_subsystems.push_back(&subsystem);
    subsystem.buildWindows(*this);
}

void Form1::mergeMenus(Subsystem &subsystem)
{
    subsystem.buildMenus(*this);
    // Once per subsystem, not per item: a menu shows when something is in it.
    updateMenuVisibility();
}

void Form1::buildCentral()
{
    auto *central = new QWidget(this);
    auto *outer = new QVBoxLayout(central);
    outer->setContentsMargins(4, 4, 4, 4);
    for (auto &slot : m_slots)
        slot = new QVBoxLayout;

    auto *upper = new QHBoxLayout;
    upper->addLayout(m_slots[int(PanelSlot::Reports)]);
    upper->addLayout(m_slots[int(PanelSlot::Warnings)]);
    outer->addLayout(upper, 1);
    auto *lower = new QHBoxLayout;
    lower->addLayout(m_slots[int(PanelSlot::QuickChat)]);
    lower->addLayout(m_slots[int(PanelSlot::Graphics)]);
    outer->addLayout(lower);
    m_rows[0] = upper;
    m_rows[1] = lower;

    auto *statusRow = new QHBoxLayout;
    m_lblStatus = new QLabel(central);
    m_lblStatus->setObjectName(QStringLiteral("lblStatus"));
    m_lblStatus->setTextFormat(Qt::PlainText);
    m_lblStatus->setAutoFillBackground(true);
    m_lblStatus->setFrameShape(QFrame::Panel);
    m_lblStatus->setFrameShadow(QFrame::Sunken);
    m_lblStatus->setMinimumWidth(100);
    m_lblStatus->installEventFilter(this);
    m_lblStatus->setSizePolicy(QSizePolicy::Ignored, QSizePolicy::Preferred);
    m_cmdMinimize = new QPushButton(QStringLiteral("Minimize to &Tray"), central);
    m_cmdMinimize->setObjectName(QStringLiteral("cmdMinimize"));
    connect(m_cmdMinimize, &QPushButton::clicked, this, &Form1::cmdMinimize_Click);
    statusRow->addWidget(m_lblStatus, 1);
    statusRow->addWidget(m_cmdMinimize);
    outer->addLayout(statusRow);
    setCentralWidget(central);
}

void Form1::addPanel(PanelSlot slot, QWidget *panel)
{
    m_slots[int(slot)]->addWidget(panel);
    panel->setProperty("panelSlot", int(slot));
    panel->installEventFilter(this);
    updateSlotStretch(slot);
}

// A slot takes its share of the row only while it shows a panel, so a panel
// alone in its row, or beside a hidden one, gets the whole width.
void Form1::updateSlotStretch(PanelSlot slot)
{
    QVBoxLayout *layout = m_slots[int(slot)];
    bool shown = false;
    for (int i = 0; i < layout->count(); ++i)
        if (QWidget *w = layout->itemAt(i)->widget(); w && !w->isHidden())
            shown = true;
    const bool upper = slot == PanelSlot::Reports || slot == PanelSlot::Warnings;
    const bool main = slot == PanelSlot::Reports || slot == PanelSlot::QuickChat;
    m_rows[upper ? 0 : 1]->setStretchFactor(layout, shown ? (main ? 3 : 1) : 0);
}

bool Form1::eventFilter(QObject *watched, QEvent *event)
{
    if (watched == m_lblStatus && event->type() == QEvent::MouseButtonRelease)
        emit statusLineClicked();
    if (event->type() == QEvent::ShowToParent || event->type() == QEvent::HideToParent) {
        const QVariant slot = watched->property("panelSlot");
        if (slot.isValid())
            updateSlotStretch(PanelSlot(slot.toInt()));
    }
    return QMainWindow::eventFilter(watched, event);
}

QAction *Form1::addMenuItem(MenuPlace place, const QString &objectName, const QString &caption)
{
    auto *a = new QAction(caption, this);
    a->setObjectName(objectName);
    const MergePoint &at = m_places[std::size_t(place)];
    at.menu->insertAction(at.marker, a);
    return a;
}

void Form1::updateMenuVisibility()
{
    for (QAction *a : menuBar()->actions())
        if (QMenu *menu = a->menu())
            a->setVisible(showIfUsed(menu));
}

void Form1::buildMenus()
{
    const auto menu = [this](QWidget *parentMenu, const char *objectName, const char *caption) {
        auto *m = new QMenu(QString::fromLatin1(caption), this);
        m->setObjectName(QString::fromLatin1(objectName));
        parentMenu->addAction(m->menuAction());
        return m;
    };
    const auto item = [this](QMenu *into, const char *objectName, const char *caption, auto &&run) {
        QAction *a = into->addAction(QString::fromLatin1(caption));
        a->setObjectName(QString::fromLatin1(objectName));
        connect(a, &QAction::triggered, this, run);
    };
    // A merge point is a hidden action that items are inserted before.
    const auto place = [this](MenuPlace at, QWidget *into) {
        auto *marker = new QAction(this);
        marker->setSeparator(true);
        marker->setVisible(false);
        into->addAction(marker);
        m_places[std::size_t(at)] = {into, marker};
    };

    QMenu *file = menu(menuBar(), "mnuFile", "&File");
    place(MenuPlace::File, file);
    item(file, "mnuExit", "&Exit", &Form1::mnuExit_Click);

    QMenu *edit = menu(menuBar(), "mnuEdit", "&Edit");
    place(MenuPlace::EditLists, menu(edit, "mnuEditLists", "&Edit Lists"));
    edit->addSeparator();
    place(MenuPlace::Edit, edit);

    QMenu *settings = menu(menuBar(), "mnuSettings", "Se&ttings");
    // Two spaces in the caption, as users and the help pages know the item.
    item(settings, "mnuObserverID", "&Observer ID  and Location", &Form1::observerIdRequested);
    place(MenuPlace::Settings, settings);
    place(MenuPlace::Appearance, menu(settings, "mnuAppearance", "A&ppearance"));
    place(MenuPlace::Time, menu(settings, "mnuTime", "&Time"));
    settings->addSeparator();
    item(settings, "mnuStartupOptions", "&Startup Options", &Form1::ShowStartupOptions);
    place(MenuPlace::SettingsLower, settings);

    place(MenuPlace::Observers, menu(menuBar(), "mnuObservers", "&Observers"));
    place(MenuPlace::MenuBar, menuBar());

    QMenu *help = menu(menuBar(), "mnuHelpMenu", "&Help");
    item(help, "mnuOverview", "&Brief Overview", &Form1::ShowHelp);
    item(help, "mnuHelp", "&Help", [this] { OpenMakerPage(QStringLiteral("/help.htm")); });
    item(help, "mnuDisclaimer", "&Disclaimer and Terms of Use", &Form1::ShowTerms);
    item(help, "mnuGuidelines", "&Guidelines and Rules",
         [this] { OpenMakerPage(QStringLiteral("/guidelines.htm")); });
    item(help, "mnuFAQ", "&Software Frequently Asked Questions",
         [this] { OpenMakerPage(QStringLiteral("/softwarefaq.htm")); });
    item(help, "mnuSupport", "&Support Nimbrel!", [this] { OpenMakerPage(QStringLiteral("/donate.htm")); });
    place(MenuPlace::Help, help);
    help->addSeparator();
    item(help, "mnuAbout", "&About", &Form1::ShowAbout);
    updateMenuVisibility();
}

void Form1::buildTray()
{
    m_tray = new QSystemTrayIcon(this);
    m_tray->setObjectName(QStringLiteral("trayIcon"));
    m_tray->setToolTip(QStringLiteral("Nimbrel Program"));
    // Without an image many desktops show nothing to click in the tray.
    m_tray->setIcon(ProgramIcon());
    connect(m_tray, &QSystemTrayIcon::activated, this, [this](QSystemTrayIcon::ActivationReason reason) {
        // A left or right click brings the window back.
        if (reason == QSystemTrayIcon::Trigger || reason == QSystemTrayIcon::Context)
            RestoreFromTray();
    });
}

void Form1::showStatusLine()
{
    m_lblStatus->setText(m_statusLine.text());
    QPalette p = m_lblStatus->palette();
    const QPalette normal = palette();
    const auto fore = m_statusLine.fore();
    const auto back = m_statusLine.back();
    p.setColor(QPalette::WindowText, fore ? ToQColor(*fore) : normal.color(QPalette::WindowText));
    p.setColor(QPalette::Window, back ? ToQColor(*back) : normal.color(QPalette::Button));
    m_lblStatus->setPalette(p);
}

void Form1::Form_Load()
{
    if (m_loaded)
        return;
    m_loaded = true;
    const auto step = [this](LoadStep at) {
        for (Subsystem *subsystem : m_subsystems)
            subsystem->loadStep(at);
    };
    ScaleWindow(this, FormScaling::WindowGroup::Main, DesignSize);
    step(LoadStep::Scaled);
    // The built-in groups first; GroupList.txt replaces them when present.
    LoadListFiles(m_state);
    step(LoadStep::ListsRead);

    m_link.start();
    m_tmrStart->start();
    m_timer2->start();
    step(LoadStep::Started);
    emit loaded();
}

void Form1::tmrStart_Timer()
{
    ++m_startStep;
    if (m_startStep == 1) {
        if (m_state.settings.StartInTray == 1)
            MinimizeToTray();
        m_link.Connect();
    } else {
        m_tmrStart->stop();
    }
    for (Subsystem *subsystem : m_subsystems)
        subsystem->startTick(m_startStep);
}

void Form1::Timer2_Timer()
{
    m_link.IdleWatchdogStep();
    for (Subsystem *subsystem : m_subsystems)
        subsystem->minute();
}

void Form1::EscapePressed()
{
    bool allEmpty = true;
    for (const Subsystem *subsystem : m_subsystems)
        allEmpty = allEmpty && subsystem->inputEmpty();
    for (Subsystem *subsystem : m_subsystems)
        subsystem->escape(allEmpty);
}

void Form1::MinimizeToTray()
{
    // Without a tray this minimises instead, so the window is never lost.
    m_windowActions->hideToTray();
}

void Form1::RestoreFromTray()
{
    if (m_windowActions->isInTray())
        m_windowActions->showFromTray();
    else if (m_windowActions->isMinimised())
        m_windowActions->restoreFromMinimised();
}

void Form1::cmdMinimize_Click()
{
    for (Subsystem *subsystem : m_subsystems)
        subsystem->beforeMinimize();
    MinimizeToTray();
}

QString Form1::SignOffMessage() const
{
    return Startup::SignOffMessage(m_state.settings);
}

void Form1::sendSignOff()
{
    // The program ends right after: the bytes go to the system now.
    m_link.SendData(SignOffMessage());
    m_link.flushNow();
}

void Form1::mnuExit_Click()
{
    sendSignOff();
    m_closing = true;
    m_tray->hide();
    m_services.end();
}

void Form1::closeEvent(QCloseEvent *event)
{
    if (m_closing) {
        event->accept();
        return;
    }
    m_closing = true;
    sendSignOff();
    emit closing();
    for (Subsystem *subsystem : m_subsystems)
        subsystem->closeWindows();
    m_tray->hide();
    event->accept();
    m_services.end();
}

void Form1::OpenRawView()
{
    if (!Startup::IsMaintainerName(m_state.settings.UserName))
        return;
    m_rawViewEnabled = true;
    emit rawViewRequested();
}

void Form1::ShowTerms()
{
    if (!RunTermsWindow(m_state, m_services.dialogs, this))
        m_services.end();
}

void Form1::ShowHelp()
{
    ShowHelpWindow(m_state, this);
}

void Form1::ShowStartupOptions()
{
    ShowStartupOptionsWindow(m_state, this);
}

#ifndef NIMBREL_HELP_SITE
#define NIMBREL_HELP_SITE ""
#endif
const QString Form1::HelpSite = QStringLiteral(NIMBREL_HELP_SITE);

void Form1::ShowAbout()
{
    m_services.dialogs.messageBox(
        QStringLiteral(
            "Nimbrel 2.5 brings spotters' severe-weather reports to your desktop as they happen.\n\n"
            "If Nimbrel helps you, please recommend it to other spotters. Nimbrel is made by the "
            "Nimbrel volunteers") +
            (HelpSite.isEmpty() ? QStringLiteral(" (Help, Support Nimbrel!).")
                                : QStringLiteral(": ") + HelpSite),
        QStringLiteral("About Nimbrel"), Dialogs::OkOnly, Dialogs::Information);
}

void Form1::OpenMakerPage(const QString &path)
{
    // The pages ship in the data folder unless the build names a site.
    m_services.shell.openUrl(HelpSite.isEmpty()
                                 ? QUrl::fromLocalFile(m_state.filePath(QStringLiteral("help") + path))
                                 : QUrl(HelpSite + path));
}
