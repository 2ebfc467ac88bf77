#include "app/data_folder.h"
#include "app/single_instance.h"
#include "app/startup.h"
#include "base/client_state.h"
#include "base/form_scaling.h"
#include "base/list_files.h"
#include "base/settings.h"
#include "fakes.h"
#include "test_files.h"

#include <QDeadlineTimer>
#include <QDir>
#include <QFile>
#include <QProcess>
#include <QRandomGenerator>
#include <QStandardPaths>
#include <QTemporaryDir>
#include <QTest>

#include <cstdio>

#include <sys/stat.h>

using namespace Qt::Literals::StringLiterals;
using namespace FormScaling;

namespace {

QByteArray lines(int count, const char *prefix)
{
    QByteArray out;
    for (int i = 1; i <= count; ++i)
        out += prefix + QByteArray::number(i) + "\r\n";
    return out;
}

QByteArray fixture(const char *name)
{
    return TestFiles::read(TestFiles::testData(QString::fromLatin1(name)));
}

// What settings_complete.dat holds.
SettingsRecord completeRecord()
{
    // clang-format off
    return {u"Dale"_s, u"R"_s, u"Henson"_s, u"1200 Elm Street, Apt 4"_s, u"Bel Air"_s, u"Harford"_s, u"md"_s,
            u"21014"_s, u"dale@example.org"_s, u"2 mi N of Bel Air"_s, u"stormdale"_s, u"p\u007Fss wd"_s,
            u"STATE"_s, u"COUNTY"_s, u"ALL"_s, u"OFF"_s, 1, 12, u"Courier New"_s, true, false, 0, 1, 2, 0, 1,
            1, 1, 0, 1, 1, 1, 1, u"/opt/tavrel/tavrel \u00E9t\u00E9"_s, 3,
            u"HTTP://10.0.0.5/wx/clientraw.txt"_s};
    // clang-format on
}

// The first n fields of completeRecord(), defaults after them.
SettingsRecord firstFields(int n)
{
    SettingsRecord r;
    QByteArray head;
    for (const QByteArray &line : WriteSettings(completeRecord()).split('\n').mid(0, n))
        head += line + '\n';
    ReadSettings(head, r);
    return r;
}

// Version n of the file the writer below saves: the address carries n
// and changes the file's length from one version to the next.
SettingsRecord version(int n)
{
    SettingsRecord r = completeRecord();
    r.Address = QString::number(n) + u' ' + QString(n % 251, u'x');
    return r;
}

// Saves versions first, first + 1, ... into dir as fast as it can,
// saying "saved" once the first is on disk, until it is killed (or, left
// over by a crashed test, after a minute).
int runSettingsWriter(const QString &dir, int first)
{
    ClientState state;
    state.dataDir = dir;
    const QDeadlineTimer giveUp(60'000);
    for (int n = first; !giveUp.hasExpired(); ++n) {
        state.settings = version(n);
        if (!SaveSettings(state))
            return 1;
        if (n == first) {
            std::fputs("saved\n", stdout);
            std::fflush(stdout);
        }
    }
    return 0;
}

} // namespace

// What the program settles before its first window and keeps in its data
// folder: the folder itself, one instance, default files, the settings and
// list files, the sign-off text and the window's scale.
class TestSettings : public QObject
{
    Q_OBJECT
private slots:
    void completeFileReadsEveryFieldAndRewritesByteForByte()
    {
        const QByteArray bytes = fixture("settings_complete.dat");
        SettingsRecord r;
        const SettingsReadOutcome out = ReadSettings(bytes, r);
        QVERIFY(out.fieldsRead == 36 && !out.error);
        QCOMPARE(r, completeRecord());
        QCOMPARE(WriteSettings(r), bytes);

        // Texts that would break the file are changed, so no later field shifts.
        r.Address = u"12 \"Oak\" Rd\r\nline two"_s;
        r.Email = u"\u4E2D@example.org"_s; // outside the code page
        SettingsRecord back;
        QCOMPARE(ReadSettings(WriteSettings(r), back).fieldsRead, 36);
        QCOMPARE(back.Address, u"12 'Oak' Rd  line two"_s);
        QCOMPARE(back.Email, u"?@example.org"_s);
        back.Address = r.Address;
        back.Email = r.Email;
        QCOMPARE(back, r);
        // A font size no window can show is brought into range.
        QCOMPARE(ReadSettings(QByteArray(bytes).replace("\r\n12\r\n", "\r\n100000\r\n"), back).fieldsRead,
                 36);
        QCOMPARE(back.FontSize, MaxFontSize);
        QCOMPARE(ReadSettings(QByteArray(bytes).replace("\r\n12\r\n", "\r\n-4\r\n"), back).fieldsRead, 36);
        QCOMPARE(back.FontSize, MinFontSize);
        // Recording is on only for exactly 1.
        QCOMPARE(ReadSettings(fixture("settings_record_obs_2.dat"), back).fieldsRead, 17);
        QCOMPARE(back.RecordObservations, 0);
    }

