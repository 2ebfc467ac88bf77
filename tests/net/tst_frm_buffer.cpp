// ctest-label: ui
#include "net/raw_view.h"
#include "net/ui/frm_buffer.h"

#include <QPlainTextEdit>
#include <QPushButton>
#include <QTest>

// The raw receive view: its text rules and the window that shows them.
class TestFrmBuffer : public QObject
{
    Q_OBJECT
private slots:
    void parse_data()
    {
        QTest::addColumn<QString>("text");
        QTest::addColumn<QString>("parsed");
        QTest::newRow("no caret") << u"abc"_qs << u"abc"_qs;
        QTest::newRow("two messages") << u":GOB|^:DOB|^"_qs << u":GOB|^\r\n\r\n:DOB|^\r\n\r\n"_qs;
        QTest::newRow("caret first and carets in a row") << u"^^x"_qs << u"^\r\n\r\n^\r\n\r\nx"_qs;
    }
    void parse()
    {
        QFETCH(QString, text);
        QTEST(ParseRawView(text), "parsed");
    }

    void parseIsLinearOnAFlood()
    {
        // Half a million messages; inserting in place would take minutes.
        const QString flood = QStringLiteral(":X^").repeated(500'000);
        const QString parsed = ParseRawView(flood);
        QCOMPARE(parsed.size(), flood.size() + 500'000 * 4);
        QVERIFY(parsed.endsWith(u":X^\r\n\r\n"));
    }

    void buttons()
    {
        frmBuffer view;
        QCOMPARE(view.windowTitle(), QStringLiteral("Buffer Data"));
        auto *text = view.findChild<QPlainTextEdit *>(QStringLiteral("Text1"));
        auto *done = view.findChild<QPushButton *>(QStringLiteral("Command1"));
        auto *clear = view.findChild<QPushButton *>(QStringLiteral("Command2"));
        auto *parse = view.findChild<QPushButton *>(QStringLiteral("Command3"));
        QVERIFY(text && done && clear && parse);

        view.show();
        view.appendArrival(QStringLiteral(":GOB|KS|^:DOB|"));
        view.appendArrival(QStringLiteral("<b>x</b>^"));
        QCOMPARE(text->toPlainText(), QStringLiteral(":GOB|KS|^:DOB|\n\n<b>x</b>^\n\n"));
        QVERIFY(text->textCursor().atEnd());

        QTest::mouseClick(parse, Qt::LeftButton);
        QCOMPARE(text->toPlainText(), QStringLiteral(":GOB|KS|^\n\n:DOB|\n\n<b>x</b>^\n\n\n\n"));

        QTest::mouseClick(clear, Qt::LeftButton);
        QVERIFY(text->toPlainText().isEmpty());

        QTest::mouseClick(done, Qt::LeftButton);
        QVERIFY(view.isHidden());
    }

    void keepsOnlyTheLatestText()
    {
        frmBuffer view;
        const QString older = QString(600'000, u'a');
        const QString newer = QString(600'000, u'b') + u'^';
        view.appendArrival(older);
        view.appendArrival(newer);
        const QString kept = view.Text1->toPlainText();
        QVERIFY(kept.size() <= RawView::KeptCharacters);
        QVERIFY(kept.endsWith(newer + u"\n\n"_qs));
        QVERIFY(kept.startsWith(u'a'));

        view.appendArrival(QString(RawView::KeptCharacters + 10, u'c'));
        QCOMPARE(view.Text1->toPlainText(), QString(RawView::KeptCharacters - 4, u'c') + u"\n\n"_qs);
    }
};

QTEST_MAIN(TestFrmBuffer)
#include "tst_frm_buffer.moc"
