#include "base/wire_codec.h"
#include "net/protocol.h"

#include <QtTest>

using namespace Qt::Literals::StringLiterals;

// Bytes to text and back, the escape bytes, and the message frame.
class TstWireCodec : public QObject
{
    Q_OBJECT

private slots:
    void everyByteSurvivesARoundTrip()
    {
        QByteArray all(256, Qt::Uninitialized);
        for (int i = 0; i < 256; ++i)
            all[i] = char(i);
        const QString text = WireCodec::decode(all);
        QCOMPARE(text.size(), 256);
        QCOMPARE(WireCodec::encode(text), all);
        QCOMPARE(text.at(0x80), QChar(0x20AC));
        QCOMPARE(text.at(0x81), QChar(0x81));
    }

    void charactersOutsideTheCodePage_data()
    {
        QTest::addColumn<QString>("text");
        QTest::addColumn<QByteArray>("wire");
        QTest::newRow("cjk") << u"a\u4E2Db"_s << "a?b"_ba;
        QTest::newRow("latin1 C1 with a code-page byte") << u"\u0080"_s << "?"_ba;
        QTest::newRow("emoji surrogates") << u"x\U0001F32Ay"_s << "x??y"_ba;
    }
    void charactersOutsideTheCodePage()
    {
        QFETCH(QString, text);
        QTEST(WireCodec::encode(text), "wire");
    }

    void escapingPutsTheEscapeBytesOnTheWire()
    {
        const QString typed = u"it's 5:30 | hail ^ big"_s;
        const QString escaped = EscapeOutgoing(typed);
        QCOMPARE(escaped.size(), typed.size());
        const QByteArray wire = WireCodec::encode(escaped);
        QCOMPARE(wire, QByteArray("it\x7Fs 5\x81"
                                  "30 \x80 hail \x82 big"));
        QCOMPARE(CleanIncoming(WireCodec::decode(wire)), typed);
        // Byte 128 typed by the user travels unchanged and reads as a bar.
        QCOMPARE(CleanIncoming(WireCodec::decode(QByteArray("a\x80"
                                                            "b"))),
                 u"a|b"_s);
    }

    void splitFields_data()
    {
        QTest::addColumn<QString>("message");
        QTest::addColumn<QStringList>("expected"); // the fields a handler reads
        QTest::newRow("no fields") << u":HUB|^"_s << QStringList{QString()};
        QTest::newRow("empty middle") << u":RPT|a||c|^"_s << QStringList{u"a"_s, QString(), u"c"_s};
        QTest::newRow("position five not examined") << u":MSGxA|B|^"_s << QStringList{u"A"_s, u"B"_s};
        QTest::newRow("colon inside") << u":RPT|R: hail|KS|^"_s << QStringList{u"R: hail"_s, u"KS"_s};
    }
    void splitFields()
    {
        QFETCH(QString, message);
        QFETCH(QStringList, expected);
        const QStringList fields = SplitFields(message);
        for (int i = 0; i < expected.size(); ++i)
            QCOMPARE(FieldAt(fields, i), expected.at(i));
        QCOMPARE(FieldAt(fields, 40), QString());
        QVERIFY(!fields.join(QString()).contains(u'^'));
    }

    void buildingMessages()
    {
        QCOMPARE(ServerMessage(u"GOB"), u":GOB|^"_s);
        QCOMPARE(ServerMessage(u"RPT", {u"a"_s, QString(), u"c"_s}), u":RPT|a||c|^"_s);
        QCOMPARE(CommandCode(u":C12|bob|^"), u"C12"_s);
    }
};

QTEST_GUILESS_MAIN(TstWireCodec)
#include "tst_wire_codec.moc"
