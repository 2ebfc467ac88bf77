#include "app/client_state.h"
#include "app/settings.h"
#include "fakes.h"

#include <QDir>
#include <QFile>
#include <QTemporaryDir>
#include <QTest>

#include <sys/stat.h>

namespace {

QByteArray fixture(const char *name)
{
    QFile f(qEnvironmentVariable("NIMBREL_TESTDATA") + QLatin1Char('/') + QLatin1String(name));
    if (!f.open(QIODevice::ReadOnly))
        qFatal("missing fixture %s", name);
    return f.readAll();
}

// What settings_complete.dat holds.
SettingsRecord completeRecord()
{
    SettingsRecord r;
    r.FirstName = QStringLiteral("Dale");
    r.MiddleInitial = QStringLiteral("R");
    r.LastName = QStringLiteral("Henson");
    r.Address = QStringLiteral("1200 Elm Street, Apt 4");
    r.City = QStringLiteral("Bel Air");
    r.UserCounty = QStringLiteral("Harford");
    r.UserState = QStringLiteral("md");
    r.UserZip = QStringLiteral("21014");
    r.Email = QStringLiteral("dale@example.org");
    r.UserLocation = QStringLiteral("2 mi N of Bel Air");
    r.UserName = QStringLiteral("stormdale");
    r.Password = QStringLiteral("p\u007Fss wd");
    r.SoundLevel = QStringLiteral("STATE");
    r.DisplayLevel = QStringLiteral("COUNTY");
    r.RestoreLevel = QStringLiteral("ALL");
    r.FrontLevel = QStringLiteral("OFF");
    r.RecordObservations = 1;
    r.FontSize = 12;
    r.FontName = QStringLiteral("Courier New");
    r.FontBold = true;
    r.FontItalic = false;
    r.RememberPassword = 0;
    r.HidePassword = 1;
    r.TimeMode = 2;
    r.Ineligible = 0;
    r.AutoLogIn = 1;
    r.StartInTray = 1;
    r.HideRoutine = 1;
    r.RoutineSound = 0;
    r.RoutineCelsius = 1;
    r.RoutineKmh = 1;
    r.WarnLinkEnabled = 1;
    r.LaunchWarnProgram = 1;
    r.WarnProgramPath = QStringLiteral("/opt/tavrel/tavrel \u00E9t\u00E9");
    r.StationAutomation = 3;
    r.StationDataPath = QStringLiteral("HTTP://10.0.0.5/wx/clientraw.txt");
    return r;
}

// The first n fields of completeRecord(), defaults after them.
SettingsRecord firstFields(int n)
{
    const SettingsRecord full = completeRecord();
    SettingsRecord r;
    const QByteArray lines = WriteSettings(full);
    const QList<QByteArray> all = lines.split('\n');
    QByteArray head;
    for (int i = 0; i < n; ++i)
        head += all[i] + '\n';
    ReadSettings(head, r);
    return r;
}

} // namespace

class TestSettings : public QObject
{
    Q_OBJECT
private slots:
    void completeFileReadsEveryFieldAndRewritesByteForByte()
    {
        const QByteArray bytes = fixture("settings_complete.dat");
        SettingsRecord r;
        const SettingsReadOutcome out = ReadSettings(bytes, r);
        QCOMPARE(out.fieldsRead, 36);
        QVERIFY(!out.error);
        QCOMPARE(r, completeRecord());
        QCOMPARE(WriteSettings(r), bytes);
    }

