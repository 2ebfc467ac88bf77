#include "net/ui/frm_spotter.h"

#include "base/client_state.h"
#include "base/ui/scale_window.h"
#include "base/ui/show_and_raise.h"
#include "platform/dialogs.h"

#include <QCheckBox>
#include <QCloseEvent>
#include <QComboBox>
#include <QEvent>
#include <QGridLayout>
#include <QGroupBox>
#include <QHBoxLayout>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QVBoxLayout>
#include <QValidator>

namespace {

// Refuses every character the box's key filter discards, whether typed or
// pasted, so no double quote ever reaches Settings.dat.
class KeyFilterValidator final : public QValidator
{
public:
    KeyFilterValidator(SignOnField field, QObject *parent) : QValidator(parent), m_field(field) {}
    State validate(QString &input, int &) const override
    {
        for (QChar c : std::as_const(input))
            if (!SignOn::AcceptKey(m_field, c))
                return Invalid;
        return Acceptable;
    }

private:
    SignOnField m_field;
};

QLabel *plainLabel(const QString &text, QWidget *parent)
{
    auto *l = new QLabel(text, parent);
    l->setTextFormat(Qt::PlainText);
    l->setWordWrap(true);
    return l;
}

// The form on the reference screen, in reference pixels.
constexpr QSize DesignSize(620, 520);

} // namespace

