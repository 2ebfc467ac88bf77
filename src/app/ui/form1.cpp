#include "app/ui/form1.h"

#include "app/startup.h"
#include "app/ui/info_windows.h"
#include "base/client_state.h"
#include "base/list_files.h"
#include "base/settings.h"
#include "base/ui/program_art.h"
#include "base/ui/scale_window.h"
#include "graphics/url_download.h"
#include "net/server_link.h"
#include "platform/dialogs.h"
#include "platform/shell.h"
#include "platform/ui/qt_platform.h"

#include <QActionGroup>
#include <QCheckBox>
#include <QCloseEvent>
#include <QCoreApplication>
#include <QHBoxLayout>
#include <QLabel>
#include <QMenuBar>
#include <QPixmap>
#include <QPlainTextEdit>
#include <QPushButton>
#include <QRandomGenerator>
#include <QShortcut>
#include <QSystemTrayIcon>
#include <QTimer>
#include <QVBoxLayout>

namespace {
const QString QuickChatTip = QStringLiteral(
    "Quick Chat messages are displayed to all users on main form.  No alerts are fired.  Press Ctrl M for "
    "more message features!");
// The main window's size on the reference screen, in reference pixels.
constexpr QSize DesignSize(800, 570);
// The Time menu's items for TimeMode 0, 1 and 2.
constexpr const char *TimeItemNames[] = {"mnuTimeMilitary", "mnuTimeLocalAMPM", "mnuTimeUTC"};
} // namespace

Form1::Form1(ClientState &state, ServerLink &link, ClientServices services, QWidget *parent)
    : QMainWindow(parent), m_state(state), m_link(link), m_services(std::move(services))
{
    setObjectName(QStringLiteral("Form1"));
    setWindowTitle(QStringLiteral(" Nimbrel 2.5"));
    setWindowIcon(ProgramIcon());
    buildCentral();
    buildMenus();
    buildTimers();
    buildTray();
    m_windowActions = new QtWindowActions(this, m_tray);
    m_minuteSteps[size_t(MinuteStep::IdleWatchdog)] = [this] { m_link.IdleWatchdogStep(); };

    connect(&m_link, &ServerLink::statusChanged, this, &Form1::SetStatus);
    // Queued: a transfer starts inside other steps (the supervision tick), and
    // the line that step writes is shown before the transfer's states follow.
    connect(&m_link.downloader(), &UrlDownloader::progress, this, &Form1::Inet1_StateChanged,
            Qt::QueuedConnection);

    auto shortcut = [this](const QKeySequence &keys, std::function<void()> run) {
        auto *s = new QShortcut(keys, this);
        s->setContext(Qt::WindowShortcut);
        connect(s, &QShortcut::activated, this, std::move(run));
    };
    shortcut(QKeySequence(Qt::CTRL | Qt::Key_M), [this] { runHook(m_shortcutM); });
    shortcut(QKeySequence(Qt::CTRL | Qt::Key_R), [this] { runHook(m_shortcutR); });
    shortcut(QKeySequence(Qt::CTRL | Qt::Key_G), [this] { runHook(m_shortcutG); });
    shortcut(QKeySequence(Qt::CTRL | Qt::ALT | Qt::Key_B), [this] { OpenRawView(); });
}

Form1::~Form1()
{
    delete m_windowActions;
}

