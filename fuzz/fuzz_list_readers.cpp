// List file readers: any bytes are read without fault, limits hold, and
// what was read is written and read back unchanged.
#include "base/list_files.h"

#include <cstdlib>

namespace {

void check(bool condition)
{
    if (!condition)
        std::abort();
}

bool hasLineBreak(const QString &s)
{
    return s.contains(QLatin1Char('\r')) || s.contains(QLatin1Char('\n'));
}

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t *data, size_t size)
{
    const QByteArrayView bytes(reinterpret_cast<const char *>(data), qsizetype(size));

    const PhraseList phrases = ReadPhraseList(bytes);
    check(!hasLineBreak(phrases.title));
    for (const QString &p : phrases.phrases)
        check(!p.isEmpty() && !hasLineBreak(p));
    check(ReadPhraseList(WritePhraseList(phrases)) == phrases);

    for (int limit : {3, ListLimits::Groups, ListLimits::Filters}) {
        const QStringList entries = ReadEntryList(bytes, limit);
        check(entries.size() <= limit);
        check(ReadEntryList(WriteEntryList(entries), limit) == entries);
    }

    const QList<int> widths = ReadColumnWidths(bytes);
    check(widths.size() <= ListLimits::Columns);
    for (int w : widths)
        check(w >= -1);
    check(ReadColumnWidths(WriteColumnWidths(widths)) == widths);

    if (const auto urls = ReadUrlList(bytes)) {
        check(urls->entries.size() <= ListLimits::UrlEntries);
        const auto back = ReadUrlList(WriteUrlList(*urls));
        check(back.has_value() && back->rotationMinutes == urls->rotationMinutes);
        // Every entry keeps its place, blank ones included.
        check(back->entries.size() == urls->entries.size());
        for (qsizetype i = 0; i < back->entries.size(); ++i)
            check(back->entries[i].url.trimmed() == urls->entries[i].url.trimmed());
    }
    return 0;
}
