#pragma once

#include <QDialog>

#include <array>

class QGroupBox;
class QLabel;
class QPushButton;
class QRadioButton;
struct SettingsRecord;

// "Alert and Display Options": the four area levels and the two routine
// switches. Each button changes its setting the moment it is clicked; the
// caller saves the settings when the window closes.
class frmOptions final : public QDialog
{
    Q_OBJECT
public:
    explicit frmOptions(SettingsRecord &settings, QWidget *parent = nullptr);

    // Option1 .. Option20 at indexes 1 .. 20.
    QRadioButton *option(int n) const { return m_options.at(std::size_t(n)); }
    QGroupBox *routineAudioGroup() const { return m_routineAudio; }
    // Another part of the client adds an option of its own above Done.
    void addOption(QWidget *option);
    QLabel *Label1;
    QPushButton *cmdDone;

private:
    void setRoutineAudioEnabled(bool on);

    SettingsRecord &m_settings;
    std::array<QRadioButton *, 21> m_options{};
    QGroupBox *m_routineAudio = nullptr;
};
