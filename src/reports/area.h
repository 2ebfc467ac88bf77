#pragma once

#include <QString>
#include <QStringList>

struct SettingsRecord;

// Area levels of the settings: which reports count as the user's area.
namespace AreaLevel {
inline const QString All = QStringLiteral("ALL");
inline const QString State = QStringLiteral("STATE");
inline const QString County = QStringLiteral("COUNTY");
inline const QString Off = QStringLiteral("OFF");
} // namespace AreaLevel

// An entry of two characters is a whole state; any other entry must equal
// "STATE COUNTY" exactly (entries are typed in upper case).
bool IsAdditionalCounty(const QStringList &additionalCounties, const QString &state, const QString &county);

// The area test shared by every level. additional: the report's result of
// IsAdditionalCounty, which widens only the COUNTY level.
bool Matches(const QString &level, const SettingsRecord &settings, const QString &state,
             const QString &county, bool additional);