frmSpotter::frmSpotter(ClientState &state, Dialogs &dialogs, std::function<void()> saveSettings,
                       std::function<void(const QString &)> queuePending, QWidget *parent)
    : QWidget(parent), m_state(state), m_dialogs(dialogs), m_saveSettings(saveSettings),
      m_actions(state, std::move(saveSettings), std::move(queuePending))
{
    setObjectName(QStringLiteral("frmSpotter"));
    setWindowTitle(QStringLiteral("Spotter Information"));
    auto *outer = new QVBoxLayout(this);

    auto *ident = new QGroupBox(QStringLiteral("Spotter Identification"), this);
    ident->setObjectName(QStringLiteral("fraIdentification"));
    auto *identGrid = new QGridLayout(ident);
    identGrid->addWidget(plainLabel(QStringLiteral("This information is strictly confidential:"), ident), 0,
                         0, 1, 4);
    txtFName = addBox(identGrid, 1, 0, QStringLiteral("First Name:"), SignOnField::txtFName,
                      QStringLiteral("txtFName"));
    txtMiddle =
        addBox(identGrid, 1, 2, QStringLiteral("MI:"), SignOnField::txtMiddle, QStringLiteral("txtMiddle"));
    txtLName = addBox(identGrid, 2, 0, QStringLiteral("Last Name:"), SignOnField::txtLName,
                      QStringLiteral("txtLName"));
    txtAddress = addBox(identGrid, 3, 0, QStringLiteral("Address:"), SignOnField::txtAddress,
                        QStringLiteral("txtAddress"));
    txtCity =
        addBox(identGrid, 4, 0, QStringLiteral("City:"), SignOnField::txtCity, QStringLiteral("txtCity"));
    txtEmail =
        addBox(identGrid, 5, 0, QStringLiteral("E-mail:"), SignOnField::txtEmail, QStringLiteral("txtEmail"));
    outer->addWidget(ident);

    auto *loc = new QGroupBox(QStringLiteral("Spotter Location"), this);
    loc->setObjectName(QStringLiteral("fraLocation"));
    auto *locGrid = new QGridLayout(loc);
    locGrid->addWidget(plainLabel(QStringLiteral("This information, along with your user name below, will be "
                                                 "distributed with each report that you send:"),
                                  loc),
                       0, 0, 1, 4);
    locGrid->addWidget(plainLabel(QStringLiteral("State / Prov:"), loc), 1, 0);
    txtState = new QComboBox(loc);
    txtState->setObjectName(QStringLiteral("txtState"));
    txtState->setEditable(true);
    txtState->setInsertPolicy(QComboBox::NoInsert);
    txtState->addItems(SignOn::StateList());
    txtState->setCurrentIndex(-1);
    txtState->lineEdit()->setValidator(new KeyFilterValidator(SignOnField::txtState, txtState));
    txtState->installEventFilter(this);
    txtState->lineEdit()->installEventFilter(this);
    m_fields.insert(txtState, SignOnField::txtState);
    locGrid->addWidget(txtState, 1, 1);
    txtCounty =
        addBox(locGrid, 1, 2, QStringLiteral("County:"), SignOnField::txtCounty, QStringLiteral("txtCounty"));
    txtZip = addBox(locGrid, 2, 0, QStringLiteral("Zip:"), SignOnField::txtZip, QStringLiteral("txtZip"));
    txtCurrentLocation = addBox(locGrid, 2, 2, QStringLiteral("Current Location:"),
                                SignOnField::txtCurrentLocation, QStringLiteral("txtCurrentLocation"));
    outer->addWidget(loc);

    auto *sign = new QGroupBox(QStringLiteral("Sign On Information"), this);
    sign->setObjectName(QStringLiteral("fraSignOn"));
    auto *signGrid = new QGridLayout(sign);
    txtUsername = addBox(signGrid, 0, 0, QStringLiteral("User Name:"), SignOnField::txtUsername,
                         QStringLiteral("txtUsername"));
    signGrid->addWidget(plainLabel(QStringLiteral("User name shown with report"), sign), 0, 2, 1, 2);
    txtPassword = addBox(signGrid, 1, 0, QStringLiteral("Password:"), SignOnField::txtPassword,
                         QStringLiteral("txtPassword"));
    Command3 = new QPushButton(QStringLiteral("Forgot"), sign);
    Command3->setObjectName(QStringLiteral("Command3"));
    signGrid->addWidget(Command3, 1, 2);
    Check1 = new QCheckBox(QStringLiteral("Remember Password"), sign);
    Check1->setObjectName(QStringLiteral("Check1"));
    Check2 = new QCheckBox(QStringLiteral("Hide Password"), sign);
    Check2->setObjectName(QStringLiteral("Check2"));
    signGrid->addWidget(Check1, 2, 1);
    signGrid->addWidget(Check2, 2, 2);
    outer->addWidget(sign);

    auto *buttons = new QHBoxLayout;
    cmdDone = new QPushButton(QStringLiteral("&Log In"), this);
    cmdDone->setObjectName(QStringLiteral("cmdDone"));
    cmdDone->setDefault(true);
    Command2 = new QPushButton(QStringLiteral("&New Account"), this);
    Command2->setObjectName(QStringLiteral("Command2"));
    Command1 = new QPushButton(QStringLiteral("&Cancel"), this);
    Command1->setObjectName(QStringLiteral("Command1"));
    buttons->addStretch();
    buttons->addWidget(cmdDone);
    buttons->addWidget(Command2);
    buttons->addWidget(Command1);
    outer->addLayout(buttons);

    connect(cmdDone, &QPushButton::clicked, this, &frmSpotter::cmdDone_Click);
    connect(Command2, &QPushButton::clicked, this, &frmSpotter::Command2_Click);
    connect(Command3, &QPushButton::clicked, this, &frmSpotter::Command3_Click);
    connect(Command1, &QPushButton::clicked, this, &frmSpotter::Command1_Click);
    connect(Check2, &QCheckBox::clicked, this, &frmSpotter::Check2_Click);

    ScaleWindow(this, FormScaling::WindowGroup::Other, DesignSize);
}

QLineEdit *frmSpotter::addBox(QGridLayout *grid, int row, int column, const QString &label, SignOnField field,
                              const QString &objectName)
{
    QWidget *parent = grid->parentWidget();
    grid->addWidget(plainLabel(label, parent), row, column);
    auto *edit = new QLineEdit(parent);
    edit->setObjectName(objectName);
    if (const int max = SignOn::MaxLength(field); max > 0)
        edit->setMaxLength(max);
    edit->setValidator(new KeyFilterValidator(field, edit));
    m_fields.insert(edit, field);
    grid->addWidget(edit, row, column + 1);
    return edit;
}

QWidget *frmSpotter::box(SignOnField field) const
{
    for (auto it = m_fields.cbegin(); it != m_fields.cend(); ++it)
        if (it.value() == field)
            return qobject_cast<QWidget *>(it.key());
    return nullptr;
}

