#include "base/client_state.h"
#include "base/list_files.h"
#include "test_files.h"

#include <QTest>

QByteArray lines(int count, const char *prefix)
{
    QByteArray out;
    for (int i = 1; i <= count; ++i)
        out += prefix + QByteArray::number(i) + "\r\n";
    return out;
}

// The list files of the data folder: read with their limits, written whole.
class TestListFiles : public QObject
{
    Q_OBJECT
private slots:
    // Missing files keep the built-in content; then every file is read.
    void listFilesFromTheDataFolder()
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

        const QString lists = TestFiles::testData(u"lists"_s);
        for (const QString &name : QDir(lists).entryList(QDir::Files))
            QVERIFY(QFile::copy(lists + u'/' + name, dir.filePath(name)));
        ClientState loaded;
        loaded.dataDir = dir.path();
        loaded.settings.UserState = u"md"_s;
        LoadListFiles(loaded);
        QCOMPARE(loaded.groupList, QStringList({u"ALL"_s, u"WXCHAT"_s, u"MD HARFORD"_s}));
        QCOMPARE(loaded.additionalCounties, QStringList({u"MD"_s, u"PA YORK"_s}));
        QCOMPARE(loaded.filterList, QStringList{u"loudmouth"_s});
        // Empty lines are columns too: the third width lands in column 3.
        QCOMPARE(loaded.columnWidths, QList<int>({1440, -1, 2880, -1, 900, 1200, 3000}));
        const UrlList urls{
            5, {{u"http://wx.example.org/radar.gif"_s, 1}, {u"http://wx.example.org/watch.png"_s, 0}}};
        QCOMPARE(loaded.urlList, urls);
        const PhraseList hail{u"My Hail"_s, {u"Hail - 1\" Quarter "_s, u"Hail, large"_s}};
        QCOMPARE(loaded.phraseLists[3], hail);
        // Lists whose files are missing keep what they had.
        const auto presets = PresetPhraseLists();
        QCOMPARE(loaded.phraseLists[0], presets[0]);
        QCOMPARE(loaded.phraseLists[5], presets[5]);
    }

    // Each list file read at start-up, up to its limit.
    void entryLists_data()
    {
        QTest::addColumn<QString>("file");
        QTest::addColumn<QByteArray>("bytes");
        QTest::addColumn<int>("count");
        QTest::addColumn<QString>("last");
        QTest::newRow("groups stop at 1,000") << GroupListFileName << lines(1001, "G") << 1000 << u"G1000"_s;
        QTest::newRow("counties stop at 1,000")
            << AddCountiesFileName << lines(1001, "C") << 1000 << u"C1000"_s;
        QTest::newRow("filters stop at 2,000")
            << FilterListFileName << lines(2001, "u") << 2000 << u"u2000"_s;
        QTest::newRow("empty lines skipped, not counted")
            << GroupListFileName << "\r\n\r\n"_ba + lines(1000, "G").replace("\r\nG2\r\n", "\r\n\r\nG2\r\n")
            << 1000 << u"G1000"_s;
        QTest::newRow("Windows-1252 bytes") << FilterListFileName << "caf\xe9\r\n\x80"_ba << 2 << u"\u20AC"_s;
    }
    void entryLists()
    {
        QFETCH(QString, file);
        QFETCH(QByteArray, bytes);
        QTemporaryDir dir;
        ClientState state;
        state.dataDir = dir.path();
        QVERIFY(TestFiles::write(state.filePath(file), bytes));
        LoadListFiles(state);
        const QStringList &entries = file == GroupListFileName    ? state.groupList
                                     : file == FilterListFileName ? state.filterList
                                                                  : state.additionalCounties;
        QTEST(int(entries.size()), "count");
        QTEST(entries.isEmpty() ? QString() : entries.last(), "last");
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
        const auto list = ReadUrlList(bytes);
        QTEST(list.has_value(), "read");
        if (!list)
            return;
        QTEST(list->rotationMinutes, "minutes");
        QTEST(int(list->entries.size()), "count");
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

        // A blank fixed address keeps its place, and so does every entry after it.
        const UrlList blank{0.1, {{u"a"_s, 1}, {QString(), 0}, {u"\"q\""_s, 1}, {u"d"_s, 0}, {u"e"_s, 1}}};
        QCOMPARE(ReadUrlList(WriteUrlList(blank)).value_or(UrlList()), blank);

        // A folder that cannot be written (here a file stands in its place,
        // which stops root too): said once per file, with the reason, until
        // that file saves again.
        state.dataDir = dir.filePath(u"List7.txt/data"_s);
        QString why;
        QVERIFY(!SaveFilterListFile(state, &why));
        const QString first = SaveFailureNotice(state, u"FilterList.txt"_s, false, why);
        QCOMPARE(first, u"FilterList.txt could not be saved: "_s + why +
                            u"\n\nYour change stays in effect until the program is closed."_s);
        QVERIFY(!why.isEmpty());
        QCOMPARE(SaveFailureNotice(state, u"FilterList.txt"_s, false, why), QString());
        QVERIFY(!SaveFailureNotice(state, u"GroupList.txt"_s, false, why).isEmpty());
        QCOMPARE(SaveFailureNotice(state, u"FilterList.txt"_s, true, {}), QString());
        QCOMPARE(SaveFailureNotice(state, u"FilterList.txt"_s, false, why), first);
    }
};

QTEST_GUILESS_MAIN(TestListFiles)
#include "tst_list_files.moc"
