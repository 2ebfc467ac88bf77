#include "base/content_filters.h"

#include "platform/dialogs.h"

const QStringList &OffensiveWords()
{
    static const QStringList words = {
        QStringLiteral("FUCK"),    QStringLiteral("SHIT"),     QStringLiteral("CUNT"),
        QStringLiteral("BITCH"),   QStringLiteral("BASTARD"),  QStringLiteral("ASSHOLE"),
        QStringLiteral("DICK"),    QStringLiteral("COCK"),     QStringLiteral("PUSSY"),
        QStringLiteral("WHORE"),   QStringLiteral("SLUT"),     QStringLiteral("FAG"),
        QStringLiteral("FAGGOT"),  QStringLiteral("NIGGER"),   QStringLiteral("SPIC"),
        QStringLiteral("CHINK"),   QStringLiteral("KIKE"),     QStringLiteral("RETARD"),
        QStringLiteral("TWAT"),    QStringLiteral("WANKER"),   QStringLiteral("MOTHERFUCKER"),
        QStringLiteral("DUMBASS"), QStringLiteral("GOD DAMN"),
    };
    return words;
}

int FindOffensiveWord(QStringView text)
{
    const QString t = text.toString().toUpper();
    const QStringList &words = OffensiveWords();
    for (int i = 0; i < words.size(); ++i) {
        const QString &w = words.at(i);
        const qsizetype p = t.indexOf(w);
        if (p < 0)
            continue;
        const qsizetype after = p + w.size();
        const bool spaceAfter = after < t.size() && t.at(after) == u' ';
        if (p == 0) {
            if (t.size() == w.size() || spaceAfter)
                return i;
        } else if (t.at(p - 1) == u' ') {
            // The end test looks at the whole text, not at this occurrence.
            if (t.endsWith(w) || spaceAfter)
                return i;
        }
    }
    return -1;
}

bool ProfanityCheck(QStringView text, Dialogs &dialogs)
{
    if (FindOffensiveWord(text) < 0)
        return false;
    dialogs.messageBox(QStringLiteral("Please, no cursing."), QString(), Dialogs::OkOnly);
    return true;
}

bool BlockedUsers::IsBlocked(const QStringList &filterList, const QString &name)
{
    if (filterList.isEmpty())
        return false;
    // Equal lists compare in constant time while they share their data.
    if (!m_built || m_source != filterList) {
        m_source = filterList;
        m_upper.clear();
        m_upper.reserve(filterList.size());
        for (const QString &entry : filterList)
            m_upper.insert(entry.toUpper());
        m_built = true;
    }
    return m_upper.contains(name.toUpper());
}

ListEntryResult AddListEntry(QStringList &list, const QString &typed, int maxEntries)
{
    if (typed.trimmed().isEmpty())
        return ListEntryResult::Blank;
    if (list.size() >= maxEntries)
        return ListEntryResult::Full;
    list.append(typed);
    return ListEntryResult::Added;
}

QString FilterListFullMessage()
{
    return QStringLiteral("The filter list is full: at most 2,000 user names can be blocked.  "
                          "Remove a name before adding another.");
}

QString AdditionalCountiesFullMessage()
{
    return QStringLiteral("The list of additional counties is full: at most 1,000 entries can be "
                          "stored.  Remove an entry before adding another.");
}
