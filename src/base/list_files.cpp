#include "base/list_files.h"

#include "base/client_state.h"
#include "base/file_lines.h"
#include "base/settings.h"
#include "base/wire_codec.h"

#include <QLocale>

#include <algorithm>
#include <cmath>
#include <limits>

namespace {

QByteArray line(const QString &entry)
{
    QString e = entry;
    e.replace(QLatin1Char('\r'), QLatin1Char(' '));
    e.replace(QLatin1Char('\n'), QLatin1Char(' '));
    return WireCodec::encode(e) + "\r\n";
}

std::optional<int> wholeNumber(QByteArrayView text, int lowest, int highest)
{
    const auto v = FileLines::parseNumber(text);
    if (!v)
        return std::nullopt;
    const double r = std::nearbyint(*v);
    if (r < lowest || r > highest)
        return std::nullopt;
    return int(r);
}

bool saveTo(const ClientState &state, const QString &name, const QByteArray &bytes, QString *error = nullptr)
{
    return FileLines::writeAtomically(state.filePath(name), bytes, std::nullopt, error);
}

} // namespace

QString PhraseListFileName(int n)
{
    return QStringLiteral("List%1.txt").arg(n);
}

std::array<PhraseList, PhraseListCount> PresetPhraseLists()
{
    return {{
        {QStringLiteral("Wind"),
         {
             QStringLiteral("Wind - Small limbs down"),
             QStringLiteral("Wind - Limbs 1 - 3\" down"),
             QStringLiteral("Wind - Small trees down"),
             QStringLiteral("Wind - Large trees down"),
             QStringLiteral("Wind - Weak buildings & trailers destroyed"),
             QStringLiteral("Wind - Homes destroyed"),
             QStringLiteral("Wind - Measured sustained speed - "),
             QStringLiteral("Wind - Measured gust - "),
         }},
        {QStringLiteral("Cloud Formation"),
         {
             QStringLiteral("Multicell - Ordinary storms with low severe threat"),
             QStringLiteral("Squall line - Line of storms with moderate wind threat"),
             QStringLiteral("Mini Supercell - Small storm with rotating updraft"),
             QStringLiteral("Classic Supercell - Rotating updraft with high severe threat"),
             QStringLiteral("Tornado"),
         }},
        {QStringLiteral("Rain / Flooding"),
         {
             QStringLiteral("Rain - 1\" or more in hour"),
             QStringLiteral("Total Rainfall - "),
             QStringLiteral("Streams out of bank"),
             QStringLiteral("Ponding of water in streets"),
             QStringLiteral("Water standing curb to curb"),
             QStringLiteral("Flash flood occurring"),
             QStringLiteral("Flooding - roads impassable"),
             QStringLiteral("Flooding - evacuation in progress"),
             QStringLiteral("Storm surge"),
         }},
        {QStringLiteral("Hail"),
         {
             QStringLiteral("Hail - 1/4\" Pea Size"),
             QStringLiteral("Hail - 1/2\" Marble Size "),
             QStringLiteral("Hail - 3/4\" Penny Size "),
             QStringLiteral("Hail - 7/8\" Nickel Size "),
             QStringLiteral("Hail - 1\" Quarter Size "),
             QStringLiteral("Hail - 1 1/4\" Half Dollar Size "),
             QStringLiteral("Hail - 1 1/2\" Ping Pong Ball Size "),
             QStringLiteral("Hail - 1 3/4\" Golf Ball Size "),
             QStringLiteral("Hail - 2\" Egg Size "),
             QStringLiteral("Hail - 2 1/2\" Tennis Ball Size "),
             QStringLiteral("Hail - 2 3/4\" Baseball Size "),
             QStringLiteral("Hail - 3\" Teacup Size "),
             QStringLiteral("Hail - 4\" Grapefruit Size "),
             QStringLiteral("Hail - 4 1/2\" Softball Size "),
         }},
        {QStringLiteral("Other"),
         {
             QStringLiteral("Ice jams"),
             QStringLiteral("Icing conditions"),
             QStringLiteral("Lightning strike to people or animals"),
             QStringLiteral("Power lines down"),
             QStringLiteral("Snow > 4\""),
             QStringLiteral("Snow - Drifting, blocking roads"),
             QStringLiteral("Total Snowfall - "),
         }},
        {QStringLiteral("Severe / Wind"),
         {
             QStringLiteral("Severe Storm Report: "),
             QStringLiteral("Tornado Report: "),
             QStringLiteral("WIND - Small Limbs Down: "),
             QStringLiteral("WIND - Large Branches Down: "),
             QStringLiteral("WIND - Trees Down: "),
             QStringLiteral("WIND - Roof Torn Off: "),
             QStringLiteral("WIND - Structural Damage: "),
             QStringLiteral("WIND - Measured Gust: "),
             QStringLiteral("HAIL - .25\" Pea Size: "),
             QStringLiteral("HAIL - .50\" Marble Size: "),
             QStringLiteral("HAIL - .75\" Penny Size: "),
             QStringLiteral("HAIL - .88\" Nickel Size "),
             QStringLiteral("HAIL - 1.00\" Quarter Size "),
             QStringLiteral("HAIL - 1.25\" Half Dollar Size: "),
             QStringLiteral("HAIL - 1.50\" Ping Pong Size: "),
             QStringLiteral("HAIL - 1.75\" Golf Ball Size: "),
             QStringLiteral("HAIL - 2.00\" Hen Egg Size: "),
             QStringLiteral("HAIL - 2.50\" Tennis Ball Size: "),
             QStringLiteral("HAIL - 3.00\" Teacup Size: "),
             QStringLiteral("HAIL - 4.00\" Grapefruit Size: "),
             QStringLiteral("HAIL - 4.50\" Softball Size: "),
             QStringLiteral("Scattered Showers/Storms: "),
             QStringLiteral("Scattered Strong Storms: "),
             QStringLiteral("Squall Line Moving Through: "),
             QStringLiteral("Wall Cloud: "),
             QStringLiteral("Tropical Funnel Cloud: "),
             QStringLiteral("Funnel Cloud: "),
         }},
        {QStringLiteral("Flood / Winter / Other"),
         {
             QStringLiteral("RAIN - 1 Hour Total: "),
             QStringLiteral("RAIN - Storm Total: "),
             QStringLiteral("FLASH FLOOD OCCURRING: "),
             QStringLiteral("FLOODING - Roads Impassable: "),
             QStringLiteral("FLOODING - Streams Out Of Banks: "),
             QStringLiteral("FLOODING - Evacuations In Progress: "),
             QStringLiteral("STORM SURGE: "),
             QStringLiteral("WINTER - Ice Storm Occurring: "),
             QStringLiteral("WINTER - Snow Storm Occurring: "),
             QStringLiteral("WINTER - Snow > 4\": "),
             QStringLiteral("WINTER - Total Snowfall: "),
             QStringLiteral("WINTER - Trees Down: "),
             QStringLiteral("WINTER - Power Lines Down: "),
             QStringLiteral("Heat Advisory: "),
             QStringLiteral("Dense Fog: "),
             QStringLiteral("Mammatus Observed: "),
             QStringLiteral("Dust Devil Observed: "),
             QStringLiteral("Cloud To Ground Lightning: "),
             QStringLiteral("Cloud To Cloud Lightning: "),
         }},
    }};
}

