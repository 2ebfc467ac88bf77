#pragma once

#include "base/capital.h"

#include <QSet>
#include <QString>
#include <QStringList>
#include <QStringView>

class Dialogs;

namespace ContentFilters {
inline constexpr int MaxFilterEntries = 2000;
inline constexpr int MaxAdditionalCounties = 1000;
} // namespace ContentFilters

// The built-in offensive words, in test order: upper case, letters only,
// one two-word entry, 3 to 13 characters.
const QStringList &OffensiveWords();

// The index of the word that refuses text, or -1. Only the first occurrence
// of each word is examined and only the space counts as a boundary.
int FindOffensiveWord(QStringView text);
// Shows "Please, no cursing." and returns true when the text is refused.
bool ProfanityCheck(QStringView text, Dialogs &dialogs);

// Blocked-user test: the upper-cased name equals an upper-cased entry.
// Keeps an upper-cased set of the list, rebuilt only when the list changes,
// so screening a burst of records costs one lookup each.
class BlockedUsers final
{
public:
    bool IsBlocked(const QStringList &filterList, const QString &name);

private:
    QStringList m_source;
    QSet<QString> m_upper;
    bool m_built = false;
};

// Adding an entry typed into the filter or additional-counties window.
enum class ListEntryResult { Added, Blank, Full };
// Blank (only spaces) entries are ignored; the entry is stored as typed.
ListEntryResult AddListEntry(QStringList &list, const QString &typed, int maxEntries);

QString FilterListFullMessage();
QString AdditionalCountiesFullMessage();
