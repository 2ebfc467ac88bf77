#include "app/data_folder.h"

#include <QCoreApplication>
#include <QDir>
#include <QFile>
#include <QStandardPaths>
#include <QTemporaryDir>
#include <QTest>

using namespace Qt::Literals::StringLiterals;

class TestDataFolder : public QObject
{
    Q_OBJECT
private slots:
    void initTestCase()
    {
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
        QFETCH(QString, value);
        QFETCH(bool, error);
        QString message;
        QCOMPARE(DataDirArgument(arguments, &message), value);
        QCOMPARE(!message.isEmpty(), error);
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
        for (const QString &below : {QString(), u"/below"_s})
            QVERIFY(!ResolveDataFolder({u"nimbrel"_s, u"--data-dir="_s + file.fileName() + below}).ok());

        const DataFolder byDefault = ResolveDataFolder({u"nimbrel"_s});
        QVERIFY2(byDefault.ok(), qPrintable(byDefault.error));
        QVERIFY(byDefault.path.endsWith(u"/Nimbrel"_s));
        QVERIFY(QFileInfo(byDefault.path).isDir());
    }
};

QTEST_GUILESS_MAIN(TestDataFolder)
#include "tst_data_folder.moc"
