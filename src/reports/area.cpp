#include "reports/area.h"

#include "base/settings.h"

bool IsAdditionalCounty(const QStringList &additionalCounties, const QString &state, const QString &county)
{
    if (additionalCounties.isEmpty())
        return false;
    const QString key = (state + u' ' + county).toUpper().trimmed();
    const QStringView keyState = QStringView(key).left(2);
    for (const QString &entry : additionalCounties) {
        if (entry.size() == 2 ? keyState == entry : key == entry)
            return true;
    }
    return false;
}

bool Matches(const QString &level, const SettingsRecord &settings, const QString &state,
             const QString &county, bool additional)
{
    if (level == AreaLevel::All)
        return true;
    const bool sameState = state.compare(settings.UserState, Qt::CaseInsensitive) == 0;
    if (level == AreaLevel::State)
        return sameState;
    if (level == AreaLevel::County)
        return (sameState && county.compare(settings.UserCounty, Qt::CaseInsensitive) == 0) || additional;
    return false;
}
