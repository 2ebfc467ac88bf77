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
        const QString prog = QStringLiteral("nimbrel");
        QTest::newRow("none") << QStringList{prog} << QString() << false;
        QTest::newRow("separate") << QStringList{prog, QStringLiteral("--data-dir"), QStringLiteral("/x")}
                                  << QStringLiteral("/x") << false;
        QTest::newRow("last wins") << QStringList{prog, QStringLiteral("--data-dir=/a"),
                                                  QStringLiteral("--data-dir"), QStringLiteral("/b")}
                                   << QStringLiteral("/b") << false;
        QTest::newRow("after --") << QStringList{prog, QStringLiteral("--"), QStringLiteral("--data-dir=/a")}
                                  << QString() << false;
        QTest::newRow("missing value")
            << QStringList{prog, QStringLiteral("--data-dir")} << QString() << true;
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
        const QString wanted = tmp.filePath(QStringLiteral("a/b/data"));
        const DataFolder f =
            ResolveDataFolder({QStringLiteral("nimbrel"), QStringLiteral("--data-dir"), wanted});
        QVERIFY2(f.ok(), qPrintable(f.error));
        QCOMPARE(f.path, QDir::cleanPath(wanted));
        QVERIFY(QFileInfo(wanted).isDir());

        // A file in the way is an error, also as a parent.
        QFile file(tmp.filePath(QStringLiteral("taken")));
        QVERIFY(file.open(QIODevice::WriteOnly));
        for (const QString &below : {QString(), QStringLiteral("/below")})
            QVERIFY(
                !ResolveDataFolder({QStringLiteral("nimbrel"), u"--data-dir="_s + file.fileName() + below})
                     .ok());

        const DataFolder byDefault = ResolveDataFolder({QStringLiteral("nimbrel")});
        QVERIFY2(byDefault.ok(), qPrintable(byDefault.error));
        QVERIFY(byDefault.path.endsWith(QStringLiteral("/Nimbrel")));
        QVERIFY(QFileInfo(byDefault.path).isDir());
    }
};

QTEST_GUILESS_MAIN(TestDataFolder)
#include "tst_data_folder.moc"
