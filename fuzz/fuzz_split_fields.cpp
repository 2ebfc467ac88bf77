// Bytes from the wire through the codec and the field rules: decoding and
// encoding are the identity on bytes, escaping keeps lengths, and a message
// built from escaped fields splits back into them.
#include "base/wire_codec.h"
#include "net/protocol.h"

#include <cstdlib>

namespace {

void check(bool ok)
{
    if (!ok)
        std::abort();
}

bool holdsAny(const QString &text, std::initializer_list<QChar> chars)
{
    for (QChar c : chars)
        if (text.contains(c))
            return true;
    return false;
}

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t *data, size_t size)
{
    const QByteArray bytes(reinterpret_cast<const char *>(data), qsizetype(size));
    const QString text = WireCodec::decode(bytes);
    check(text.size() == bytes.size());
    check(WireCodec::encode(text) == bytes);

    const std::initializer_list<QChar> plain = {u'\'', u'|', u':', u'^'};
    const std::initializer_list<QChar> escaped = {Protocol::escapedApostrophe(), Protocol::escapedBar(),
                                                  Protocol::escapedColon(), Protocol::escapedCaret()};

    const QString out = EscapeOutgoing(text);
    check(out.size() == text.size());
    check(!holdsAny(out, plain));
    if (!holdsAny(text, escaped))
        check(CleanIncoming(out) == text);
    const QString in = CleanIncoming(text);
    check(in.size() == text.size());
    check(!holdsAny(in, escaped));
    if (!holdsAny(text, plain))
        check(EscapeOutgoing(in) == text);

    const QStringList fields = SplitFields(text);
    for (int i = -1; i <= fields.size(); ++i)
        check(CleanIncoming(FieldAt(fields, i)).size() == FieldAt(fields, i).size());

    // Escaped fields framed and split again come back unchanged, followed by
    // the empty piece between the last bar and the caret.
    QStringList sent;
    for (const QString &f : text.split(u'|'))
        sent.append(EscapeOutgoing(f));
    const QString message = ServerMessage(u"RPT", sent);
    check(CommandCode(message) == u"RPT");
    const QStringList back = SplitFields(message);
    check(back.size() == sent.size() + 1);
    check(back.mid(0, sent.size()) == sent);
    check(back.last().isEmpty());
    check(WireCodec::encode(WireCodec::decode(WireCodec::encode(message))) == WireCodec::encode(message));

    const QString upper = UpperCaseWire(text);
    check(upper.size() == text.size());
    check(WireCodec::encode(upper).size() == bytes.size());
    for (qsizetype i = 0; i < text.size(); ++i)
        if (holdsAny(QString(text.at(i)), escaped))
            check(upper.at(i) == text.at(i));
    return 0;
}
