#include "app/client_state.h"
#include "app/list_files.h"

#include <QDir>
#include <QFile>
#include <QTemporaryDir>
#include <QTest>

namespace {

QString fixtureDir()
{
    return qEnvironmentVariable("NIMBREL_TESTDATA") + QStringLiteral("/lists");
}

QByteArray lines(int count, const char *prefix)
{
    QByteArray out;
    for (int i = 1; i <= count; ++i)
        out += prefix + QByteArray::number(i) + "\r\n";
    return out;
}

QByteArray readAll(const QString &path)
{
    QFile f(path);
    return f.open(QIODevice::ReadOnly) ? f.readAll() : QByteArray();
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
        state.settings.UserState = QStringLiteral("md");
        LoadListFiles(state);

        QCOMPARE(state.groupList, QStringList({QStringLiteral("ALL"), QStringLiteral("WXCHAT"),
                                               QStringLiteral("MD HARFORD")}));
        QCOMPARE(state.additionalCounties, QStringList({QStringLiteral("MD"), QStringLiteral("PA YORK")}));
        QCOMPARE(state.filterList, QStringList{QStringLiteral("loudmouth")});
        // Empty lines are columns too: the third width lands in column 3.
        QCOMPARE(state.columnWidths, QList<int>({1440, -1, 2880, -1, 900, 1200, 3000}));
        const UrlList urls{5,
                           {{QStringLiteral("http://wx.example.org/radar.gif"), 1},
                            {QStringLiteral("http://wx.example.org/watch.png"), 0}}};
        QCOMPARE(state.urlList, urls);
        const PhraseList hail{QStringLiteral("My Hail"),
                              {QStringLiteral("Hail - 1\" Quarter "), QStringLiteral("Hail, large")}};
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
        state.settings.UserState = QStringLiteral("md");
        state.settings.UserCounty = QStringLiteral("Harford");
        state.urlList = {1, {{QStringLiteral("http://a.example/x.gif"), 1}}};
        LoadListFiles(state);
        QCOMPARE(state.groupList,
                 QStringList({QStringLiteral("ALL"), QStringLiteral("SOS"), QStringLiteral("MD"),
                              QStringLiteral("MD HARFORD"), QStringLiteral("WXCHAT")}));
        QVERIFY(state.filterList.isEmpty());
        QVERIFY(state.columnWidths.isEmpty());
        QCOMPARE(state.urlList.entries.size(), 1);
        QCOMPARE(state.phraseLists, PresetPhraseLists());
    }

    void presetsAsShipped()
    {
        const auto p = PresetPhraseLists();
        const QList<int> counts = {8, 5, 9, 14, 7, 27, 19};
        for (int i = 0; i < PhraseListCount; ++i)
            QCOMPARE(p[i].phrases.size(), counts[i]);
        QCOMPARE(p[5].title, QStringLiteral("Severe / Wind"));
        QCOMPARE(p[5].phrases.first(), QStringLiteral("Severe Storm Report: "));
        QCOMPARE(p[5].phrases[8], QStringLiteral("HAIL - .25\" Pea Size: "));
        QCOMPARE(p[6].title, QStringLiteral("Flood / Winter / Other"));
        QCOMPARE(p[0].title, QStringLiteral("Wind"));
    }

