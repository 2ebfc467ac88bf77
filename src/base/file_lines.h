#pragma once

#include <QByteArray>
#include <QByteArrayView>
#include <QFileDevice>
#include <QList>
#include <QString>

#include <optional>

// Helpers shared by the readers and writers of the client's own files.
namespace FileLines {

// The lines of a file: CR LF, LF or a lone CR ends a line; a missing final
// line end still gives the last line; the line ends are not part of a line.
QList<QByteArrayView> split(QByteArrayView bytes);

// Leading and trailing spaces and tabs removed.
QByteArrayView trimmed(QByteArrayView line);

// A plain decimal number ("12", "-3", "1.5", "2E3"), or nullopt.
std::optional<double> parseNumber(QByteArrayView text);

// Writes a copy beside the file ("<name>.saving") and renames it over the
// file, so a crash or a full disk never leaves a partial file. permissions,
// when given, are set before the file appears under its name. False when anything failed; the old file is
// then untouched and error, when given, says why.
bool writeAtomically(const QString &path, const QByteArray &bytes,
                     std::optional<QFileDevice::Permissions> permissions = std::nullopt,
                     QString *error = nullptr);

// Appends bytes (whole lines) to a log. A failed append is cut back so it
// leaves no partial line, and when an earlier one could not be cut back the
// new entry starts on a line of its own. The reason when it fails.
std::optional<QString> appendLines(const QString &path, const QByteArray &bytes);

// The status line when a log could not be written and logging stopped.
QString LogStoppedText(const QString &fileName, const QString &why);

// The whole file, or nullopt when it does not exist or cannot be read.
std::optional<QByteArray> readFile(const QString &path);

} // namespace FileLines
