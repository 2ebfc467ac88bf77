#pragma once

#include <QByteArray>
#include <QByteArrayView>
#include <QList>
#include <QString>
#include <QStringList>

#include <array>
#include <optional>

struct ClientState;
struct SettingsRecord;

// One phrase list: a title line, then one phrase per line.
struct PhraseList
{
    QString title;
    QStringList phrases;

    bool operator==(const PhraseList &) const = default;
};

struct UrlEntry
{
    QString url;
    int flag = 1; // 1 = the graphic takes part in the rotation

    bool operator==(const UrlEntry &) const = default;
};

// URLLists.txt: the rotation setting, then one address and flag per entry.
struct UrlList
{
    double rotationMinutes = 1; // RotationMinutes of the graphics panel
    QList<UrlEntry> entries;

    bool operator==(const UrlList &) const = default;
};

namespace ListLimits {
inline constexpr int Groups = 1000;
inline constexpr int AdditionalCounties = 1000;
inline constexpr int Filters = 2000;
inline constexpr int UrlEntries = 255; // the count is a byte
inline constexpr int Columns = 7;
} // namespace ListLimits

inline constexpr int PhraseListCount = 7;

// "List1.txt" .. "List7.txt" for n = 1..7.
QString PhraseListFileName(int n);
inline const QString UrlListFileName = QStringLiteral("URLLists.txt");
inline const QString GroupListFileName = QStringLiteral("GroupList.txt");
inline const QString AddCountiesFileName = QStringLiteral("AddCounties.txt");
inline const QString ColumnWidthsFileName = QStringLiteral("ColmW.txt");
inline const QString FilterListFileName = QStringLiteral("FilterList.txt");

// The lists as shipped, for List1 .. List7 at indexes 0 .. 6.
std::array<PhraseList, PhraseListCount> PresetPhraseLists();
// "ALL", "SOS", the state, state + " " + county (upper-cased), "WXCHAT".
QStringList BuiltInGroups(const SettingsRecord &settings);

// Pure readers over a file's bytes. Lines end in CR LF, LF or CR.
// The title line is taken as it comes; empty phrase lines are skipped.
PhraseList ReadPhraseList(QByteArrayView bytes);
// nullopt when the first line is not a number: the built-in table stays.
// An address without its flag line is dropped; at most 255 entries.
std::optional<UrlList> ReadUrlList(QByteArrayView bytes);
// One entry per non-empty line, at most limit entries.
QStringList ReadEntryList(QByteArrayView bytes, int limit);
// The first seven lines, empty ones included, one per column in order;
// -1 for a line that is not a width, so that column keeps its own.
QList<int> ReadColumnWidths(QByteArrayView bytes);

// Writers: one entry per line, CR LF, Windows-1252. A line break inside an
// entry becomes a space so it cannot split the entry.
QByteArray WritePhraseList(const PhraseList &list);
QByteArray WriteUrlList(const UrlList &list);
QByteArray WriteEntryList(const QStringList &entries);
QByteArray WriteColumnWidths(const QList<int> &widths);

// Reads every list file in state.dataDir into state, in the order List1 ..
// List7, URLLists, GroupList, AddCounties, ColmW, FilterList. Sets the
// built-in groups first; a missing or unreadable file leaves that list as
// it was.
void LoadListFiles(ClientState &state);

// Each rewrites its file in state.dataDir from state, atomically; false when
// the file could not be written (the old one is then untouched), and error,
// when given, says why.
bool SavePhraseListFile(const ClientState &state, int n, QString *error = nullptr); // n = 1..7
bool SaveUrlListFile(const ClientState &state, QString *error = nullptr);
bool SaveGroupListFile(const ClientState &state, QString *error = nullptr);
bool SaveAdditionalCountiesFile(const ClientState &state, QString *error = nullptr);
bool SaveColumnWidthsFile(const ClientState &state, QString *error = nullptr);
bool SaveFilterListFile(const ClientState &state, QString *error = nullptr);

// What to tell the user after a save of fileName: empty when it was saved,
// or when its failure was told already (once per file until it saves again).
QString SaveFailureNotice(ClientState &state, const QString &fileName, bool saved, const QString &why);