    void olderAndDamagedFiles_data()
    {
        QTest::addColumn<QByteArray>("bytes");
        QTest::addColumn<int>("fieldsRead");
        QTest::addColumn<bool>("error");
        const QByteArray complete = fixture("settings_complete.dat");
        QTest::newRow("ends after 17") << fixture("settings_ends_after_17.dat") << 17 << false;
        QTest::newRow("ends after 23") << fixture("settings_ends_after_23.dat") << 23 << false;
        QTest::newRow("LF only") << QByteArray(complete).replace("\r\n", "\n") << 36 << false;
        QTest::newRow("no final line end") << complete.chopped(2) << 36 << false;
        QTest::newRow("trailing blank lines") << complete + "\r\n  \r\n" << 36 << false;
        QTest::newRow("ends inside 1-17") << complete.left(complete.indexOf("\"Henson\"")) << 2 << true;
        QTest::newRow("group cut short")
            << fixture("settings_ends_after_17.dat") + "12\r\n\"Courier New\"\r\n"
            << 19 << true;
        QTest::newRow("byte out of range")
            << QByteArray(complete).replace("\r\n2\r\n0\r\n", "\r\n300\r\n0\r\n") << 23 << true;
        QTest::newRow("not a number")
            << QByteArray(complete).replace("\r\n12\r\n", "\r\nbig\r\n") << 17 << true;
        QTest::newRow("not a boolean") << QByteArray(complete).replace("#TRUE#", "yes") << 19 << true;
        QTest::newRow("empty") << QByteArray() << 0 << true;
    }
    void olderAndDamagedFiles()
    {
        QFETCH(QByteArray, bytes);
        QFETCH(int, fieldsRead);
        QFETCH(bool, error);
        SettingsRecord r;
        const SettingsReadOutcome out = ReadSettings(bytes, r);
        QCOMPARE(out.fieldsRead, fieldsRead);
        QCOMPARE(out.error, error);
        // What was read is kept; everything after keeps its default.
        QCOMPARE(r, firstFields(fieldsRead));
    }

    void defaultsSurviveAShortFile()
    {
        SettingsRecord r;
        ReadSettings(fixture("settings_ends_after_17.dat"), r);
        QCOMPARE(r.TimeMode, 1);
        QCOMPARE(r.RoutineSound, 1);
        QCOMPARE(r.RememberPassword, 1);
        QCOMPARE(r.FontName, QStringLiteral("Arial"));
        QCOMPARE(r.WarnProgramPath, QStringLiteral("c:\\Program Files\\Tavrelon\\Tavrelon.exe"));
        QCOMPARE(r.FrontLevel, QStringLiteral("OFF"));
    }

    void recordObservationsCountsOnlyWhenExactlyOne_data()
    {
        QTest::addColumn<QByteArray>("bytes");
        QTest::addColumn<int>("expected");
        QTest::newRow("1") << fixture("settings_record_obs_1.dat") << 1;
        QTest::newRow("2") << fixture("settings_record_obs_2.dat") << 0;
        QTest::newRow("1.0") << fixture("settings_record_obs_1_0.dat") << 1;
    }
    void recordObservationsCountsOnlyWhenExactlyOne()
    {
        QFETCH(QByteArray, bytes);
        QFETCH(int, expected);
        SettingsRecord r;
        QCOMPARE(ReadSettings(bytes, r).fieldsRead, 17);
        QCOMPARE(r.RecordObservations, expected);
    }

    void textsThatWouldBreakTheFileDoNotShiftLaterFields()
    {
        SettingsRecord r = completeRecord();
        r.Address = QStringLiteral("12 \"Oak\" Rd\r\nline two");
        r.Email = QStringLiteral("\u4E2D@example.org"); // outside the code page
        SettingsRecord back;
        QCOMPARE(ReadSettings(WriteSettings(r), back).fieldsRead, 36);
        QCOMPARE(back.Address, QStringLiteral("12 'Oak' Rd  line two"));
        QCOMPARE(back.Email, QStringLiteral("?@example.org"));
        back.Address = r.Address;
        back.Email = r.Email;
        QCOMPARE(back, r);
    }

    void firstRunShowsTermsThenWelcome()
    {
        QTemporaryDir dir;
        ClientState state;
        state.dataDir = dir.path();
        FakeDialogs dialogs;
        int boxesBeforeTerms = -1;
        const auto result =
            LoadSettings(state, dialogs, [&] { boxesBeforeTerms = int(dialogs.shown.size()); });
        QCOMPARE(result, LoadSettingsResult::FirstRun);
        QCOMPARE(boxesBeforeTerms, 0);
        QCOMPARE(dialogs.shown.size(), 1);
        QCOMPARE(
            dialogs.shown[0].text,
            QStringLiteral("Thanks for trying the Nimbrel program!  If you are a new user, please fill out "
                           "the form that appears and then click the Create Account button at the bottom "
                           "right."));
        QCOMPARE(dialogs.shown[0].title, QStringLiteral("Welcome to Nimbrel!"));
        QCOMPARE(state.settings, SettingsRecord());
        QVERIFY(!QFile::exists(dir.filePath(QStringLiteral("Settings.dat"))));
    }

