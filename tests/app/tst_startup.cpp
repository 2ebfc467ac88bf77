#include "app/single_instance.h"
#include "app/startup.h"
#include "base/settings.h"
#include "test_files.h"

#include <QProcess>
#include <QTemporaryDir>
#include <QTest>

using namespace Qt::Literals::StringLiterals;

class TestStartup : public QObject
{
    Q_OBJECT
private slots:
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

    void defaultsAreCopiedOnlyWhenMissing()
    {
        QTemporaryDir source, target;
        for (const QString &name : {u"Terms.txt"_s, u"Help.txt"_s})
            QVERIFY(TestFiles::write(source.filePath(name), "default"));
        const QString mine = target.filePath(u"Terms.txt"_s);
        QVERIFY(TestFiles::write(mine, "my own terms"));
        const QStringList copied = Startup::CopyMissingDefaults(source.path(), target.path(),
                                                                {u"Terms.txt"_s, u"Help.txt"_s, u"qc.wav"_s});
        QCOMPARE(copied, QStringList{u"Help.txt"_s});
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
        QVERIFY(!second.tryAcquire());
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
    }
};

QTEST_APPLESS_MAIN(TestStartup)
#include "tst_startup.moc"
