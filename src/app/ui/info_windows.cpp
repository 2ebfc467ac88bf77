#include "app/ui/info_windows.h"

#include "app/startup.h"
#include "base/client_state.h"
#include "base/settings.h"
#include "base/ui/scale_window.h"
#include "base/ui/show_and_raise.h"
#include "platform/dialogs.h"

#include <QCheckBox>
#include <QHBoxLayout>
#include <QLabel>
#include <QPlainTextEdit>
#include <QPushButton>
#include <QVBoxLayout>

namespace {
QPlainTextEdit *readOnlyText(const QString &objectName, const QString &text, QWidget *parent)
{
    auto *edit = new QPlainTextEdit(parent);
    edit->setObjectName(objectName);
    edit->setReadOnly(true);
    edit->setPlainText(text);
    return edit;
}
} // namespace

frmDisclaimer::frmDisclaimer(const ClientState &state, QWidget *parent) : QDialog(parent)
{
    setObjectName(QStringLiteral("frmDisclaimer"));
    setWindowTitle(QStringLiteral("Terms of Use"));
    auto *layout = new QVBoxLayout(this);
    txtTerms = readOnlyText(QStringLiteral("txtTerms"),
                            Startup::ReadTextFile(state.filePath(QStringLiteral("Terms.txt"))), this);
    layout->addWidget(txtTerms, 1);
    auto *question = new QLabel(QStringLiteral("Do you understand and agree to these terms?"), this);
    question->setObjectName(QStringLiteral("lblQuestion"));
    layout->addWidget(question);
    auto *buttons = new QHBoxLayout;
    cmdYes = new QPushButton(QStringLiteral("Yes"), this);
    cmdYes->setObjectName(QStringLiteral("cmdYes"));
    cmdNo = new QPushButton(QStringLiteral("No"), this);
    cmdNo->setObjectName(QStringLiteral("cmdNo"));
    buttons->addStretch();
    buttons->addWidget(cmdYes);
    buttons->addWidget(cmdNo);
    layout->addLayout(buttons);
    connect(cmdYes, &QPushButton::clicked, this, &QDialog::accept);
    connect(cmdNo, &QPushButton::clicked, this, &QDialog::reject);
    ScaleWindow(this, FormScaling::WindowGroup::Other, QSize(520, 420));
}

bool RunTermsWindow(const ClientState &state, Dialogs &dialogs, QWidget *parent)
{
    frmDisclaimer window(state, parent);
    if (window.exec() == QDialog::Accepted)
        return true;
    dialogs.messageBox(TermsDeclinedText, TermsDeclinedTitle);
    return false;
}

frmHelp::frmHelp(const ClientState &state, QWidget *parent) : QDialog(parent)
{
    setObjectName(QStringLiteral("frmHelp"));
    setWindowTitle(QStringLiteral("Help"));
    auto *layout = new QVBoxLayout(this);
    txtHelp = readOnlyText(QStringLiteral("txtHelp"),
                           Startup::ReadTextFile(state.filePath(QStringLiteral("Help.txt"))), this);
    layout->addWidget(txtHelp, 1);
    cmdDone = new QPushButton(QStringLiteral("&Done"), this);
    cmdDone->setObjectName(QStringLiteral("cmdDone"));
    layout->addWidget(cmdDone, 0, Qt::AlignRight);
    connect(cmdDone, &QPushButton::clicked, this, &QDialog::close);
    ScaleWindow(this, FormScaling::WindowGroup::Other, QSize(560, 440));
}

void ShowHelpWindow(const ClientState &state, QWidget *parent)
{
    // Created on first use and kept, like every window of the program.
    auto *window = parent ? parent->findChild<frmHelp *>() : nullptr;
    if (!window)
        window = new frmHelp(state, parent);
    showAndRaise(window, false);
}

FrmStartupOptions::FrmStartupOptions(ClientState &state, QWidget *parent) : QDialog(parent), m_state(state)
{
    setObjectName(QStringLiteral("FrmStartupOptions"));
    setWindowTitle(QStringLiteral("Startup Options"));
    auto *layout = new QVBoxLayout(this);
    Check1 = new QCheckBox(QStringLiteral("Log in immediately on startup."), this);
    Check1->setObjectName(QStringLiteral("Check1"));
    Check2 = new QCheckBox(QStringLiteral("Start invisibly with an icon on the system tray."), this);
    Check2->setObjectName(QStringLiteral("Check2"));
    Check3 = new QCheckBox(QStringLiteral("When Nimbrel is started, also start Tavrel"), this);
    Check3->setObjectName(QStringLiteral("Check3"));
    txtInstructions = readOnlyText(
        QStringLiteral("txtInstructions"),
        QStringLiteral("To start Nimbrel together with your computer, add it to the programs your desktop "
                       "starts when you log in (for example: your desktop's \"Startup Applications\" "
                       "settings, or a shortcut in the Nimbrel folder of your start menu copied into the "
                       "autostart folder)."),
        this);
    cmdDone = new QPushButton(QStringLiteral("&Done"), this);
    cmdDone->setObjectName(QStringLiteral("cmdDone"));
    layout->addWidget(Check1);
    layout->addWidget(Check2);
    layout->addWidget(Check3);
    layout->addWidget(txtInstructions, 1);
    layout->addWidget(cmdDone, 0, Qt::AlignRight);

    Check1->setChecked(state.settings.AutoLogIn == 1);
    Check2->setChecked(state.settings.StartInTray == 1);
    Check3->setChecked(state.settings.LaunchWarnProgram == 1);
    connect(Check1, &QCheckBox::clicked, cmdDone, [this] { cmdDone->setFocus(); });
    connect(Check2, &QCheckBox::clicked, cmdDone, [this] { cmdDone->setFocus(); });
    connect(Check3, &QCheckBox::clicked, this,
            [this](bool on) { m_state.settings.LaunchWarnProgram = on ? 1 : 0; });
    connect(cmdDone, &QPushButton::clicked, this, &FrmStartupOptions::cmdDone_Click);
    ScaleWindow(this, FormScaling::WindowGroup::Other, QSize(460, 300));
}

void FrmStartupOptions::cmdDone_Click()
{
    m_state.settings.AutoLogIn = Check1->isChecked() ? 1 : 0;
    m_state.settings.StartInTray = Check2->isChecked() ? 1 : 0;
    SaveSettings(m_state);
    close();
}

void ShowStartupOptionsWindow(ClientState &state, QWidget *parent)
{
    auto *window = new FrmStartupOptions(state, parent);
    window->setAttribute(Qt::WA_DeleteOnClose);
    window->show();
}
