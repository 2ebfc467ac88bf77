#include "net/raw_view.h"

#include <QTest>

class TestRawView : public QObject
{
    Q_OBJECT
private slots:
    void parse_data()
    {
        QTest::addColumn<QString>("text");
        QTest::addColumn<QString>("parsed");
        QTest::newRow("empty") << QString() << QString();
        QTest::newRow("no caret") << u"abc"_qs << u"abc"_qs;
        QTest::newRow("two messages") << u":GOB|^:DOB|^"_qs << u":GOB|^\r\n\r\n:DOB|^\r\n\r\n"_qs;
        QTest::newRow("caret first and carets in a row") << u"^^x"_qs << u"^\r\n\r\n^\r\n\r\nx"_qs;
        QTest::newRow("text after the last caret") << u":A^tail"_qs << u":A^\r\n\r\ntail"_qs;
    }
    void parse()
    {
        QFETCH(QString, text);
        QFETCH(QString, parsed);
        QCOMPARE(ParseRawView(text), parsed);
    }

    void parseIsLinearOnAFlood()
    {
        // Half a million messages; inserting in place would take minutes.
        const QString flood = QStringLiteral(":X^").repeated(500'000);
        const QString parsed = ParseRawView(flood);
        QCOMPARE(parsed.size(), flood.size() + 500'000 * 4);
        QVERIFY(parsed.endsWith(u":X^\r\n\r\n"));
    }
};

QTEST_GUILESS_MAIN(TestRawView)
#include "tst_raw_view.moc"