void Form1::buildCentral()
{
    auto *central = new QWidget(this);
    auto *outer = new QVBoxLayout(central);
    outer->setContentsMargins(4, 4, 4, 4);

    auto *upper = new QHBoxLayout;
    m_reportSlot = new QVBoxLayout;
    m_warningsSlot = new QVBoxLayout;
    upper->addLayout(m_reportSlot, 3);
    upper->addLayout(m_warningsSlot, 1);
    outer->addLayout(upper, 1);

    auto *lower = new QHBoxLayout;
    auto *quickChat = new QVBoxLayout;
    auto *qcTop = new QHBoxLayout;
    QCLabel = new QLabel(QStringLiteral("Quick Chat"), central);
    QCLabel->setObjectName(QStringLiteral("QCLabel"));
    QCLabel->setToolTip(QuickChatTip);
    QCCheck = new QCheckBox(QStringLiteral("Play quick chat audio alert"), central);
    QCCheck->setObjectName(QStringLiteral("QCCheck"));
    QCCheck->setToolTip(
        QStringLiteral("Audio alerts are played as configured in Settings > Alert and Display Options."));
    qcTop->addWidget(QCLabel);
    qcTop->addStretch();
    qcTop->addWidget(QCCheck);
    QCRec = new QPlainTextEdit(central);
    QCRec->setObjectName(QStringLiteral("QCRec"));
    QCRec->setReadOnly(true);
    QCRec->setToolTip(QStringLiteral(
        "Quick chat messages are displayed to all users on main form.  No alerts are fired.  Press Ctrl M "
        "for more message features!"));
    txtQCSend = new QPlainTextEdit(central);
    txtQCSend->setObjectName(QStringLiteral("txtQCSend"));
    txtQCSend->setPlainText(QStringLiteral("Type quick chat text here and press enter to send!\r\n"));
    txtQCSend->setToolTip(QuickChatTip);
    txtQCSend->setMaximumHeight(txtQCSend->fontMetrics().lineSpacing() * 2 + 12);
    ImageAdd = new QLabel(central);
    ImageAdd->setObjectName(QStringLiteral("ImageAdd"));
    ImageAdd->setTextFormat(Qt::PlainText);
    ImageAdd->setAlignment(Qt::AlignCenter);
    ImageAdd->setCursor(Qt::PointingHandCursor);
    ImageAdd->setMinimumHeight(60);
    ImageAdd->installEventFilter(this);
    // Until the server's picture arrives the area shows our own banner, not a blank band.
    ImageAdd->setPixmap(DefaultBanner(QSize(480, 60)));
    quickChat->addLayout(qcTop);
    quickChat->addWidget(QCRec, 1);
    quickChat->addWidget(txtQCSend);
    quickChat->addWidget(ImageAdd, 1);
    // All four start hidden; ImageAdd holds their place until Timer3's first tick.
    setQuickChatShown(false);
    lower->addLayout(quickChat, 3);
    m_graphicsSlot = new QVBoxLayout;
    lower->addLayout(m_graphicsSlot, 1);
    outer->addLayout(lower);

    auto *statusRow = new QHBoxLayout;
    lblStatus = new QLabel(central);
    lblStatus->setObjectName(QStringLiteral("lblStatus"));
    lblStatus->setTextFormat(Qt::PlainText);
    lblStatus->setAutoFillBackground(true);
    lblStatus->setFrameShape(QFrame::Panel);
    lblStatus->setFrameShadow(QFrame::Sunken);
    lblStatus->setMinimumWidth(100);
    lblStatus->setSizePolicy(QSizePolicy::Ignored, QSizePolicy::Preferred);
    cmdMinimize = new QPushButton(QStringLiteral("Minimize to &Tray"), central);
    cmdMinimize->setObjectName(QStringLiteral("cmdMinimize"));
    connect(cmdMinimize, &QPushButton::clicked, this, &Form1::cmdMinimize_Click);
    statusRow->addWidget(lblStatus, 1);
    statusRow->addWidget(cmdMinimize);
    outer->addLayout(statusRow);

    m_normalFore = lblStatus->palette().color(QPalette::WindowText);
    m_normalBack = lblStatus->palette().color(QPalette::Button);
    setCentralWidget(central);
}

QAction *Form1::addItem(QMenu *menu, const QString &objectName, const QString &caption, bool enabled)
{
    auto *a = new QAction(caption, this);
    a->setObjectName(objectName);
    a->setEnabled(enabled);
    if (menu)
        menu->addAction(a);
    else
        menuBar()->addAction(a);
    return a;
}

