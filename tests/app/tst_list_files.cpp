#include "base/client_state.h"
#include "base/list_files.h"
#include "test_files.h"

#include <QDir>
#include <QFile>
#include <QTemporaryDir>
#include <QTest>

using namespace Qt::Literals::StringLiterals;

namespace {

QString fixtureDir()
{
    return TestFiles::testData(u"lists"_s);
}

QByteArray lines(int count, const char *prefix)
{
    QByteArray out;
    for (int i = 1; i <= count; ++i)
        out += prefix + QByteArray::number(i) + "\r\n";
    return out;
}

} // namespace

class TestListFiles : public QObject
{
    Q_OBJECT
private slots:
    void loadsEveryFileFromTheDataFolder()
    {
        QTemporaryDir dir;
        for (const QString &name : QDir(fixtureDir()).entryList(QDir::Files))
            QVERIFY(QFile::copy(fixtureDir() + QLatin1Char('/') + name, dir.filePath(name)));
        ClientState state;
        state.dataDir = dir.path();
        state.settings.UserState = u"md"_s;
        LoadListFiles(state);

        QCOMPARE(state.groupList, QStringList({u"ALL"_s, u"WXCHAT"_s, u"MD HARFORD"_s}));
        QCOMPARE(state.additionalCounties, QStringList({u"MD"_s, u"PA YORK"_s}));
        QCOMPARE(state.filterList, QStringList{u"loudmouth"_s});
        // Empty lines are columns too: the third width lands in column 3.
        QCOMPARE(state.columnWidths, QList<int>({1440, -1, 2880, -1, 900, 1200, 3000}));
        const UrlList urls{
            5, {{u"http://wx.example.org/radar.gif"_s, 1}, {u"http://wx.example.org/watch.png"_s, 0}}};
        QCOMPARE(state.urlList, urls);
        const PhraseList hail{u"My Hail"_s, {u"Hail - 1\" Quarter "_s, u"Hail, large"_s}};
        QCOMPARE(state.phraseLists[3], hail);
        // Lists whose files are missing keep what they had.
        const auto presets = PresetPhraseLists();
        QCOMPARE(state.phraseLists[0], presets[0]);
        QCOMPARE(state.phraseLists[5], presets[5]);
    }

    void missingFilesKeepTheBuiltInContent()
    {
        QTemporaryDir dir;
        ClientState state;
        state.dataDir = dir.path();
        state.settings.UserState = u"md"_s;
        state.settings.UserCounty = u"Harford"_s;
        state.urlList = {1, {{u"http://a.example/x.gif"_s, 1}}};
        LoadListFiles(state);
        QCOMPARE(state.groupList, QStringList({u"ALL"_s, u"SOS"_s, u"MD"_s, u"MD HARFORD"_s, u"WXCHAT"_s}));
        QVERIFY(state.filterList.isEmpty());
        QVERIFY(state.columnWidths.isEmpty());
        QCOMPARE(state.urlList.entries.size(), 1); // kept
        QCOMPARE(state.phraseLists, PresetPhraseLists());
    }

    void entryLists_data()
    {
        QTest::addColumn<QByteArray>("bytes");
        QTest::addColumn<int>("limit");
        QTest::addColumn<int>("count");
        QTest::addColumn<QString>("last");
        QTest::newRow("groups stop at 1,000") << lines(1001, "G") << ListLimits::Groups << 1000 << u"G1000"_s;
        QTest::newRow("filters stop at 2,000")
            << lines(2001, "u") << ListLimits::Filters << 2000 << u"u2000"_s;
        QTest::newRow("empty lines skipped, not counted") << "\r\na\r\n\r\n\r\nb\r\nc"_ba << 2 << 2 << u"b"_s;
        QTest::newRow("Windows-1252 bytes") << "caf\xe9\r\n\x80"_ba << 10 << 2 << u"\u20AC"_s;
    }
    void entryLists()
    {
        QFETCH(QByteArray, bytes);
        QFETCH(int, limit);
        QFETCH(int, count);
        QFETCH(QString, last);
        const QStringList entries = ReadEntryList(bytes, limit);
        QCOMPARE(entries.size(), count);
        QCOMPARE(entries.isEmpty() ? QString() : entries.last(), last);
    }

    void urlList_data()
    {
        QTest::addColumn<QByteArray>("bytes");
        QTest::addColumn<bool>("read");
        QTest::addColumn<double>("minutes");
        QTest::addColumn<int>("count");
        QByteArray many = "2\r\n";
        for (int i = 0; i < 300; ++i)
            many += "http://h/" + QByteArray::number(i) + ".gif\r\n1\r\n";
        QTest::newRow("count is a byte") << many << true << 2.0 << 255;
        QTest::newRow("address without flag dropped")
            << "1\nhttp://h/a.gif\n1\nhttp://h/b.gif\n"_ba << true << 1.0 << 1;
        QTest::newRow("bad flag stops")
            << "1\nhttp://h/a.gif\nyes\nhttp://h/b.gif\n1\n"_ba << true << 1.0 << 0;
        QTest::newRow("no number first") << "http://h/a.gif\r\n1\r\n"_ba << false << 0.0 << 0;
    }
    void urlList()
    {
        QFETCH(QByteArray, bytes);
        QFETCH(bool, read);
        QFETCH(double, minutes);
        QFETCH(int, count);
        const auto list = ReadUrlList(bytes);
        QCOMPARE(list.has_value(), read);
        if (!list)
            return;
        QCOMPARE(list->rotationMinutes, minutes);
        QCOMPARE(list->entries.size(), count);
    }

    void columnWidths()
    {
        QCOMPARE(ReadColumnWidths(lines(9, "10")), QList<int>({101, 102, 103, 104, 105, 106, 107}));
        QCOMPARE(ReadColumnWidths(" 1440 \r\n99.6\r\nwide\r\n-5\r\n"), QList<int>({1440, 100, -1, -1}));
    }

    void writersUseCrLfAndGoThroughTheSaveFile()
    {
        QTemporaryDir dir;
        ClientState state;
        state.dataDir = dir.path();
        state.phraseLists[6] = {u"Flood"_s, {u"Snow > 4\""_s, u"two\nlines"_s}};
        state.groupList = {u"ALL"_s, u"caf\u00E9"_s};
        state.urlList = {1.5, {{u"http://h/a.gif"_s, 1}, {u"http://h/b.jpg"_s, 0}}};
        QVERIFY(SavePhraseListFile(state, 7));
        QVERIFY(SaveGroupListFile(state));
        QVERIFY(SaveUrlListFile(state));
        QCOMPARE(TestFiles::read(dir.filePath(u"List7.txt"_s)), "Flood\r\nSnow > 4\"\r\ntwo lines\r\n"_ba);
        QCOMPARE(TestFiles::read(dir.filePath(u"GroupList.txt"_s)), "ALL\r\ncaf\xe9\r\n"_ba);
        QCOMPARE(TestFiles::read(dir.filePath(u"URLLists.txt"_s)),
                 "1.5\r\nhttp://h/a.gif\r\n1\r\nhttp://h/b.jpg\r\n0\r\n"_ba);

        // A blank address cannot be written without pairing the next
        // address with its flag.
        QCOMPARE(WriteUrlList({0.1, {{u"  "_s, 1}, {u"http://h/c.gif"_s, 0}}}),
                 "0.1\r\nhttp://h/c.gif\r\n0\r\n"_ba);

        state.dataDir = dir.filePath(u"missing"_s);
        QVERIFY(!SaveFilterListFile(state));
    }
};

QTEST_GUILESS_MAIN(TestListFiles)
#include "tst_list_files.moc"
