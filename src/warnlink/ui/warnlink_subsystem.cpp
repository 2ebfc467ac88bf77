#include "warnlink/ui/warnlink_subsystem.h"

#include "base/client_state.h"
#include "base/form_scaling.h"
#include "base/ui/colour.h"
#include "platform/dialogs.h"
#include "platform/shell.h"

#include <QAction>
#include <QCheckBox>
#include <QFileInfo>
#include <QHBoxLayout>
#include <QHeaderView>
#include <QLabel>
#include <QTreeView>
#include <QVBoxLayout>

using namespace Qt::Literals::StringLiterals;

namespace {

const QString InstalledPath = u"c:\\Program Files\\Tavrelon\\Tavrelon.exe"_s;

bool isProgramFile(const QString &path)
{
    const QFileInfo f(path);
    return !path.isEmpty() && f.isFile();
}

} // namespace

WarnLinkSubsystem::WarnLinkSubsystem(const ClientContext &context, quint16 port, QObject *parent)
    : QObject(parent), m_context(context), m_listener(m_model, context.statusLine, port)
{
    m_model.setForegroundProvider(ForegroundBrush);
}

WarnLinkSubsystem::~WarnLinkSubsystem() = default;

QString WarnLinkSubsystem::MakerAddress()
{
    return u"https://nimbrel.example.org/tavrel"_s;
}

void WarnLinkSubsystem::buildWindows(SubsystemHost &host)
{
    m_panel = new QWidget(host.window());
    m_panel->setObjectName(u"warningsPanel"_s);
    auto *layout = new QVBoxLayout(m_panel);
    layout->setContentsMargins(0, 0, 0, 0);
    auto *top = new QHBoxLayout;
    m_lblTavrel = new QLabel(u"Automated Data from Tavrel"_s, m_panel);
    m_lblTavrel->setObjectName(u"lblTavrel"_s);
    m_lblTavrel->setToolTip(u"Tavrel must also be running!"_s);
    m_chkTavrelAudioAlert = new QCheckBox(u"Play audio alerts for automated warnings."_s, m_panel);
    m_chkTavrelAudioAlert->setObjectName(u"chkTavrelAudioAlert"_s);
    m_chkTavrelAudioAlert->setToolTip(
        u"Audio alerts are played as configured in Settings > Alert and Display Options."_s);
    // One above the other: side by side they held the panel at half the
    // window, squeezing the report list.
    top->addWidget(m_lblTavrel);
    top->addStretch(1);
    layout->addLayout(top);
    layout->addWidget(m_chkTavrelAudioAlert);

    m_listView2 = new QTreeView(m_panel);
    m_listView2->setObjectName(u"ListView2"_s);
    m_listView2->setRootIsDecorated(false);
    m_listView2->setUniformRowHeights(true);
    m_listView2->setAllColumnsShowFocus(true);
    m_listView2->setModel(&m_model);
    for (int c = 0; c < WarningRow::ColumnCount; ++c)
        m_listView2->setColumnWidth(c, int(WarningsModel::DefaultWidthTwips(c) / FormScaling::TwipsPerPixel));
    layout->addWidget(m_listView2, 1);
    host.addPanel(PanelSlot::Warnings, m_panel);

    connect(m_chkTavrelAudioAlert, &QCheckBox::toggled, this, [this](bool on) {
        emit tavrelAudioAlertChanged(on);
        emit focusReportText();
    });
    connect(m_listView2, &QTreeView::clicked, this, &WarnLinkSubsystem::ListView2_ItemClick);
    m_panel->hide();
}

void WarnLinkSubsystem::buildMenus(MenuHost &host)
{
    m_mnuTavrel = host.addMenuItem(MenuPlace::SettingsLower, u"mnuTavrel"_s,
                                   u"Connect to &Tavrel and Display Automated Data"_s);
    m_mnuTavrel->setCheckable(true);
    connect(m_mnuTavrel, &QAction::triggered, this, &WarnLinkSubsystem::mnuTavrel_Click);
}

