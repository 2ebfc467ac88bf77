#include "reports/report_list_model.h"
#include "reports/report_tools.h"

#include <QtTest>

using namespace Qt::Literals::StringLiterals;

ReportRow listRow(const QString &text, const QString &time = {})
{
    ReportRow r;
    r.text = text;
    r.observer = u"OBS"_s;
    r.timeText = time;
    r.colour = SeverityColour(text);
    return r;
}

QStringList texts(const ReportListModel &m)
{
    QStringList out;
    for (int i = 0; i < m.rowCount(); ++i)
        out << m.row(i).text;
    return out;
}

// The report list: rows, cap, order and deletion.
class TstReportListModel : public QObject
{
    Q_OBJECT
private slots:
    void capKeepsNewest_data()
    {
        QTest::addColumn<int>("before");     // rows committed one by one first
        QTest::addColumn<int>("burst");      // then staged together
        QTest::addColumn<int>("flushEvery"); // 0: one flush for the burst
        QTest::newRow("2000th single insertion") << 2000 << 0 << 0;
        QTest::newRow("burst into empty list") << 0 << 5000 << 0;
        QTest::newRow("burst onto half list") << 1000 << 1500 << 0;
        QTest::newRow("burst in flushed slices") << 700 << 4000 << 333;
    }
    void capKeepsNewest()
    {
        QFETCH(int, before);
        QFETCH(int, burst);
        QFETCH(int, flushEvery);
        ReportListModel m;
        QSignalSpy total(&m, &ReportListModel::listTotalChanged);
        int n = 0;
        for (int i = 0; i < before; ++i, ++n) {
            m.AddRow(listRow(QString::number(n)));
            m.flush();
        }
        for (int i = 0; i < burst; ++i, ++n) {
            m.AddRow(listRow(QString::number(n)));
            if (flushEvery && i % flushEvery == 0)
                m.flush();
        }
        m.flush();
        const int kept = 1999; // every row overflows the list
        QCOMPARE(m.rowCount(), kept);
        // Newest at the top, consecutive down to the oldest kept.
        for (int r = 0; r < m.rowCount(); ++r)
            QCOMPARE(m.row(r).text, QString::number(n - 1 - r));
        QCOMPARE(total.last().at(0).toString(), ReportListModel::ListTotalText(kept));
    }

    // A hand-edited ColmW.txt width must not overflow on the way to pixels.
    void columnWidthsHeldToTheScreen()
    {
        QCOMPARE(ReportListModel::TwipsToPixels(1440, 96), 96);
        QCOMPARE(ReportListModel::TwipsToPixels(99'999'999, 192),
                 ReportListModel::MaxWidthTwips * 192 / 1440);
        QCOMPARE(ReportListModel::TwipsToPixels(-5, 96), 0);
        QCOMPARE(ReportTools::SavedColumnWidths({0, 49, 50, 4300}), (QList<int>{50, 50, 50, 4300}));
    }

    void deleteRemovesWholeTextMatchesInAnyCase()
    {
        ReportListModel m;
        for (const QString &t : {u"wind"_s, u"hail storm"_s, u"hail"_s, u"rain"_s, u"HAIL"_s, u"Hail"_s})
            m.AddRow(listRow(t));
        m.flush();
        QSignalSpy total(&m, &ReportListModel::listTotalChanged);
        m.RemoveMatching(u"hAiL"_s);
        QCOMPARE(texts(m), (QStringList{u"rain"_s, u"hail storm"_s, u"wind"_s}));
        QCOMPARE(total.last().at(0).toString(), u"3  Listed Reports"_s);
    }

    void stagedRowsFlushOnceAndClearDropsThem()
    {
        ReportListModel m;
        QSignalSpy inserted(&m, &QAbstractItemModel::rowsInserted);
        for (int i = 0; i < 50; ++i)
            m.AddRow(listRow(QString::number(i)));
        QCOMPARE(m.rowCount(), 0);
        QTRY_COMPARE_WITH_TIMEOUT(m.rowCount(), 50, 2000);
        QCOMPARE(inserted.count(), 1);
        m.AddRow(listRow(u"b"_s));
        QSignalSpy total(&m, &ReportListModel::listTotalChanged);
        m.Clear();
        m.flush();
        QCOMPARE(m.rowCount(), 0);
        QCOMPARE(total.last().at(0).toString(), u"0  Listed Reports"_s);
    }

    // Sorted once as text: "12/..." comes before "9/..." although it is later
    // in the year, and a row that arrives afterwards still goes on top.
    void sortsOnceByText()
    {
        ReportListModel m;
        m.AddRow(listRow(u"b"_s, u"9/01 10:00"_s));
        m.AddRow(listRow(u"A"_s, u"12/24 08:00"_s));
        m.AddRow(listRow(u"c"_s, u"10/15 23:00"_s));
        m.sort(1, Qt::AscendingOrder); // flushes the staged rows first
        QCOMPARE(texts(m), (QStringList{u"c"_s, u"A"_s, u"b"_s}));
        m.sort(0, Qt::DescendingOrder);
        QCOMPARE(texts(m), (QStringList{u"c"_s, u"b"_s, u"A"_s}));
        m.AddRow(listRow(u"a"_s));
        m.flush();
        QCOMPARE(texts(m).first(), u"a"_s);
        QCOMPARE(m.cells(0).size(), 7);
    }
};

QTEST_GUILESS_MAIN(TstReportListModel)
#include "tst_report_list_model.moc"
