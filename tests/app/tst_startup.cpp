#include "app/data_folder.h"
#include "app/single_instance.h"
#include "app/startup.h"
#include "base/form_scaling.h"
#include "base/settings.h"
#include "test_files.h"

#include <QDir>
#include <QProcess>
#include <QStandardPaths>
#include <QTest>

using namespace FormScaling;

// What the program settles before its first window: its data folder, one
// instance, the default files, the sign-off text and the window's scale.
class TestStartup : public QObject
{
    Q_OBJECT
private slots:
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
};

QTEST_GUILESS_MAIN(TestStartup)
#include "tst_startup.moc"
