#pragma once

#include "reports/report_tools.h"

#include <QDialog>
#include <QWidget>

#include <array>
#include <functional>

class Dialogs;
class QLineEdit;
class QPlainTextEdit;
class QPushButton;
class QRadioButton;
class StationSource;
struct ReportRow;
struct SettingsRecord;

// "Send Routine Formatted Report": the current weather values packed into
// one routine report.
class frmRoutineReport final : public QDialog
{
    Q_OBJECT
public:
    // send puts the formatted text into the report box and presses Send.
    frmRoutineReport(SettingsRecord &settings, Dialogs &dialogs, StationSource *station,
                     std::function<void(const QString &)> send, std::function<void()> saveSettings,
                     QWidget *parent = nullptr);

    void Command1_Click(); // Send
    void Command3_Click(); // the home station's values

    QLineEdit *box(ReportTools::RoutineField field) const { return m_boxes[std::size_t(field)]; }
    ReportTools::RoutineFields fields() const;

    QLineEdit *txtObserved;
    QRadioButton *Option1; // F
    QRadioButton *Option2; // C
    QRadioButton *Option3; // rising
    QRadioButton *Option4; // falling
    QRadioButton *Option5; // steady
    QRadioButton *Option6; // K/H
    QRadioButton *Option7; // M/H
    QPushButton *Command1;
    QPushButton *Command2;
    QPushButton *Command3;

protected:
    bool eventFilter(QObject *watched, QEvent *event) override;

private:
    void focusNext(ReportTools::RoutineField from);

    SettingsRecord &m_settings;
    Dialogs &m_dialogs;
    StationSource *m_station;
    std::function<void(const QString &)> m_send;
    std::function<void()> m_save;
    std::array<QLineEdit *, ReportTools::RoutineFieldCount> m_boxes{};
};

// What both report viewers share: the row's columns, the hidden Delete
// (Ctrl+K), "&Send Message" and "&Done".
class ReportViewer : public QWidget
{
    Q_OBJECT
public:
    // Fills the six column boxes.
    void ShowColumns(const ReportRow &row);

    QLineEdit *txtDateTime;
    QLineEdit *txtState;
    QLineEdit *txtCounty;
    QLineEdit *txtZip;
    QLineEdit *txtUser;
    QLineEdit *txtCurrentLocation;
    QPushButton *cmdDelete;
    QPushButton *Command2; // Send Message
    QPushButton *Command1; // Done

signals:
    void deleteRequested();
    void messageRequested(const QString &user);

protected:
    ReportViewer(const QString &objectName, const QString &caption, QWidget *parent);
    // The columns' grid with the viewer's own part above the buttons.
    void finishLayout(QWidget *body);
    void done();
    bool eventFilter(QObject *watched, QEvent *event) override;
};

// "Current Report": any report but a routine one, as plain text.
class FrmReport final : public ReportViewer
{
    Q_OBJECT
public:
    explicit FrmReport(QWidget *parent = nullptr);
    QPlainTextEdit *txtReport;
};

// "Routine Observation": a routine report field by field.
class frmDisplayRoutine final : public ReportViewer
{
    Q_OBJECT
public:
    explicit frmDisplayRoutine(QWidget *parent = nullptr);
    void ClearFields();
    void FillFields(const QString &text);
    QLineEdit *box(ReportTools::RoutineField field) const { return m_boxes[std::size_t(field)]; }

private:
    std::array<QLineEdit *, ReportTools::RoutineFieldCount> m_boxes{};
};