    void loadFromTheDataFolder_data()
    {
        QTest::addColumn<QString>("fixtureName");
        QTest::addColumn<LoadSettingsResult>("result");
        QTest::addColumn<int>("timeMode");
        QTest::addColumn<QStringList>("boxes");
        const QString gone = QStringLiteral("You are no longer eligible to use this service.");
        QTest::newRow("complete, UTC")
            << QStringLiteral("settings_complete.dat") << LoadSettingsResult::Loaded << 2 << QStringList();
        QTest::newRow("ineligible") << QStringLiteral("settings_ineligible.dat")
                                    << LoadSettingsResult::Ineligible << 2 << QStringList{gone, gone};
        QTest::newRow("older file") << QStringLiteral("settings_ends_after_23.dat")
                                    << LoadSettingsResult::Loaded << 1 << QStringList();
    }
    void loadFromTheDataFolder()
    {
        QFETCH(QString, fixtureName);
        QFETCH(LoadSettingsResult, result);
        QFETCH(int, timeMode);
        QFETCH(QStringList, boxes);
        QTemporaryDir dir;
        QVERIFY(QFile::copy(qEnvironmentVariable("NIMBREL_TESTDATA") + QLatin1Char('/') + fixtureName,
                            dir.filePath(QStringLiteral("Settings.dat"))));
        ClientState state;
        state.dataDir = dir.path();
        FakeDialogs dialogs;
        bool termsShown = false;
        QCOMPARE(LoadSettings(state, dialogs, [&] { termsShown = true; }), result);
        QVERIFY(!termsShown);
        QCOMPARE(state.settings.TimeMode, timeMode);
        QCOMPARE(state.settings.UserName, QStringLiteral("stormdale"));
        QStringList shown;
        for (const auto &s : dialogs.shown)
            shown << s.text << s.title;
        QCOMPARE(shown, boxes);
    }

    void unreadableFileKeepsDefaultsWithoutAMessage()
    {
        QTemporaryDir dir;
        QVERIFY(QDir(dir.path()).mkdir(QStringLiteral("Settings.dat")));
        ClientState state;
        state.dataDir = dir.path();
        FakeDialogs dialogs;
        bool termsShown = false;
        QCOMPARE(LoadSettings(state, dialogs, [&] { termsShown = true; }), LoadSettingsResult::Failed);
        QVERIFY(!termsShown);
        QVERIFY(dialogs.shown.isEmpty());
        QCOMPARE(state.settings, SettingsRecord());
    }

    void saveIsPrivateAndAtomic()
    {
        QTemporaryDir dir;
        const QString path = dir.filePath(QStringLiteral("Settings.dat"));
        // An older file readable by everybody becomes private when rewritten.
        QFile old(path);
        QVERIFY(old.open(QIODevice::WriteOnly));
        old.write("stale");
        old.close();
        QVERIFY(old.setPermissions(QFileDevice::ReadOwner | QFileDevice::WriteOwner | QFileDevice::ReadGroup |
                                   QFileDevice::ReadOther));
        ClientState state;
        state.dataDir = dir.path();
        state.settings = completeRecord();
        QVERIFY(SaveSettings(state));
        QFile saved(path);
        struct stat st;
        QCOMPARE(::stat(QFile::encodeName(path).constData(), &st), 0);
        QCOMPARE(st.st_mode & 0777, 0600u);
        QVERIFY(saved.open(QIODevice::ReadOnly));
        QCOMPARE(saved.readAll(), fixture("settings_complete.dat"));

        ClientState reloaded;
        reloaded.dataDir = dir.path();
        FakeDialogs dialogs;
        QCOMPARE(LoadSettings(reloaded, dialogs, {}), LoadSettingsResult::Loaded);
        QCOMPARE(reloaded.settings, state.settings);

        state.dataDir = dir.filePath(QStringLiteral("no/such/folder"));
        QVERIFY(!SaveSettings(state));
    }
};

QTEST_GUILESS_MAIN(TestSettings)
#include "tst_settings.moc"
