#include "base/file_lines.h"

#include <QFile>

#include <cerrno>
#include <cmath>
#include <cstdio>
#include <cstring>

#include <unistd.h>

namespace FileLines {

QList<QByteArrayView> split(QByteArrayView bytes)
{
    QList<QByteArrayView> lines;
    qsizetype start = 0;
    const qsizetype n = bytes.size();
    for (qsizetype i = 0; i < n; ++i) {
        const char c = bytes[i];
        if (c != '\r' && c != '\n')
            continue;
        lines.append(bytes.sliced(start, i - start));
        if (c == '\r' && i + 1 < n && bytes[i + 1] == '\n')
            ++i;
        start = i + 1;
    }
    if (start < n)
        lines.append(bytes.sliced(start));
    return lines;
}

QByteArrayView trimmed(QByteArrayView line)
{
    qsizetype b = 0;
    qsizetype e = line.size();
    while (b < e && (line[b] == ' ' || line[b] == '\t'))
        ++b;
    while (e > b && (line[e - 1] == ' ' || line[e - 1] == '\t'))
        --e;
    return line.sliced(b, e - b);
}

std::optional<double> parseNumber(QByteArrayView text)
{
    text = trimmed(text);
    if (text.isEmpty() || text.size() > 64)
        return std::nullopt;
    // Only what a decimal number can hold; this keeps out "nan", "inf" and
    // hexadecimal forms that the conversion below would otherwise accept.
    bool digit = false;
    for (char c : text) {
        if (c >= '0' && c <= '9')
            digit = true;
        else if (c != '+' && c != '-' && c != '.' && c != 'e' && c != 'E')
            return std::nullopt;
    }
    if (!digit)
        return std::nullopt;
    bool ok = false;
    const double v = QByteArray(text.data(), text.size()).toDouble(&ok);
    if (!ok || !std::isfinite(v))
        return std::nullopt;
    return v;
}

bool writeAtomically(const QString &path, const QByteArray &bytes,
                     std::optional<QFileDevice::Permissions> permissions, QString *error)
{
    // The copy has one fixed name, so a program killed while saving leaves at
    // most one of it behind, replaced by the next save, never a growing pile
    // of randomly named copies.
    const QString copyPath = path + QStringLiteral(".saving");
    QFile copy(copyPath);
    const auto fail = [&copy, error](const QString &why) {
        if (error)
            *error = why;
        copy.close();
        copy.remove();
        return false;
    };
    if (!copy.open(QIODevice::WriteOnly | QIODevice::Truncate))
        return fail(copy.errorString());
    if (permissions && !copy.setPermissions(*permissions))
        return fail(copy.errorString());
    if (copy.write(bytes) != bytes.size() || !copy.flush())
        return fail(copy.errorString());
    // On disk before it takes the file's name, or a power cut could leave
    // an empty file under the real name.
    if (::fsync(copy.handle()) != 0)
        return fail(QString::fromLocal8Bit(std::strerror(errno)));
    copy.close();
    // rename replaces the old file in one step.
    if (std::rename(QFile::encodeName(copyPath).constData(), QFile::encodeName(path).constData()) != 0)
        return fail(QString::fromLocal8Bit(std::strerror(errno)));
    return true;
}

std::optional<QString> appendLines(const QString &path, const QByteArray &bytes)
{
    QFile file(path);
    if (!file.open(QIODevice::ReadWrite | QIODevice::Append))
        return file.errorString();
    const qint64 oldSize = file.size();
    QByteArray out;
    if (oldSize > 0 && file.seek(oldSize - 1)) {
        char last = 0;
        if (file.getChar(&last) && last != '\n')
            out = "\r\n";
    }
    out += bytes;
    if (file.write(out) == out.size() && file.flush())
        return std::nullopt;
    const QString why = file.errorString();
    file.resize(oldSize);
    return why;
}

QString LogStoppedText(const QString &fileName, const QString &why)
{
    return QStringLiteral("%1: logging stopped: %2").arg(fileName, why);
}

std::optional<QByteArray> readFile(const QString &path)
{
    QFile file(path);
    if (!file.open(QIODevice::ReadOnly))
        return std::nullopt;
    return file.readAll();
}

} // namespace FileLines
