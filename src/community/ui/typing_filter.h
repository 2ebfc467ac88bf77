#pragma once

#include <QString>

class QLineEdit;

// Keeps characters the protocol cannot carry out of a text box, and with
// capital set turns every typed lower-case ASCII letter into a capital.
// Works on every edit, so pasted text is treated like typed text.
void InstallTypingFilter(QLineEdit *box, const QString &discarded, bool capital);

// "|", ":", "^" and the double quote.
inline const QString ListEntryDiscarded = QStringLiteral("|:^\"");