    void olderAndDamagedFiles_data()
    {
        QTest::addColumn<QByteArray>("bytes");
        QTest::addColumn<int>("fieldsRead");
        QTest::addColumn<bool>("error");
        const QByteArray complete = fixture("settings_complete.dat");
        QTest::newRow("ends after 17") << fixture("settings_ends_after_17.dat") << 17 << false;
        QTest::newRow("record observations 1.0 is 1")
            << fixture("settings_record_obs_1_0.dat") << 17 << false;
        QTest::newRow("ends after 23") << fixture("settings_ends_after_23.dat") << 23 << false;
        QTest::newRow("LF only") << QByteArray(complete).replace("\r\n", "\n") << 36 << false;
        QTest::newRow("ends inside 1-17") << complete.left(complete.indexOf("\"Henson\"")) << 2 << true;
        QTest::newRow("group cut short")
            << fixture("settings_ends_after_17.dat") + "12\r\n\"Courier New\"\r\n"
            << 19 << true;
        QTest::newRow("byte out of range")
            << QByteArray(complete).replace("\r\n2\r\n0\r\n", "\r\n300\r\n0\r\n") << 23 << true;
        QTest::newRow("not a number")
            << QByteArray(complete).replace("\r\n12\r\n", "\r\nbig\r\n") << 17 << true;
        QTest::newRow("empty") << QByteArray() << 0 << true;
    }
    void olderAndDamagedFiles()
    {
        QFETCH(QByteArray, bytes);
        QFETCH(int, fieldsRead);
        SettingsRecord r;
        const SettingsReadOutcome out = ReadSettings(bytes, r);
        QCOMPARE(out.fieldsRead, fieldsRead);
        QTEST(out.error, "error");
        // What was read is kept; everything after keeps its default.
        QCOMPARE(r, firstFields(fieldsRead));
    }

    void load_data()
    {
        QTest::addColumn<QString>("file"); // copied to Settings.dat; "-": none; "/": a folder in its place
        QTest::addColumn<LoadSettingsResult>("result");
        QTest::addColumn<QString>("user");
        QTest::addColumn<QStringList>("titles");   // of the boxes shown
        QTest::addColumn<int>("boxesBeforeTerms"); // -1: the terms are not shown
        const QString gone = u"You are no longer eligible to use this service."_s;
        QTest::newRow("first run: terms, then welcome") << u"-"_s << LoadSettingsResult::FirstRun << QString()
                                                        << QStringList{u"Welcome to Nimbrel!"_s} << 0;
        QTest::newRow("complete") << u"settings_complete.dat"_s << LoadSettingsResult::Loaded
                                  << u"stormdale"_s << QStringList() << -1;
        QTest::newRow("ineligible") << u"settings_ineligible.dat"_s << LoadSettingsResult::Ineligible
                                    << u"stormdale"_s << QStringList{gone} << -1;
        QTest::newRow("unreadable: said, and kept until the user saves")
            << u"/"_s << LoadSettingsResult::Failed << QString()
            << QStringList{u"Settings could not be read"_s} << -1;
    }
    void load()
    {
        QFETCH(QString, file);
        QTemporaryDir dir;
        const QString path = dir.filePath(u"Settings.dat"_s);
        if (file == u"/")
            QVERIFY(QDir().mkdir(path));
        else if (file != u"-")
            QVERIFY(QFile::copy(TestFiles::testData(file), path));
        ClientState state;
        state.dataDir = dir.path();
        FakeDialogs dialogs;
        int before = -1;
        QTEST(LoadSettings(state, dialogs, [&] { before = int(dialogs.shown.size()); }), "result");
        QTEST(before, "boxesBeforeTerms");
        QTEST(state.settings.UserName, "user");
        QStringList titles;
        for (const auto &b : dialogs.shown)
            titles << b.title;
        QTEST(titles, "titles");
        QCOMPARE(QFileInfo::exists(path), file != u"-");
        QCOMPARE(state.settingsUnreadable, file == u"/");
    }