void WarnLinkSubsystem::loadStep(LoadStep step)
{
    const SettingsRecord &s = m_context.state.settings;
    if (step != LoadStep::ListsRead)
        return;
    applyListFont();
    if (s.WarnLinkEnabled == 1) {
        if (m_mnuTavrel)
            m_mnuTavrel->setChecked(true);
        m_listener.StartWarningListener();
        ShowWarningsPanel();
    }
    if (s.LaunchWarnProgram == 1)
        StartWarningProgram();
}

void WarnLinkSubsystem::applyListFont()
{
    if (!m_listView2)
        return;
    const QFont font = ListFont(m_context.state.settings);
    m_listView2->setFont(font);
    QFont bold = font;
    bold.setBold(true);
    m_model.setBoldFontProvider([bold] { return QVariant(bold); });
}

void WarnLinkSubsystem::minute()
{
    if (m_context.state.settings.WarnLinkEnabled == 1)
        m_listener.MinuteTick();
}

void WarnLinkSubsystem::ShowWarningsPanel()
{
    // The panel's own slot gives the report list its room back when hidden.
    if (m_panel)
        m_panel->setVisible(m_context.state.settings.WarnLinkEnabled != 0);
}

void WarnLinkSubsystem::mnuTavrel_Click()
{
    SettingsRecord &s = m_context.state.settings;
    // The mark follows the setting, whatever the click did to it.
    const bool wasOn = s.WarnLinkEnabled == 1;
    if (m_mnuTavrel)
        m_mnuTavrel->setChecked(!wasOn);
    if (wasOn) {
        s.WarnLinkEnabled = 0;
        m_listener.Close();
    } else {
        s.WarnLinkEnabled = 1;
        m_context.services.dialogs.messageBox(u"You must also click Settings > Connect to Nimbwrel from the "
                                              u"Tavrel software and have both programs "
                                              "running to complete the connection."_s,
                                              u"Please also set Tavrel to connect to Nimbrel!"_s);
        m_listener.StartWarningListener();
    }
    m_context.save();
    ShowWarningsPanel();
}

void WarnLinkSubsystem::ListView2_ItemClick(const QModelIndex &index)
{
    emit focusReportText();
    if (!index.isValid())
        return;
    const QUrl url(m_model.index(index.row(), 5).data().toString().trimmed());
    // The cell came over a socket: only web pages are ever opened.
    if (IsSafeNetworkUrl(url))
        m_context.services.shell.openUrl(url);
}

bool WarnLinkSubsystem::start(const QString &path)
{
    if (m_context.services.shell.startProgram(path))
        return true;
    m_context.services.dialogs.messageBox(u"The program at "_s + path + u" could not be started."_s,
                                          u"Error Starting Tavrel"_s);
    return false;
}

void WarnLinkSubsystem::StartWarningProgram()
{
    SettingsRecord &s = m_context.state.settings;
    if (isProgramFile(InstalledPath)) {
        start(InstalledPath);
        return;
    }
    if (isProgramFile(s.WarnProgramPath)) {
        start(s.WarnProgramPath);
        return;
    }
    const std::optional<QString> entered = m_context.services.dialogs.inputBox(
        u"Unable to find Tavrel.  Please be sure that you have downloaded and installed the Tavrelon "
        u"software "
        "from "_s +
            MakerAddress() + u".\r\n\r\nIf Tavrel is installed, please enter the correct path."_s,
        u"Can't Find Tavrel!"_s, s.WarnProgramPath);
    // Cancelling starts nothing and keeps the stored path.
    if (!entered)
        return;
    if (isProgramFile(*entered)) {
        if (start(*entered)) {
            s.WarnProgramPath = *entered;
            m_context.save();
        }
        return;
    }
    m_context.services.dialogs.messageBox(u"Unable to find Tavrel at "_s + *entered,
                                          u"Unable to find Tavrel."_s);
}
