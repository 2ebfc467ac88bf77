#pragma once

#include <QString>

class Dialogs;

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