    void entryLists_data()
    {
        QTest::addColumn<QByteArray>("bytes");
        QTest::addColumn<int>("limit");
        QTest::addColumn<int>("count");
        QTest::addColumn<QString>("last");
        QTest::newRow("groups stop at 1,000")
            << lines(1001, "G") << ListLimits::Groups << 1000 << QStringLiteral("G1000");
        QTest::newRow("counties stop at 1,000")
            << lines(1200, "MD C") << ListLimits::AdditionalCounties << 1000 << QStringLiteral("MD C1000");
        QTest::newRow("filters stop at 2,000")
            << lines(2001, "u") << ListLimits::Filters << 2000 << QStringLiteral("u2000");
        QTest::newRow("empty lines skipped, not counted")
            << QByteArray("\r\na\r\n\r\n\r\nb\r\nc") << 2 << 2 << QStringLiteral("b");
        QTest::newRow("LF only, spaces kept") << QByteArray("a\n b \n") << 10 << 2 << QStringLiteral(" b ");
        QTest::newRow("Windows-1252 bytes")
            << QByteArray("caf\xe9\r\n\x80") << 10 << 2 << QStringLiteral("\u20AC");
        QTest::newRow("empty file") << QByteArray() << 10 << 0 << QString();
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
        QTest::newRow("empty lines skipped")
            << QByteArray("\r\n1.5\r\n\r\nhttp://h/a.gif\r\n\r\n1\r\n") << true << 1.5 << 1;
        QTest::newRow("address without flag dropped")
            << QByteArray("1\nhttp://h/a.gif\n1\nhttp://h/b.gif\n") << true << 1.0 << 1;
        QTest::newRow("bad flag stops")
            << QByteArray("1\nhttp://h/a.gif\nyes\nhttp://h/b.gif\n1\n") << true << 1.0 << 0;
        QTest::newRow("no number first") << QByteArray("http://h/a.gif\r\n1\r\n") << false << 0.0 << 0;
        QTest::newRow("empty") << QByteArray("\r\n") << false << 0.0 << 0;
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

    void columnWidths_data()
    {
        QTest::addColumn<QByteArray>("bytes");
        QTest::addColumn<QList<int>>("widths");
        QTest::newRow("only seven read") << lines(9, "10") << QList<int>({101, 102, 103, 104, 105, 106, 107});
        QTest::newRow("empty lines taken as they come")
            << QByteArray("\n\n300\n") << QList<int>({-1, -1, 300});
        QTest::newRow("fractions, spaces, junk")
            << QByteArray(" 1440 \r\n99.6\r\nwide\r\n-5\r\n") << QList<int>({1440, 100, -1, -1});
    }
    void columnWidths()
    {
        QFETCH(QByteArray, bytes);
        QFETCH(QList<int>, widths);
        QCOMPARE(ReadColumnWidths(bytes), widths);
    }

    void phraseListTitleTakenAsItComes()
    {
        QCOMPARE(
            ReadPhraseList("\r\n\r\nfirst\r\n  \r\nlast"),
            PhraseList({QString(), {QStringLiteral("first"), QStringLiteral("  "), QStringLiteral("last")}}));
        QCOMPARE(ReadPhraseList(QByteArray()), PhraseList());
    }

    void writersUseCrLfAndGoThroughTheSaveFile()
    {
        QTemporaryDir dir;
        ClientState state;
        state.dataDir = dir.path();
        state.phraseLists[6] = {QStringLiteral("Flood"),
                                {QStringLiteral("Snow > 4\""), QStringLiteral("two\nlines")}};
        state.groupList = {QStringLiteral("ALL"), QStringLiteral("caf\u00E9")};
        state.urlList = {1.5, {{QStringLiteral("http://h/a.gif"), 1}, {QStringLiteral("http://h/b.jpg"), 0}}};
        state.columnWidths = {1440, 50};
        QVERIFY(SavePhraseListFile(state, 7));
        QVERIFY(SaveGroupListFile(state));
        QVERIFY(SaveUrlListFile(state));
        QVERIFY(SaveColumnWidthsFile(state));
        QCOMPARE(readAll(dir.filePath(QStringLiteral("List7.txt"))),
                 QByteArray("Flood\r\nSnow > 4\"\r\ntwo lines\r\n"));
        QCOMPARE(readAll(dir.filePath(QStringLiteral("GroupList.txt"))), QByteArray("ALL\r\ncaf\xe9\r\n"));
        QCOMPARE(readAll(dir.filePath(QStringLiteral("URLLists.txt"))),
                 QByteArray("1.5\r\nhttp://h/a.gif\r\n1\r\nhttp://h/b.jpg\r\n0\r\n"));
        QCOMPARE(readAll(dir.filePath(QStringLiteral("ColmW.txt"))), QByteArray("1440\r\n50\r\n"));

        // A blank address cannot be written without pairing the next
        // address with its flag.
        QCOMPARE(WriteUrlList({0.1, {{QStringLiteral("  "), 1}, {QStringLiteral("http://h/c.gif"), 0}}}),
                 QByteArray("0.1\r\nhttp://h/c.gif\r\n0\r\n"));

        ClientState back;
        back.dataDir = dir.path();
        LoadListFiles(back);
        QCOMPARE(back.groupList, state.groupList);
        QCOMPARE(back.urlList, state.urlList);
        QCOMPARE(back.columnWidths, state.columnWidths);

        state.dataDir = dir.filePath(QStringLiteral("missing"));
        QVERIFY(!SaveFilterListFile(state));
        QVERIFY(!SavePhraseListFile(state, 8));
    }
};

QTEST_GUILESS_MAIN(TestListFiles)
#include "tst_list_files.moc"
