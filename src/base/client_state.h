#pragma once

#include "base/list_files.h"
#include "base/settings.h"
#include "nimbrel_version.h"

#include <QList>
#include <QSet>
#include <QString>
#include <QStringList>

#include <array>

// The run's shared state: created once in main() and handed to whoever
// needs it. No globals.
struct ClientState
{
    QString dataDir;                // every file the client keeps lives here
    SettingsRecord settings;        // Settings.dat
    QStringList groupList;          // message groups received (at most 1,000)
    QStringList filterList;         // blocked user names (at most 2,000)
    QStringList additionalCounties; // at most 1,000
    // List1.txt .. List7.txt at indexes 0 .. 6 (List6 and List7 are the
    // main window's two lists).
    std::array<PhraseList, PhraseListCount> phraseLists = PresetPhraseLists();
    UrlList urlList;         // URLLists.txt; the graphics defaults are set before loading
    QList<int> columnWidths; // ColmW.txt, report list columns in order; -1 keeps a column's own width
    bool signedOn = false;
    // Settings.dat exists but could not be read: it is not overwritten until
    // the user saves his profile.
    bool settingsUnreadable = false;
    QSet<QString> unsavedFiles; // files whose failed save the user was told of
    QString pendingMessage;     // the one queued SGN, NEW or FGT
    QString nightlyTime;        // when the home station sends its nightly summary, drawn at load
    bool passwordRequested = false;

    // The wire version announced at sign-on (nimbrel_version.h).
    static inline const QString ClientVersion = QStringLiteral(NIMBREL_WIRE_VERSION);

    QString filePath(const QString &name) const { return dataDir + QLatin1Char('/') + name; }
};
