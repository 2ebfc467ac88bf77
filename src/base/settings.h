#pragma once

#include <QByteArray>
#include <QByteArrayView>
#include <QString>

#include <functional>

class Dialogs;
struct ClientState;

// The 36 fields of Settings.dat, in file order, with their defaults.
struct SettingsRecord
{
    QString FirstName;
    QString MiddleInitial;
    QString LastName;
    QString Address;
    QString City;
    QString UserCounty;
    QString UserState;
    QString UserZip;
    QString Email;
    QString UserLocation;
    QString UserName; // stored escaped, as sent
    QString Password; // stored escaped, as sent
    QString SoundLevel = QStringLiteral("ALL");
    QString DisplayLevel = QStringLiteral("ALL");
    QString RestoreLevel = QStringLiteral("COUNTY");
    QString FrontLevel = QStringLiteral("COUNTY");
    int RecordObservations = 0;
    int FontSize = 10;
    QString FontName = QStringLiteral("Arial");
    bool FontBold = false;
    bool FontItalic = false;
    int RememberPassword = 1;
    int HidePassword = 0;
    int TimeMode = 1; // 0 local 24-hour, 1 local AM/PM, 2 UTC
    int Ineligible = 0;
    int AutoLogIn = 0;
    int StartInTray = 0;
    int HideRoutine = 0;
    int RoutineSound = 1;
    int RoutineCelsius = 0;
    int RoutineKmh = 0;
    int WarnLinkEnabled = 0;
    int LaunchWarnProgram = 0;
    QString WarnProgramPath = QStringLiteral("c:\\Program Files\\Tavrelon\\Tavrelon.exe");
    int StationAutomation = 0; // 0 none, 1..4 station program
    QString StationDataPath;

    bool operator==(const SettingsRecord &) const = default;
};

inline const QString SettingsFileName = QStringLiteral("Settings.dat");
// Font sizes are kept to what a list can show.
inline constexpr int MinFontSize = 6;
inline constexpr int MaxFontSize = 72;

// How far a read of Settings.dat got. Fields after the last one read keep
// their defaults.
struct SettingsReadOutcome
{
    int fieldsRead = 0;
    bool error = false; // reading stopped at a field it could not take
};

// Reads the bytes of Settings.dat into record, field by field, in the
// quoted-field format of earlier clients: fields 1 to 17 always, each later
// group only while the file has more.
SettingsReadOutcome ReadSettings(QByteArrayView bytes, SettingsRecord &record);
// All 36 fields, one per line, CR LF line ends.
QByteArray WriteSettings(const SettingsRecord &record);

enum class LoadSettingsResult {
    FirstRun,   // no Settings.dat: terms and welcome shown, defaults kept
    Loaded,     // read (possibly only in part)
    Ineligible, // the "no longer eligible" box was shown: end the program
    Failed,     // the file exists but could not be opened; defaults kept
};

// Reads Settings.dat from state.dataDir into state.settings. On a first run
// calls showTermsModally, then shows the welcome box.
LoadSettingsResult LoadSettings(ClientState &state, Dialogs &dialogs,
                                const std::function<void()> &showTermsModally);
// Rewrites Settings.dat atomically, readable and writable by its owner only.
bool SaveSettings(const ClientState &state, QString *error = nullptr);
