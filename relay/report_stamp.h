#pragma once

#include <QDateTime>
#include <QString>

// The time stamp the relay appends to every report, in UTC, in one fixed
// English form whatever the machine's locale: "12/6/2026 6:44:52 PM".
QString ReportTimeStamp(const QDateTime &when);
