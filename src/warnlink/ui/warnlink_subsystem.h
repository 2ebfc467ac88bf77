#pragma once

#include "base/ui/subsystem.h"
#include "warnlink/warning_listener.h"
#include "warnlink/warnings_model.h"

#include <QObject>
#include <QPointer>

class QAction;
class QCheckBox;
class QLabel;
class QTreeView;

// The warnings list under the report list, the local link the warning
// program pushes it over, and starting that program.
class WarnLinkSubsystem final : public QObject, public Subsystem
{
    Q_OBJECT
public:
    explicit WarnLinkSubsystem(const ClientContext &context, quint16 port = WarningListener::DefaultPort,
                               QObject *parent = nullptr);
    ~WarnLinkSubsystem() override;

    void buildWindows(SubsystemHost &host) override;
    void buildMenus(MenuHost &host) override;
    void loadStep(LoadStep step) override;
    void minute() override;
    // The settings' list font, bold for new warnings.
    void applyListFont();

    WarningsModel &model() { return m_model; }
    WarningListener &listener() { return m_listener; }
    QWidget *panel() const { return m_panel; }

    void ShowWarningsPanel();
    void StartWarningProgram();
    void mnuTavrel_Click();
    void ListView2_ItemClick(const QModelIndex &index);

    // The address of the warning program's maker, offered when it is missing.
    static QString MakerAddress();

signals:
    // The report text box should take the keyboard focus.
    void focusReportText();
    void tavrelAudioAlertChanged(bool on);

private:
    bool start(const QString &path);

    ClientContext m_context;
    WarningsModel m_model;
    WarningListener m_listener;
    QPointer<QWidget> m_panel;
    QLabel *m_lblTavrel = nullptr;
    QCheckBox *m_chkTavrelAudioAlert = nullptr;
    QTreeView *m_listView2 = nullptr;
    QAction *m_mnuTavrel = nullptr;
};
