#pragma once

#include "base/station_source.h"

#include <QString>
#include <QStringView>

#include <optional>

// The four station programs' data files, read from their whole text. Each
// reader overwrites only the readings it finds and returns the text for the
// status line when it had to stop (empty when it did not).
namespace StationReaders {

// Optional sign, digits, optional decimal point; spaces around allowed.
bool IsNumeric(QStringView text);
std::optional<double> Number(QStringView text);
// A number as a single-precision value written back as text: "004" gives "4".
QString PlainNumber(QStringView text);

// Index 0..16 the sixteen points with N at both ends; 17..30 empty.
QString CompassPoint(int index);
// Rounds degrees / 22.5 to the nearest index, a tie to the even one; an
// index outside 0..30 leaves direction as it was.
void DegreesToCompass(float degrees, QString &direction);

QString GetCumulus2(const QString &text, StationReadings &r);
QString GetHeavy2(const QString &text, StationReadings &r);
QString GetVirtual2(const QString &text, StationReadings &r);
QString GetVirtualWeatherDisplay(const QString &text, StationReadings &r);

// The reader and the software name for a StationAutomation value 1..4.
using Reader = QString (*)(const QString &, StationReadings &);
Reader ReaderFor(int automation);
QString SoftwareName(int automation);

// The reader for a StationAutomation value over the text GetFile returned
// for path. Cumulus and Heavy Weather name the file when there was nothing
// to read; the other two stay silent.
QString ReadStation(int automation, const QString &text, const QString &path, StationReadings &r);

} // namespace StationReaders
