#include "app/settings.h"
#include "app/single_instance.h"
#include "app/startup.h"

#include <QDir>
#include <QFile>
#include <QProcess>
#include <QTemporaryDir>
#include <QTest>

class TestStartup : public QObject
{
    Q_OBJECT
private slots:
    void signOffMessage_data()
    {
        QTest::addColumn<QString>("state");
        QTest::addColumn<QString>("county");
        QTest::addColumn<QString>("zip");
        QTest::addColumn<QString>("user");
        QTest::addColumn<QString>("wire");
        QTest::newRow("plain") << "ok"
                               << "Cleveland"
                               << "73069"
                               << "ann"
                               << ":DOB|OK|CLEVELAND|73069|ANN|^";
        QTest::newRow("delimiters escaped")
            << "ok"
            << "a|b:c"
            << "1^2"
            << "ann" << QStringLiteral(":DOB|OK|A\u20ACB\u0081C|1\u201A2|ANN|^");
        QTest::newRow("empty profile") << ""
                                       << ""
                                       << ""
                                       << ""
                                       << ":DOB|||||^";
    }
    void signOffMessage()
    {
        QFETCH(QString, state);
        QFETCH(QString, county);
        QFETCH(QString, zip);
        QFETCH(QString, user);
        SettingsRecord s;
        s.UserState = state;
        s.UserCounty = county;
        s.UserZip = zip;
        s.UserName = user;
        QTEST(Startup::SignOffMessage(s), "wire");
    }

    void defaultsAreCopiedOnlyWhenMissing()
    {
        QTemporaryDir source, target;
        for (const char *name : {"Terms.txt", "Help.txt"}) {
            QFile f(QDir(source.path()).filePath(QString::fromLatin1(name)));
            QVERIFY(f.open(QIODevice::WriteOnly));
            f.write("default");
        }
        QFile mine(QDir(target.path()).filePath(QStringLiteral("Terms.txt")));
        QVERIFY(mine.open(QIODevice::WriteOnly));
        mine.write("my own terms");
        mine.close();
        const QStringList copied = Startup::CopyMissingDefaults(
            source.path(), target.path(),
            {QStringLiteral("Terms.txt"), QStringLiteral("Help.txt"), QStringLiteral("qc.wav")});
        QCOMPARE(copied, QStringList{QStringLiteral("Help.txt")});
        QCOMPARE(Startup::ReadTextFile(mine.fileName()), QStringLiteral("my own terms"));
    }

    void nightlyTime_data()
    {
        QTest::addColumn<int>("minute");
        QTest::addColumn<QString>("text");
        QTest::newRow("first") << 0 << "3:00 AM";
        QTest::newRow("single digit") << 7 << "3:07 AM";
        QTest::newRow("last") << 30 << "3:30 AM";
    }
    void nightlyTime()
    {
        QFETCH(int, minute);
        QTEST(Startup::NightlyTime(minute), "text");
    }

    void oneInstancePerFolder()
    {
        QTemporaryDir dir, other;
        SingleInstance first(dir.path());
        QVERIFY(first.tryAcquire());
        SingleInstance second(dir.path());
        QVERIFY(!second.tryAcquire());
        SingleInstance elsewhere(other.path());
        QVERIFY(elsewhere.tryAcquire());
    }

    void aDeadHoldersLockIsTakenOver()
    {
        QTemporaryDir dir;
        // A process that has ended: its id is free again.
        QProcess p;
        p.start(QStringLiteral("sh"), {QStringLiteral("-c"), QStringLiteral("echo $$")});
        QVERIFY(p.waitForFinished(5000));
        const qint64 deadPid = p.readAllStandardOutput().trimmed().toLongLong();
        QVERIFY(deadPid > 0);
        QFile lock(QDir(dir.path()).filePath(QStringLiteral("nimbrel.lock")));
        QVERIFY(lock.open(QIODevice::WriteOnly));
        lock.write(QByteArray::number(deadPid) + "\nnimbrel\n" + QSysInfo::machineHostName().toUtf8() + "\n");
        lock.close();
        SingleInstance next(dir.path());
        QVERIFY(next.tryAcquire());
    }
};

QTEST_APPLESS_MAIN(TestStartup)
#include "tst_startup.moc"
