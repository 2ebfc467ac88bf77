#include "report_stamp.h"

#include <QLocale>

QString ReportTimeStamp(const QDateTime &when)
{
    return QLocale::c().toString(when.toUTC(), QStringLiteral("M/d/yyyy h:mm:ss AP"));
}
