#pragma once

#include <QByteArray>
#include <QFile>
#include <QString>
#include <QTemporaryDir>

using namespace Qt::Literals::StringLiterals;

// Whole-file reads and writes for fixtures.
namespace TestFiles {

inline bool write(const QString &path, const QByteArray &bytes)
{
    QFile f(path);
    return f.open(QIODevice::WriteOnly | QIODevice::Truncate) && f.write(bytes) == bytes.size();
}

// Empty when the file cannot be read.
inline QByteArray read(const QString &path)
{
    QFile f(path);
    return f.open(QIODevice::ReadOnly) ? f.readAll() : QByteArray();
}

// A file of the test's own testdata folder.
inline QString testData(const QString &name)
{
    return qEnvironmentVariable("NIMBREL_TESTDATA") + u'/' + name;
}

// Points the client whose data folder this is at the address file served
// on 127.0.0.1:httpPort.
inline bool pointAt(const QString &dataDir, quint16 httpPort)
{
    return write(dataDir + u"/AddressHost.txt"_s,
                 "http://127.0.0.1:" + QByteArray::number(httpPort) + "\r\n");
}

} // namespace TestFiles
