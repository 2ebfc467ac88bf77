#include "net/protocol.h"
#include "net/wire_codec.h"

#include <QTest>

class TestWireProtocol : public QObject
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
        // Distinct bytes decode to distinct characters.
        QSet<QChar> seen(text.begin(), text.end());
        QCOMPARE(seen.size(), 256);
        QCOMPARE(text.at(0x80), QChar(0x20AC));
        QCOMPARE(text.at(0x81), QChar(0x81));
    }

    void charactersOutsideTheCodePage_data()
    {
        QTest::addColumn<QString>("text");
        QTest::addColumn<QByteArray>("wire");
        QTest::newRow("cjk") << QStringLiteral("a\u4E2Db") << QByteArray("a?b");
        QTest::newRow("latin1 C1 with a code-page byte") << QStringLiteral("\u0080") << QByteArray("?");
        QTest::newRow("euro") << QStringLiteral("\u20AC") << QByteArray("\x80");
        QTest::newRow("emoji surrogates") << QStringLiteral("x\U0001F32Ay") << QByteArray("x??y");
    }
    void charactersOutsideTheCodePage()
    {
        QFETCH(QString, text);
        QFETCH(QByteArray, wire);
        QCOMPARE(WireCodec::encode(text), wire);
    }

    void escapingPutsTheEscapeBytesOnTheWire()
    {
        const QString typed = QStringLiteral("it's 5:30 | hail ^ big");
        const QString escaped = EscapeOutgoing(typed);
        QCOMPARE(escaped.size(), typed.size());
        const QByteArray wire = WireCodec::encode(escaped);
        QCOMPARE(wire, QByteArray("it\x7Fs 5\x81"
                                  "30 \x80 hail \x82 big"));
        QCOMPARE(CleanIncoming(WireCodec::decode(wire)), typed);
        // Byte 128 typed by the user travels unchanged and reads as a bar.
        QCOMPARE(CleanIncoming(WireCodec::decode(QByteArray("a\x80"
                                                            "b"))),
                 QStringLiteral("a|b"));
    }

    void splitFields_data()
    {
        QTest::addColumn<QString>("message");
        QTest::addColumn<QStringList>("expected"); // the fields a handler reads
        QTest::newRow("no fields") << QStringLiteral(":HUB|^") << QStringList{QString()};
        QTest::newRow("empty middle") << QStringLiteral(":RPT|a||c|^")
                                      << QStringList{QStringLiteral("a"), QString(), QStringLiteral("c")};
        QTest::newRow("position five not examined")
            << QStringLiteral(":MSGxA|B|^") << QStringList{QStringLiteral("A"), QStringLiteral("B")};
        QTest::newRow("colon inside") << QStringLiteral(":RPT|R: hail|KS|^")
                                      << QStringList{QStringLiteral("R: hail"), QStringLiteral("KS")};
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
        QCOMPARE(ServerMessage(u"GOB"), QStringLiteral(":GOB|^"));
        QCOMPARE(ServerMessage(u"RPT", {QStringLiteral("a"), QString(), QStringLiteral("c")}),
                 QStringLiteral(":RPT|a||c|^"));
        QCOMPARE(CommandCode(u":C12|bob|^"), QStringLiteral("C12"));

        // Sign-off is upper-cased whole; escape characters and the length stay.
        const QString dob = ServerMessage(u"DOB", {EscapeOutgoing(u"ks"), EscapeOutgoing(u"o'brien"),
                                                   QStringLiteral("6\u00DF"), QStringLiteral("b\u00FFb")});
        const QByteArray wire = WireCodec::encode(UpperCaseWire(dob));
        QCOMPARE(wire, QByteArray(":DOB|KS|O\x7F"
                                  "BRIEN|6\xDF|B\x9F"
                                  "B|^"));
    }
};

QTEST_GUILESS_MAIN(TestWireProtocol)
#include "tst_wire_protocol.moc"
