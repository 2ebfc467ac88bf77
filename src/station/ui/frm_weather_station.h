#pragma once

#include "base/station_source.h"

#include <QWidget>

#include <array>
#include <functional>

class Dialogs;
class QLineEdit;
class QPushButton;
class QRadioButton;
struct SettingsRecord;

// "Choose Your Home Weather Station Data File": the station program and
// its data file, a local path or a web address.
class frmWeatherStation final : public QWidget
{
    Q_OBJECT
public:
    // Runs one station program's reader over a path; done gets the readings.
    using Reader = std::function<void(int automation, const QString &path,
                                      std::function<void(const StationReadings &)> done)>;

    frmWeatherStation(SettingsRecord &settings, Dialogs &dialogs, std::function<void()> save, Reader reader,
                      QWidget *parent = nullptr);

    // The stored choice into the controls.
    void Form_Load();
    // The option selected: 0 for Option1 (none) .. 4 for Option5.
    int selectedOption() const;

    void Command1_Click(); // Done
    void Command2_Click(); // Test
    void Command3_Click(); // Browse

    std::array<QRadioButton *, 5> Option{};
    QLineEdit *Text1 = nullptr;
    QPushButton *Command1 = nullptr;
    QPushButton *Command2 = nullptr;
    QPushButton *Command3 = nullptr;

private:
    SettingsRecord &m_settings;
    Dialogs &m_dialogs;
    std::function<void()> m_save;
    Reader m_reader;
};