    void saveIsPrivateAndAtomic()
    {
        QTemporaryDir dir;
        const QString path = dir.filePath(u"Settings.dat"_s);
        // An older file readable by everybody becomes private when rewritten.
        QVERIFY(TestFiles::write(path, "stale"));
        QVERIFY(QFile::setPermissions(path, QFile::permissions(path) | QFile::ReadGroup | QFile::ReadOther));
        ClientState state;
        state.dataDir = dir.path();
        state.settings = completeRecord();
        state.settingsUnreadable = true;
        QVERIFY(!SaveSettings(state));
        QCOMPARE(TestFiles::read(path), "stale"_ba);
        state.settingsUnreadable = false;
        QVERIFY(SaveSettings(state));
        struct stat st;
        QCOMPARE(::stat(QFile::encodeName(path).constData(), &st), 0);
        QCOMPARE(st.st_mode & 0777, 0600u);
        QCOMPARE(TestFiles::read(path), fixture("settings_complete.dat"));
        state.dataDir = dir.filePath(u"no/such/folder"_s);
        QVERIFY(!SaveSettings(state));
    }

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

    void initTestCase()
    {
        Q_INIT_RESOURCE(resources); // the shipped files
        QStandardPaths::setTestModeEnabled(true);
        QCoreApplication::setApplicationName(ApplicationName);
    }

    void argument_data()
    {
        QTest::addColumn<QStringList>("arguments");
        QTest::addColumn<QString>("value");
        QTest::addColumn<bool>("error");
        const QString prog = u"nimbrel"_s;
        QTest::newRow("none") << QStringList{prog} << QString() << false;
        QTest::newRow("separate") << QStringList{prog, u"--data-dir"_s, u"/x"_s} << u"/x"_s << false;
        QTest::newRow("last wins") << QStringList{prog, u"--data-dir=/a"_s, u"--data-dir"_s, u"/b"_s}
                                   << u"/b"_s << false;
        QTest::newRow("after --") << QStringList{prog, u"--"_s, u"--data-dir=/a"_s} << QString() << false;
        QTest::newRow("missing value") << QStringList{prog, u"--data-dir"_s} << QString() << true;
    }
    void argument()
    {
        QFETCH(QStringList, arguments);
        QString message;
        QTEST(DataDirArgument(arguments, &message), "value");
        QTEST(!message.isEmpty(), "error");
    }

    void resolve()
    {
        QTemporaryDir tmp;
        const QString wanted = tmp.filePath(u"a/b/data"_s);
        const DataFolder f = ResolveDataFolder({u"nimbrel"_s, u"--data-dir"_s, wanted});
        QVERIFY2(f.ok(), qPrintable(f.error));
        QCOMPARE(f.path, QDir::cleanPath(wanted));
        QVERIFY(QFileInfo(wanted).isDir());

        // A file in the way is an error, also as a parent.
        QFile file(tmp.filePath(u"taken"_s));
        QVERIFY(file.open(QIODevice::WriteOnly));
        for (const QString &below : {QString(), u"/below"_s}) {
            const DataFolder f =
                ResolveDataFolder({u"nimbrel"_s, u"--data-dir="_s + file.fileName() + below});
            QVERIFY(f.error.contains(file.fileName() + below));
            QVERIFY(f.error.contains(u" is a file, not a folder"_s));
        }

        const DataFolder byDefault = ResolveDataFolder({u"nimbrel"_s});
        QVERIFY2(byDefault.ok(), qPrintable(byDefault.error));
        QVERIFY(byDefault.path.endsWith(u"/Nimbrel"_s));
        QVERIFY(QFileInfo(byDefault.path).isDir());
    }

    // Upper-cased whole after escaping: escape characters, and letters whose
    // capital is not on the wire, keep their bytes.
    void signOffMessage_data()
    {
        QTest::addColumn<QStringList>("profile"); // state, county, zip, user
        QTest::addColumn<QString>("wire");
        QTest::newRow("plain") << QStringList{u"ok"_s, u"Cleveland"_s, u"73069"_s, u"ann"_s}
                               << u":DOB|OK|CLEVELAND|73069|ANN|^"_s;
        QTest::newRow("delimiters escaped") << QStringList{u"ok"_s, u"a|b:c"_s, u"1^2"_s, u"ann"_s}
                                            << u":DOB|OK|A\u20ACB\u0081C|1\u201A2|ANN|^"_s;
        QTest::newRow("apostrophe, sharp s, y diaeresis")
            << QStringList{u"ks"_s, u"o'brien"_s, u"6\u00DF"_s, u"b\u00FFb"_s}
            << u":DOB|KS|O\u007FBRIEN|6\u00DF|B\u0178B|^"_s;
    }
    void signOffMessage()
    {
        QFETCH(QStringList, profile);
        SettingsRecord s;
        s.UserState = profile[0];
        s.UserCounty = profile[1];
        s.UserZip = profile[2];
        s.UserName = profile[3];
        QTEST(Startup::SignOffMessage(s), "wire");
    }

