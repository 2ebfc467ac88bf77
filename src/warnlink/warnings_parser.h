#pragma once

#include "warnlink/warnings_model.h"

#include <QList>
#include <QString>

// What one arrival on the local warning link does to the warnings list.
struct WarningArrival
{
    bool clearList = false; // a message began: the list is emptied
    QList<WarningRow> rows; // the finished message's rows, top of the list first
};

namespace WarningsParser {

// A peer that never sends "^" cannot make the buffer grow beyond this: the
// half message is dropped instead.
inline constexpr qsizetype MaxBufferChars = 1024 * 1024;

// Takes the buffer with the new text already appended and leaves in it
// only what must wait for the next arrival. Text before the first ":" is
// junk; everything after the first "^" is dropped.
WarningArrival Parse(QString &buffer);

// Bold and colour by the Severity cell, exact and case-sensitive.
void Highlight(WarningRow &row);

} // namespace WarningsParser
