#include "base/client_state.h"
#include "base/settings.h"
#include "fakes.h"
#include "test_files.h"

#include <QDeadlineTimer>
#include <QDir>
#include <QProcess>
#include <QRandomGenerator>
#include <QTest>

#include <cstdio>

#include <sys/stat.h>

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

// Settings.dat: every field read and written back, older and damaged files,
// and saves that are private and atomic, even when killed.
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
