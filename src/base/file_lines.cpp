#include "base/file_lines.h"

#include <QFile>
#include <QSaveFile>

#include <cmath>

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
    QSaveFile file(path);
    const auto fail = [&file, error] {
        if (error)
            *error = file.errorString();
        return false;
    };
    if (!file.open(QIODevice::WriteOnly))
        return fail();
    // Committing a cancelled file removes its temporary copy.
    const auto abandon = [&file, &fail] {
        fail();
        file.cancelWriting();
        file.commit();
        return false;
    };
    if (permissions && !file.setPermissions(*permissions))
        return abandon();
    if (file.write(bytes) != bytes.size())
        return abandon();
    return file.commit() || fail();
}

std::optional<QByteArray> readFile(const QString &path)
{
    QFile file(path);
    if (!file.open(QIODevice::ReadOnly))
        return std::nullopt;
    return file.readAll();
}

} // namespace FileLines