    // The shipped files, the help pages among them, go into the data folder;
    // a file already there is the user's and stays.
    void defaultsAreCopiedOnlyWhenMissing()
    {
        QTemporaryDir target;
        const QString mine = target.filePath(u"Terms.txt"_s);
        QVERIFY(TestFiles::write(mine, "my own terms"));
        const QStringList names = Startup::DefaultFileNames();
        const QStringList copied = Startup::CopyMissingDefaults(u":/"_s, target.path(), names);
        QCOMPARE(copied, names.mid(1));
        for (const char *page : {"help", "guidelines", "softwarefaq", "donate"})
            QVERIFY(TestFiles::read(target.filePath(u"help/%1.htm"_s.arg(QLatin1StringView(page))))
                        .contains("</html>"));
        QCOMPARE(Startup::ReadTextFile(mine), u"my own terms"_s);
    }

    void nightlyTime()
    {
        QCOMPARE(Startup::NightlyTime(7), u"3:07 AM"_s);
        QCOMPARE(Startup::NightlyTime(30), u"3:30 AM"_s);
    }

    void oneInstancePerFolderAndADeadHoldersLockIsTakenOver()
    {
        QTemporaryDir dir, other, stale;
        SingleInstance first(dir.path());
        QVERIFY(first.tryAcquire());
        SingleInstance second(dir.path());
        QString why;
        QVERIFY(!second.tryAcquire(&why));
        QCOMPARE(why, QString()); // another copy: nothing wrong with the folder
        SingleInstance elsewhere(other.path());
        QVERIFY(elsewhere.tryAcquire());

        // A process that has ended: its id is free again.
        QProcess p;
        p.start(u"sh"_s, {u"-c"_s, u"echo $$"_s});
        QVERIFY(p.waitForFinished(5000));
        const qint64 deadPid = p.readAllStandardOutput().trimmed().toLongLong();
        QVERIFY(deadPid > 0);
        QVERIFY(TestFiles::write(stale.filePath(u"nimbrel.lock"_s),
                                 QByteArray::number(deadPid) + "\nnimbrel\n" +
                                     QSysInfo::machineHostName().toUtf8() + "\n"));
        SingleInstance next(stale.path());
        QVERIFY(next.tryAcquire());

        // A lock file that cannot be written is no other copy: its reason is
        // given (a file in the folder's way stands for a full or read-only disk).
        QVERIFY(TestFiles::write(other.filePath(u"taken"_s), "x"));
        SingleInstance blocked(other.filePath(u"taken/data"_s));
        QVERIFY(!blocked.tryAcquire(&why));
        QVERIFY(!why.isEmpty());
    }

    // A 6,000 x 4,500 window with 120 x 420 of borders and caption.
    void scaleForm_data()
    {
        QTest::addColumn<QList<double>>("in");  // reference height, target width and height, screen height
        QTest::addColumn<QList<double>>("out"); // width, height, left, top; x, y and font ratios
        using L = QList<double>;
        QTest::newRow("double screen: sizes double, fonts capped at 1.5")
            << L{9000, 24000, 18000, 18000}
            << L{12000, 9000, 6000, 4500, (12000.0 - 120) / (6000 - 120), (9000.0 - 420) / (4500 - 420), 1.5};
        QTest::newRow("just above the cap")
            << L{9000, 12000, 13600, 13600}
            << L{6000, 6800, 3000, 3400, 1, (6800.0 - 420) / (4500 - 420), 1.5};
        QTest::newRow("main group on a work area less its task bar")
            << L{8550, 12000, 8550, 9000} << L{6000, 4500, 3000, 2025, 1, 1, 1};
        QTest::newRow("small screen shrinks")
            << L{9000, 9600, 7200, 7200}
            << L{4800, 3600, 2400, 1800, (4800.0 - 120) / (6000 - 120), (3600.0 - 420) / (4500 - 420), 0.8};
    }
    void scaleForm()
    {
        QFETCH(QList<double>, in);
        QFETCH(QList<double>, out);
        const Input input{.width = 6000,
                          .height = 4500,
                          .scaleWidth = 6000 - 120,
                          .scaleHeight = 4500 - 420,
                          .referenceHeight = in[0],
                          .targetWidth = in[1],
                          .targetHeight = in[2],
                          .screenHeight = in[3],
                          .formFontSize = 9};
        const Result r = ScaleForm(input);
        const QList<double> got{r.window.width, r.window.height, r.window.left, r.window.top,
                                r.xRatio,       r.yRatio,        r.fontRatio};
        for (int i = 0; i < got.size(); ++i)
            QCOMPARE(got[i], out[i]);
        QCOMPARE(r.formFontSize, 9 * r.window.height / in[0]);
    }

