#include "net/protocol.h"

#include "base/wire_codec.h"

namespace Protocol {
QChar escapedApostrophe()
{
    return WireCodec::charForByte(127);
}
QChar escapedBar()
{
    return WireCodec::charForByte(128);
}
QChar escapedColon()
{
    return WireCodec::charForByte(129);
}
QChar escapedCaret()
{
    return WireCodec::charForByte(130);
}
} // namespace Protocol

QString EscapeOutgoing(QStringView text)
{
    QString out = text.toString();
    for (QChar &c : out) {
        switch (c.unicode()) {
        case u'\'':
            c = Protocol::escapedApostrophe();
            break;
        case u'|':
            c = Protocol::escapedBar();
            break;
        case u':':
            c = Protocol::escapedColon();
            break;
        case u'^':
            c = Protocol::escapedCaret();
            break;
        default:
            break;
        }
    }
    return out;
}

QString CleanIncoming(QStringView text)
{
    const QChar apostrophe = Protocol::escapedApostrophe();
    const QChar bar = Protocol::escapedBar();
    const QChar colon = Protocol::escapedColon();
    const QChar caret = Protocol::escapedCaret();
    QString out = text.toString();
    for (QChar &c : out) {
        if (c == apostrophe)
            c = u'\'';
        else if (c == bar)
            c = u'|';
        else if (c == colon)
            c = u':';
        else if (c == caret)
            c = u'^';
    }
    return out;
}

QStringList SplitFields(QStringView message)
{
    QStringList fields;
    if (message.size() <= 5)
        return fields;
    // The closing "^" belongs to no field, so a message without fields
    // reads as one empty field.
    const qsizetype end = message.endsWith(u'^') ? message.size() - 1 : message.size();
    QString current;
    for (qsizetype i = 5; i < end; ++i) {
        const QChar c = message[i];
        if (c == u'|') {
            fields.append(current);
            current.clear();
        } else {
            current.append(c);
        }
    }
    fields.append(current);
    return fields;
}

QString FieldAt(const QStringList &fields, int i)
{
    return i >= 0 && i < fields.size() ? fields.at(i) : QString();
}

QString CommandCode(QStringView message)
{
    return message.mid(1, 3).toString();
}

QString ServerMessage(QStringView code, const QStringList &fields)
{
    QString out;
    out.reserve(6 + code.size() + fields.size());
    out += u':';
    out += code;
    out += u'|';
    for (const QString &f : fields) {
        out += f;
        out += u'|';
    }
    out += u'^';
    return out;
}

QString UpperCaseWire(QStringView message)
{
    QString out = message.toString();
    for (QChar &c : out) {
        const QChar up = c.toUpper();
        if (up != c && WireCodec::isEncodable(up))
            c = up;
    }
    return out;
}