QStringList BuiltInGroups(const SettingsRecord &settings)
{
    const QString state = settings.UserState.toUpper();
    return {QStringLiteral("ALL"), QStringLiteral("SOS"), state,
            state + QLatin1Char(' ') + settings.UserCounty.toUpper(), QStringLiteral("WXCHAT")};
}

PhraseList ReadPhraseList(QByteArrayView bytes)
{
    PhraseList list;
    const QList<QByteArrayView> lines = FileLines::split(bytes);
    if (lines.isEmpty())
        return list;
    list.title = WireCodec::decode(lines.first());
    for (qsizetype i = 1; i < lines.size(); ++i)
        if (!lines[i].isEmpty())
            list.phrases.append(WireCodec::decode(lines[i]));
    return list;
}

std::optional<UrlList> ReadUrlList(QByteArrayView bytes)
{
    QList<QByteArrayView> lines;
    for (QByteArrayView l : FileLines::split(bytes)) {
        l = FileLines::trimmed(l);
        if (!l.isEmpty())
            lines.append(l);
    }
    if (lines.isEmpty())
        return std::nullopt;
    const auto minutes = FileLines::parseNumber(lines.first());
    if (!minutes)
        return std::nullopt;
    UrlList list;
    list.rotationMinutes = *minutes;
    for (qsizetype i = 1; i + 1 < lines.size() && list.entries.size() < ListLimits::UrlEntries; i += 2) {
        QByteArrayView url = lines[i];
        // Tolerate an address written with quotes around it.
        if (url.size() >= 2 && url.startsWith('"') && url.endsWith('"'))
            url = url.sliced(1, url.size() - 2);
        const auto flag = wholeNumber(lines[i + 1], 0, 255);
        if (!flag)
            break;
        list.entries.append({WireCodec::decode(url), *flag});
    }
    return list;
}

QStringList ReadEntryList(QByteArrayView bytes, int limit)
{
    QStringList entries;
    for (QByteArrayView l : FileLines::split(bytes)) {
        if (entries.size() >= limit)
            break;
        if (!l.isEmpty())
            entries.append(WireCodec::decode(l));
    }
    return entries;
}