    void controlsAndColumnsFollowTheRatios()
    {
        const Input in{.width = 12000,
                       .height = 8550,
                       .scaleWidth = 12000,
                       .scaleHeight = 8550,
                       .referenceHeight = MainReferenceHeight,
                       .targetWidth = 18000,
                       .targetHeight = 12825,
                       .screenHeight = 13500};
        const Result r = ScaleForm(in);
        QCOMPARE(r.xRatio, 1.5);
        QCOMPARE(r.yRatio, 1.5);
        const Rect c = ScaleControl({100, 200, 1000, 300}, r);
        QCOMPARE((QList<double>{c.left, c.top, c.width, c.height}), (QList<double>{150, 300, 1500, 450}));
        QCOMPARE(ScaleColumns({1000, 0, 2500}, r.xRatio), (QList<double>{1500, 0, 3750}));
    }

    void phraseListsReachTheStatusLine()
    {
        QCOMPARE(PhraseListHeight(7000, 2000, 12000), 5000.0 - 130);
        QCOMPARE(PhraseListHeight(7000, 2000, 24000), 5000.0 - 260);
    }

    // A client killed while it saves leaves one whole version of the file,
    // never a mixture or a stump, and no stray copies beside it.
    void saveSurvivesAKillAtAnyMoment()
    {
        constexpr int Kills = 100;
        constexpr int Span = 1'000'000; // versions a writer may reach
        QTemporaryDir dir;
        const QString path = dir.filePath(SettingsFileName);
        QRandomGenerator random(20261208);
        qint64 saves = 0;
        for (int k = 0; k < Kills; ++k) {
            QProcess writer;
            writer.start(QCoreApplication::applicationFilePath(),
                         {u"--settings-writer"_s, dir.path(), QString::number(k * Span)});
            QVERIFY(writer.waitForReadyRead(5000));
            QTest::qSleep(random.bounded(2, 40));
            writer.kill();
            QVERIFY(writer.waitForFinished(5000));
            QCOMPARE(writer.exitStatus(), QProcess::CrashExit);

            const QByteArray bytes = TestFiles::read(path);
            SettingsRecord r;
            QCOMPARE(ReadSettings(bytes, r).fieldsRead, 36);
            bool ok = false;
            const int n = r.Address.section(u' ', 0, 0).toInt(&ok);
            QVERIFY2(ok && n >= k * Span && n < (k + 1) * Span, qPrintable(r.Address.left(20)));
            QCOMPARE(bytes, WriteSettings(version(n)));
            saves += n - k * Span + 1;
        }
        // A kill before the rename leaves the one copy behind, never more:
        // kills must not pile up files in the data folder.
        QStringList left =
            QDir(dir.path()).entryList(QDir::AllEntries | QDir::NoDotAndDotDot | QDir::Hidden | QDir::System);
        left.removeOne(SettingsFileName + u".saving"_s);
        QCOMPARE(left, QStringList{SettingsFileName});
        qInfo("%d kills after %lld saves", Kills, saves);
    }
};

// The test runs this same program as the writer it kills.
int main(int argc, char **argv)
{
    if (argc == 4 && qstrcmp(argv[1], "--settings-writer") == 0)
        return runSettingsWriter(QString::fromLocal8Bit(argv[2]), QByteArray(argv[3]).toInt());
    QCoreApplication app(argc, argv);
    TestSettings test;
    QTEST_SET_MAIN_SOURCE_PATH
    return QTest::qExec(&test, argc, argv);
}
#include "tst_settings.moc"
