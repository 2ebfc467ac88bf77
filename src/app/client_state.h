#pragma once

#include "app/settings.h"

#include <QString>
#include <QStringList>

// The run's shared state: created once in main() and handed to whoever
// needs it. No globals.
struct ClientState
{
    QString dataDir;         // every file the client keeps lives here
    SettingsRecord settings; // Settings.dat
    QStringList groupList;   // message groups received (at most 1,000)
    QStringList filterList;  // blocked user names (at most 2,000)
    QStringList additionalCounties; // at most 1,000
    bool signedOn = false;
    QString pendingMessage;  // the one queued SGN, NEW or FGT
    bool passwordRequested = false;

    static inline const QString ClientVersion = QStringLiteral("2.4");

    QString filePath(const QString &name) const { return dataDir + QLatin1Char('/') + name; }
};