void Form1::buildMenus()
{
    auto menu = [this](QMenu *parentMenu, const QString &objectName, const QString &caption) {
        QMenu *m = parentMenu ? parentMenu->addMenu(caption) : menuBar()->addMenu(caption);
        m->setObjectName(objectName);
        return m;
    };
    auto S = [](const char *s) { return QString::fromLatin1(s); };

    QMenu *file = menu(nullptr, S("mnuFile"), S("&File"));
    connect(addItem(file, S("mnuExit"), S("&Exit"), true), &QAction::triggered, this, &Form1::mnuExit_Click);

    QMenu *edit = menu(nullptr, S("mnuEdit"), S("&Edit"));
    QMenu *lists = menu(edit, S("mnuEditLists"), S("&Edit Lists"));
    for (int i = 1; i <= 5; ++i)
        addItem(lists, S("mnuList%1").arg(i), S("List &%1").arg(i), false);
    addItem(lists, S("mnuList6"), S("List Severe / Wind"), false);
    addItem(lists, S("mnuList7"), S("List Flood / Winter / Other"), false);
    edit->addSeparator();
    addItem(edit, S("mnuCopyList"), S("&Copy List to Clipboard"), false);
    addItem(edit, S("mnuCopySelcted"), S("Copy &Selected Records to Clipboard"), false);

    QMenu *settings = menu(nullptr, S("mnuSettings"), S("Se&ttings"));
    connect(addItem(settings, S("mnuObserverID"), S("&Observer ID  and Location"), true), &QAction::triggered,
            this, [this] { runHook(m_showSignOnAsSettings); });
    addItem(settings, S("mnuAlertOptions"), S("&Alert and Display Options"), false);
    QMenu *appearance = menu(settings, S("mnuAppearance"), S("A&ppearance"));
    addItem(appearance, S("mnuFont"), S("&Font"), false);
    addItem(appearance, S("mnuSaveColumns"), S("&Save Current Column Widths"), false);
    QMenu *time = menu(settings, S("mnuTime"), S("&Time"));
    auto *timeGroup = new QActionGroup(this);
    const char *timeCaptions[] = {"&Local Military", "Local &AM PM", "&UTC"};
    for (int i = 0; i < 3; ++i) {
        QAction *a = addItem(time, S(TimeItemNames[i]), S(timeCaptions[i]), false);
        a->setCheckable(true);
        timeGroup->addAction(a);
    }
    settings->addSeparator();
    connect(addItem(settings, S("mnuStartupOptions"), S("&Startup Options"), true), &QAction::triggered, this,
            &Form1::ShowStartupOptions);
    addItem(settings, S("mnuGraphicLinks"), S("&Graphic URL Source Links and Settings"), false);
    addItem(settings, S("mnuRecord"), S("&Record Observations to File"), false)->setCheckable(true);
    addItem(settings, S("mnuAdditionalCounties"), S("Add Additional &Counties"), false);
    addItem(settings, S("mnuTavrel"), S("Connect to &Tavrel and Display Automated Data"), false)
        ->setCheckable(true);
    addItem(settings, S("mnuConnectWeatherStation"), S("Home Weather Station Data"), false);

    QMenu *observers = menu(nullptr, S("mnuObservers"), S("&Observers"));
    addItem(observers, S("mnuListObservers"), S("&List Observers"), false);
    addItem(observers, S("mnuActiveChats"), S("&Active Chats"), false);
    addItem(observers, S("mnuFilter"), S("&Filter"), false);
    addItem(observers, S("mnuNewObserverAlert"), S("Alert on &New Observer Sign In"), false)
        ->setCheckable(true);

    addItem(nullptr, S("mnuMessaging"), S("Send &Messages"), false);
    addItem(nullptr, S("mnuRoutineReport"), S("&Routine Formatted Report"), false);
    addItem(nullptr, S("mnuLists"), S("&Lists"), false);
    addItem(nullptr, S("mnuAutomatedStations"), S("&Automated Stations"), false);

    QMenu *help = menu(nullptr, S("mnuHelpMenu"), S("&Help"));
    connect(addItem(help, S("mnuOverview"), S("&Brief Overview"), true), &QAction::triggered, this,
            &Form1::ShowHelp);
    connect(addItem(help, S("mnuHelp"), S("&Help"), true), &QAction::triggered, this,
            [this] { OpenMakerPage(QStringLiteral("/help.htm")); });
    connect(addItem(help, S("mnuDisclaimer"), S("&Disclaimer and Terms of Use"), true), &QAction::triggered,
            this, &Form1::ShowTerms);
    connect(addItem(help, S("mnuGuidelines"), S("&Guidelines and Rules"), true), &QAction::triggered, this,
            [this] { OpenMakerPage(QStringLiteral("/guidelines.htm")); });
    connect(addItem(help, S("mnuFAQ"), S("&Software Frequently Asked Questions"), true), &QAction::triggered,
            this, [this] { OpenMakerPage(QStringLiteral("/softwarefaq.htm")); });
    connect(addItem(help, S("mnuSupport"), S("&Support Nimbrel!"), true), &QAction::triggered, this,
            [this] { OpenMakerPage(QStringLiteral("/donate.htm")); });
    help->addSeparator();
    connect(addItem(help, S("mnuAbout"), S("&About"), true), &QAction::triggered, this, &Form1::ShowAbout);
}

QAction *Form1::menuAction(const QString &objectName) const
{
    return findChild<QAction *>(objectName);
}

