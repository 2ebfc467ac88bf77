#pragma once

#include <QString>
#include <QStringList>
#include <QStringView>

// Framing and escaping of the server protocol. A message is
// ":" + three-character code + "|" + each field followed by "|" + "^".
namespace Protocol {

// The characters that user text may not carry on the wire, and the
// characters (bytes 127..130 decoded) that stand in for them.
QChar escapedApostrophe(); // byte 127
QChar escapedBar();        // byte 128
QChar escapedColon();      // byte 129
QChar escapedCaret();      // byte 130

} // namespace Protocol

QString EscapeOutgoing(QStringView text);
QString CleanIncoming(QStringView text);

// Fields from the sixth character on, "|" advancing the index from 0; the
// closing "^" is not part of any field. Read them with FieldAt.
QStringList SplitFields(QStringView message);
// Field i of a split, or an empty text when the message had fewer.
QString FieldAt(const QStringList &fields, int i);

// Characters 2 to 4 of a message (the code), or fewer when it is short.
QString CommandCode(QStringView message);

// ":" + code + "|" + fields, each followed by "|", then "^". Fields go in as
// given: callers escape the free-text ones first.
QString ServerMessage(QStringView code, const QStringList &fields = {});

// Whole-message upper-casing (the sign-off message uses it): letters only,
// one for one, and only where the result still fits on the wire, so the
// length never changes and escape characters stay as they are.
QString UpperCaseWire(QStringView message);