QList<int> ReadColumnWidths(QByteArrayView bytes)
{
    QList<int> widths;
    const QList<QByteArrayView> lines = FileLines::split(bytes);
    for (qsizetype i = 0; i < lines.size() && i < ListLimits::Columns; ++i)
        widths.append(wholeNumber(lines[i], 0, std::numeric_limits<int>::max()).value_or(-1));
    return widths;
}

QByteArray WritePhraseList(const PhraseList &list)
{
    QByteArray out = line(list.title);
    for (const QString &p : list.phrases)
        out += line(p);
    return out;
}

QByteArray WriteUrlList(const UrlList &list)
{
    QByteArray out = QByteArray::number(list.rotationMinutes, 'g', QLocale::FloatingPointShortest) + "\r\n";
    int written = 0;
    for (const UrlEntry &e : list.entries) {
        if (++written > ListLimits::UrlEntries)
            break;
        // Empty lines are skipped on reading, so a blank address goes out in
        // quotes and keeps every later entry in its place; an address that
        // is quoted itself keeps its quotes the same way.
        QString url = e.url.trimmed();
        if (url.isEmpty() || (url.size() >= 2 && url.startsWith(u'"') && url.endsWith(u'"')))
            url = u'"' + url + u'"';
        out += line(url) + QByteArray::number(std::clamp(e.flag, 0, 255)) + "\r\n";
    }
    return out;
}

QByteArray WriteEntryList(const QStringList &entries)
{
    QByteArray out;
    for (const QString &e : entries)
        out += line(e);
    return out;
}

QByteArray WriteColumnWidths(const QList<int> &widths)
{
    QByteArray out;
    for (int w : widths)
        out += QByteArray::number(w) + "\r\n";
    return out;
}

void LoadListFiles(ClientState &state)
{
    for (int n = 1; n <= PhraseListCount; ++n)
        if (auto bytes = FileLines::readFile(state.filePath(PhraseListFileName(n))))
            state.phraseLists[n - 1] = ReadPhraseList(*bytes);
    if (auto bytes = FileLines::readFile(state.filePath(UrlListFileName)))
        if (auto list = ReadUrlList(*bytes))
            state.urlList = *list;
    state.groupList = BuiltInGroups(state.settings);
    if (auto bytes = FileLines::readFile(state.filePath(GroupListFileName)))
        state.groupList = ReadEntryList(*bytes, ListLimits::Groups);
    if (auto bytes = FileLines::readFile(state.filePath(AddCountiesFileName)))
        state.additionalCounties = ReadEntryList(*bytes, ListLimits::AdditionalCounties);
    if (auto bytes = FileLines::readFile(state.filePath(ColumnWidthsFileName)))
        state.columnWidths = ReadColumnWidths(*bytes);
    if (auto bytes = FileLines::readFile(state.filePath(FilterListFileName)))
        state.filterList = ReadEntryList(*bytes, ListLimits::Filters);
}

bool SavePhraseListFile(const ClientState &state, int n, QString *error)
{
    if (n < 1 || n > PhraseListCount)
        return false;
    return saveTo(state, PhraseListFileName(n), WritePhraseList(state.phraseLists[n - 1]), error);
}

bool SaveUrlListFile(const ClientState &state, QString *error)
{
    return saveTo(state, UrlListFileName, WriteUrlList(state.urlList), error);
}

bool SaveGroupListFile(const ClientState &state, QString *error)
{
    return saveTo(state, GroupListFileName, WriteEntryList(state.groupList), error);
}

bool SaveAdditionalCountiesFile(const ClientState &state, QString *error)
{
    return saveTo(state, AddCountiesFileName, WriteEntryList(state.additionalCounties), error);
}

bool SaveColumnWidthsFile(const ClientState &state, QString *error)
{
    return saveTo(state, ColumnWidthsFileName, WriteColumnWidths(state.columnWidths), error);
}

bool SaveFilterListFile(const ClientState &state, QString *error)
{
    return saveTo(state, FilterListFileName, WriteEntryList(state.filterList), error);
}

QString SaveFailureNotice(ClientState &state, const QString &fileName, bool saved, const QString &why)
{
    if (saved) {
        state.unsavedFiles.remove(fileName);
        return QString();
    }
    // Once per file: a folder that stays read-only must not raise a box at
    // every change.
    if (state.unsavedFiles.contains(fileName))
        return QString();
    state.unsavedFiles.insert(fileName);
    return QStringLiteral(
               "%1 could not be saved: %2\n\nYour change stays in effect until the program is closed.")
        .arg(fileName, why);
}