void Form1::buildTimers()
{
    auto make = [this](const char *name, int ms, void (Form1::*tick)()) {
        auto *t = new QTimer(this);
        t->setObjectName(QString::fromLatin1(name));
        t->setInterval(ms);
        connect(t, &QTimer::timeout, this, tick);
        return t;
    };
    tmrStart = make("tmrStart", 300, &Form1::tmrStart_Timer);
    Timer2 = make("Timer2", 60'000, &Form1::Timer2_Timer);
    Timer3 = make("Timer3", 20'000, &Form1::Timer3_Timer);
    tmrStatusFlash = make("tmrStatusFlash", 4'000, &Form1::tmrStatusFlash_Timer);
    tmrRefresh = new QTimer(this);
    tmrRefresh->setObjectName(QStringLiteral("tmrRefresh"));
    tmrRefresh->setInterval(30'000);
    // Idle timers need no precision; coarse ones let the process sleep.
    for (QTimer *t : {Timer2, Timer3, tmrStatusFlash, tmrRefresh})
        t->setTimerType(Qt::VeryCoarseTimer);
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

void Form1::setReportPanel(QWidget *panel)
{
    m_reportSlot->addWidget(panel);
}

void Form1::setWarningsPanel(QWidget *panel)
{
    m_warningsSlot->addWidget(panel);
}

void Form1::setGraphicsPanel(QWidget *panel)
{
    m_graphicsSlot->addWidget(panel);
}

void Form1::setLoadStep(LoadStep step, std::function<void()> fn)
{
    m_loadSteps[size_t(step)] = std::move(fn);
}

void Form1::setMinuteStep(MinuteStep step, std::function<void()> fn)
{
    m_minuteSteps[size_t(step)] = std::move(fn);
}

void Form1::setCloser(ClosingWindow window, std::function<void()> fn)
{
    m_closers[size_t(window)] = std::move(fn);
}

void Form1::setShortcutHandler(QChar key, std::function<void()> fn)
{
    switch (key.toUpper().unicode()) {
    case u'M':
        m_shortcutM = std::move(fn);
        break;
    case u'R':
        m_shortcutR = std::move(fn);
        break;
    case u'G':
        m_shortcutG = std::move(fn);
        break;
    default:
        break;
    }
}

void Form1::setRawViewOpener(std::function<void()> fn)
{
    m_rawViewOpener = std::move(fn);
}

void Form1::setStartTickStep(std::function<void()> fn)
{
    m_startTickStep = std::move(fn);
}

void Form1::setBeforeMinimize(std::function<void()> fn)
{
    m_beforeMinimize = std::move(fn);
}

void Form1::setSignOnForm(QWidget *form, std::function<void()> showAsSettings)
{
    m_signOnForm = form;
    m_showSignOnAsSettings = std::move(showAsSettings);
}

void Form1::runHook(const std::function<void()> &fn) const
{
    if (fn)
        fn();
}

void Form1::Form_Load()
{
    if (m_loaded)
        return;
    m_loaded = true;
    auto step = [this](LoadStep s) { runHook(m_loadSteps[size_t(s)]); };
    step(LoadStep::CreateColumns);
    step(LoadStep::FillTables);
    ScaleWindow(this, FormScaling::WindowGroup::Main, DesignSize);
    step(LoadStep::AfterScaling);
    step(LoadStep::ComputeUtcOffset);
    menuAction(QStringLiteral("mnuRecord"))->setChecked(m_state.settings.RecordObservations == 1);
    // The built-in groups first; GroupList.txt replaces them when present.
    LoadListFiles(m_state);
    step(LoadStep::ListFiles);
    step(LoadStep::ReportTimeStamp);
    step(LoadStep::Fonts);
    const int mode = m_state.settings.TimeMode;
    if (mode >= 0 && mode <= 2)
        menuAction(QString::fromLatin1(TimeItemNames[mode]))->setChecked(true);
    step(LoadStep::TimeMode);
    step(LoadStep::WarnLink);
    step(LoadStep::FullSizeImage);
    step(LoadStep::LaunchWarnProgram);
    NightlyTime = Startup::NightlyTime(int(QRandomGenerator::global()->bounded(31)));

    m_link.start();
    tmrStart->start();
    Timer2->start();
    Timer3->start();
}

void Form1::tmrStart_Timer()
{
    ++m_startStep;
    if (m_startStep == 1) {
        if (m_state.settings.StartInTray == 1)
            MinimizeToTray();
        m_link.Connect();
    } else {
        tmrStart->stop();
    }
    runHook(m_startTickStep);
}

void Form1::Timer2_Timer()
{
    for (const auto &fn : m_minuteSteps)
        runHook(fn);
}

void Form1::Timer3_Timer()
{
    Timer3->stop();
    HideAnnouncement();
}

void Form1::tmrStatusFlash_Timer()
{
    tmrStatusFlash->stop();
    QPalette p = lblStatus->palette();
    p.setColor(QPalette::WindowText, m_normalFore);
    p.setColor(QPalette::Window, m_normalBack);
    lblStatus->setPalette(p);
}

void Form1::SetStatus(const QString &text, StatusStyle style)
{
    lblStatus->setText(text);
    if (style == StatusStyle::Normal)
        return;
    QPalette p = lblStatus->palette();
    p.setColor(QPalette::Window, style == StatusStyle::Red ? QColor(255, 0, 0) : m_normalBack);
    lblStatus->setPalette(p);
}

void Form1::FlashStatus(const QColor &fore, const QColor &back)
{
    QPalette p = lblStatus->palette();
    p.setColor(QPalette::WindowText, fore);
    p.setColor(QPalette::Window, back);
    lblStatus->setPalette(p);
    tmrStatusFlash->start();
}

void Form1::ShowStatusLine(const QString &text)
{
    m_link.holdStatusLine();
    lblStatus->setText(text);
    m_link.releaseStatusLine();
}

void Form1::Inet1_StateChanged(int state, const QString &text)
{
    if (UrlDownload::StateText(state).isEmpty())
        return;
    SetStatus(text, state == UrlDownload::ErrorState ? StatusStyle::Red : StatusStyle::Normal);
}

void Form1::ShowAnnouncement(const QString &imagePath, const QString &tooltip, const QString &link)
{
    if (!imagePath.isEmpty()) {
        QPixmap pic(imagePath);
        if (!pic.isNull())
            ImageAdd->setPixmap(pic.scaled(ImageAdd->size().expandedTo(QSize(1, 60)), Qt::KeepAspectRatio,
                                           Qt::SmoothTransformation));
    }
    // Tool tips guess rich text; escaping inside a rich-text wrapper keeps
    // the server's text plain.
    ImageAdd->setToolTip(tooltip.isEmpty() ? QString()
                                           : QStringLiteral("<p>%1</p>").arg(tooltip.toHtmlEscaped()));
    m_announcementLink = link;
    setQuickChatShown(false);
    ImageAdd->show();
    Timer3->start();
}

void Form1::HideAnnouncement()
{
    setQuickChatShown(true);
    ImageAdd->hide();
}

void Form1::setQuickChatShown(bool shown)
{
    for (QWidget *w : {static_cast<QWidget *>(QCLabel), static_cast<QWidget *>(QCRec),
                       static_cast<QWidget *>(txtQCSend), static_cast<QWidget *>(QCCheck)})
        w->setVisible(shown);
}

void Form1::ImageAdd_Click()
{
    if (m_announcementLink.isEmpty())
        return;
    const QUrl url(m_announcementLink);
    // The link came from the network: only web pages are opened.
    if (IsSafeNetworkUrl(url))
        m_services.shell.openUrl(url);
}

bool Form1::eventFilter(QObject *watched, QEvent *event)
{
    if (watched == ImageAdd && event->type() == QEvent::MouseButtonRelease) {
        ImageAdd_Click();
        return true;
    }
    return QMainWindow::eventFilter(watched, event);
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
    runHook(m_beforeMinimize);
    MinimizeToTray();
}

QString Form1::SignOffMessage() const
{
    return Startup::SignOffMessage(m_state.settings);
}

void Form1::sendSignOff()
{
    m_link.SendData(SignOffMessage());
    m_link.Winsock1().flush();
    QCoreApplication::processEvents();
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
    if (m_signOnForm)
        m_signOnForm->close();
    for (const auto &fn : m_closers)
        runHook(fn);
    m_tray->hide();
    event->accept();
    m_services.end();
}

void Form1::OpenRawView()
{
    if (!Startup::IsMaintainerName(m_state.settings.UserName))
        return;
    runHook(m_rawViewOpener);
    if (!m_rawViewEnabled) {
        m_rawViewEnabled = true;
        emit rawViewEnabledChanged(true);
    }
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

void Form1::ShowAbout()
{
    m_services.dialogs.messageBox(
        QStringLiteral(
            "Nimbrel 2.5 brings spotters' severe-weather reports to your desktop as they happen.\n\n"
            "If Nimbrel helps you, please recommend it to other spotters. Nimbrel is made by the "
            "Nimbrel volunteers: %1")
            .arg(MakerSite),
        QStringLiteral("About Nimbrel"), Dialogs::OkOnly, Dialogs::Information);
}

void Form1::OpenMakerPage(const QString &path)
{
    m_services.shell.openUrl(QUrl(MakerSite + path));
}