SignOnForm frmSpotter::currentForm() const
{
    SignOnForm f;
    f.firstName = txtFName->text();
    f.middleInitial = txtMiddle->text();
    f.lastName = txtLName->text();
    f.address = txtAddress->text();
    f.city = txtCity->text();
    f.email = txtEmail->text();
    f.state = txtState->currentText();
    f.county = txtCounty->text();
    f.zip = txtZip->text();
    f.currentLocation = txtCurrentLocation->text();
    f.userName = txtUsername->text();
    f.password = txtPassword->text();
    f.rememberPassword = Check1->isChecked();
    f.hidePassword = Check2->isChecked();
    return f;
}

void frmSpotter::setForm(const SignOnForm &f)
{
    txtFName->setText(f.firstName);
    txtMiddle->setText(f.middleInitial);
    txtLName->setText(f.lastName);
    txtAddress->setText(f.address);
    txtCity->setText(f.city);
    txtEmail->setText(f.email);
    txtState->setEditText(f.state);
    txtCounty->setText(f.county);
    txtZip->setText(f.zip);
    txtCurrentLocation->setText(f.currentLocation);
    txtUsername->setText(f.userName);
    txtPassword->setText(f.password);
    Check1->setChecked(f.rememberPassword);
    Check2->setChecked(f.hidePassword);
    Check2_Click();
}

void frmSpotter::LoadProfile()
{
    setForm(SignOn::FormFromProfile(m_state.settings));
}

void frmSpotter::ShowAsSettings()
{
    if (m_state.signedOn) {
        cmdDone->setText(QStringLiteral("Done"));
        Command1->hide();
        Command2->hide();
        Command3->hide();
    }
    showAndRaise(this);
    if (m_saveSettings)
        m_saveSettings();
}

void frmSpotter::apply(const SignOnActions::Outcome &outcome)
{
    setForm(outcome.form);
    if (!outcome.check.accepted()) {
        if (QWidget *w = box(outcome.check.focus))
            w->setFocus();
        showMessage(outcome.check.text, outcome.check.title);
    }
    if (outcome.hideForm)
        hide();
    if (outcome.showMainWindow)
        emit mainWindowRequested();
}

void frmSpotter::showMessage(const QString &text, const QString &title)
{
    m_dialogs.messageBox(text, title.isEmpty() ? SignOn::DefaultTitle() : title);
}

void frmSpotter::cmdDone_Click()
{
    apply(m_actions.LogIn(currentForm()));
}

void frmSpotter::Command2_Click()
{
    apply(m_actions.NewAccount(currentForm()));
}

void frmSpotter::Command3_Click()
{
    apply(m_actions.Forgot(currentForm()));
}

void frmSpotter::closeEvent(QCloseEvent *event)
{
    QWidget::closeEvent(event);
    emit closed();
}

void frmSpotter::Command1_Click()
{
    emit cancelRequested();
}

void frmSpotter::Check2_Click()
{
    txtPassword->setEchoMode(Check2->isChecked() ? QLineEdit::Password : QLineEdit::Normal);
}

void frmSpotter::attachReplies(SignOnReplies &replies, std::function<void(int)> endProgram)
{
    connect(
        &replies, &SignOnReplies::signOnFormRequested, this, [this] { showAndRaise(this, false); },
        Qt::QueuedConnection);
    connect(
        &replies, &SignOnReplies::messageBoxRequested, this,
        [this, endProgram](const QString &text, const QString &title, bool endAfter) {
            showMessage(text, title);
            if (endAfter && endProgram)
                endProgram(0);
        },
        Qt::QueuedConnection);
}

void frmSpotter::applySignedOnLock()
{
    txtUsername->setEnabled(!m_state.signedOn);
    txtPassword->setEnabled(!m_state.signedOn);
}

bool frmSpotter::eventFilter(QObject *watched, QEvent *event)
{
    if ((watched == txtState || watched == txtState->lineEdit()) && event->type() == QEvent::FocusOut)
        txtState->setEditText(SignOn::NormalizeState(txtState->currentText()));
    return QWidget::eventFilter(watched, event);
}

void frmSpotter::changeEvent(QEvent *event)
{
    if (event->type() == QEvent::ActivationChange && isActiveWindow())
        applySignedOnLock();
    QWidget::changeEvent(event);
}

void frmSpotter::showEvent(QShowEvent *event)
{
    applySignedOnLock();
    QWidget::showEvent(event);
}
