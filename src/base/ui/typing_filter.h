#pragma once

#include <QString>

class QLineEdit;
class QWidget;

// Which typed keys become capitals: every key, or only the key typed while
// the box is empty (the first letter of free text).
enum class CapitalKeys { Every, First };

// The keystroke filter of every box that upper-cases typed letters: a typed
// a to z goes into the box as its capital, any other key (accented letters
// included) goes on as typed. The capital is inserted, never sent as a new
// key event, so no key can come back through the filter. For a QLineEdit
// or a QPlainTextEdit; text the program puts into the box is left alone.
void InstallCapitalKeys(QWidget *box, CapitalKeys which);

// Keeps characters the protocol cannot carry out of a text box, and with
// capital set turns every lower-case ASCII letter into a capital. Works on
// every edit, so pasted text is treated like typed text.
void InstallTypingFilter(QLineEdit *box, const QString &discarded, bool capital);

// "|", ":", "^" and the double quote.
inline const QString ListEntryDiscarded = QStringLiteral("|:^\"");
