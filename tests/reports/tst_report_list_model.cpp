#include "reports/report_list_model.h"

#include <QSignalSpy>
#include <QtTest>

using namespace Qt::Literals::StringLiterals;

namespace {

ReportRow row(const QString &text)
{
    ReportRow r;
    r.text = text;
    r.observer = u"OBS"_s;
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

} // namespace

class TstReportListModel : public QObject
{
    Q_OBJECT
private slots:
    void columns();
    void capKeepsNewest_data();
    void capKeepsNewest();
    void deleteMatches_data();
    void deleteMatches();
    void colourRole();
    void clearDropsStagedRows();
    void flushesOnNextEventLoopPass();
};

void TstReportListModel::columns()
{
    ReportListModel m;
    QCOMPARE(m.columnCount(), 7);
    QStringList titles;
    QList<int> widths;
    for (int c = 0; c < 7; ++c) {
        titles << m.headerData(c, Qt::Horizontal).toString();
        widths << ReportListModel::DefaultWidthTwips(c);
    }
    QCOMPARE(titles, (QStringList{u"Report"_s, u"Date/Time"_s, u"ST"_s, u"County"_s, u"Zip"_s, u"Observer"_s,
                                  u"Location"_s}));
    QCOMPARE(widths, (QList<int>{4300, 1200, 600, 1100, 800, 1000, 2000}));
}

void TstReportListModel::capKeepsNewest_data()
{
    QTest::addColumn<int>("before");     // rows committed one by one first
    QTest::addColumn<int>("burst");      // then staged together
    QTest::addColumn<int>("flushEvery"); // 0: one flush for the burst
    QTest::newRow("2000th single insertion") << 2000 << 0 << 0;
    QTest::newRow("burst into empty list") << 0 << 5000 << 0;
    QTest::newRow("burst onto full list") << 1999 << 10 << 0;
    QTest::newRow("burst onto half list") << 1000 << 1500 << 0;
    QTest::newRow("burst in flushed slices") << 700 << 4000 << 333;
    QTest::newRow("small") << 3 << 2 << 0;
}

void TstReportListModel::capKeepsNewest()
{
    QFETCH(int, before);
    QFETCH(int, burst);
    QFETCH(int, flushEvery);
    ReportListModel m;
    QSignalSpy total(&m, &ReportListModel::listTotalChanged);
    int n = 0;
    for (int i = 0; i < before; ++i, ++n) {
        m.AddRow(row(QString::number(n)));
        m.flush();
    }
    for (int i = 0; i < burst; ++i, ++n) {
        m.AddRow(row(QString::number(n)));
        if (flushEvery && i % flushEvery == 0)
            m.flush();
    }
    m.flush();
    const int expected = std::min(n, ReportListModel::MaxRows);
    QCOMPARE(m.rowCount(), expected);
    // Newest at the top, consecutive down to the oldest kept.
    for (int r = 0; r < m.rowCount(); ++r)
        QCOMPARE(m.row(r).text, QString::number(n - 1 - r));
    QCOMPARE(total.last().at(0).toString(), ReportListModel::ListTotalText(expected));
}

void TstReportListModel::deleteMatches_data()
{
    QTest::addColumn<QStringList>("rows"); // top first
    QTest::addColumn<QString>("text");
    QTest::addColumn<QStringList>("left");
    QTest::newRow("three rows any case, two adjacent")
        << QStringList{u"Hail"_s, u"HAIL"_s, u"rain"_s, u"hail"_s, u"wind"_s} << u"hAiL"_s
        << QStringList{u"rain"_s, u"wind"_s};
    QTest::newRow("none") << QStringList{u"a"_s, u"b"_s} << u"c"_s << QStringList{u"a"_s, u"b"_s};
    QTest::newRow("whole text only") << QStringList{u"hail storm"_s, u"hail"_s} << u"hail"_s
                                     << QStringList{u"hail storm"_s};
    QTest::newRow("all") << QStringList{u"x"_s, u"X"_s} << u"x"_s << QStringList{};
}

void TstReportListModel::deleteMatches()
{
    QFETCH(QStringList, rows);
    QFETCH(QString, text);
    QFETCH(QStringList, left);
    ReportListModel m;
    for (qsizetype i = rows.size() - 1; i >= 0; --i)
        m.AddRow(row(rows.at(i)));
    m.flush();
    QSignalSpy total(&m, &ReportListModel::listTotalChanged);
    m.RemoveMatching(text);
    QCOMPARE(texts(m), left);
    if (left.size() != rows.size())
        QCOMPARE(total.last().at(0).toString(), ReportListModel::ListTotalText(int(left.size())));
}

void TstReportListModel::colourRole()
{
    ReportListModel m;
    m.AddRow(row(u"Plain"_s));
    m.AddRow(row(u"Tornado"_s));
    m.flush();
    QCOMPARE(m.data(m.index(0, 6), ReportListModel::ColourRole).toInt(), 0xff0000);
    QVERIFY(!m.data(m.index(1, 0), ReportListModel::ColourRole).isValid());
    QVERIFY(!m.data(m.index(0, 0), Qt::ForegroundRole).isValid());
    m.setForegroundProvider([](const Rgb &c) { return QVariant(c.r + c.g + c.b); });
    QCOMPARE(m.data(m.index(0, 0), Qt::ForegroundRole).toInt(), 255);
}

void TstReportListModel::clearDropsStagedRows()
{
    ReportListModel m;
    m.AddRow(row(u"a"_s));
    m.flush();
    m.AddRow(row(u"b"_s));
    QSignalSpy total(&m, &ReportListModel::listTotalChanged);
    m.Clear();
    m.flush();
    QCOMPARE(m.rowCount(), 0);
    QCOMPARE(total.last().at(0).toString(), u"0  Listed Reports"_s);
}

void TstReportListModel::flushesOnNextEventLoopPass()
{
    ReportListModel m;
    QSignalSpy inserted(&m, &QAbstractItemModel::rowsInserted);
    for (int i = 0; i < 50; ++i)
        m.AddRow(row(QString::number(i)));
    QCOMPARE(m.rowCount(), 0);
    QTRY_COMPARE_WITH_TIMEOUT(m.rowCount(), 50, 2000);
    QCOMPARE(inserted.count(), 1);
}

QTEST_GUILESS_MAIN(TstReportListModel)
#include "tst_report_list_model.moc"
