#include "net/blocked_senders.h"

#include "net/protocol.h"

std::optional<QString> ScreenedName(QStringView message)
{
    const QString code = CommandCode(message);
    int field;
    if (code == u"RPT" || code == u"WRN" || code == u"GLD")
        field = 4;
    else if (code == u"MSG")
        field = 1;
    else if (code == u"RPA")
        field = 9;
    else
        return std::nullopt;
    return FieldAt(SplitFields(message), field);
}

bool IsFromBlockedUser(QStringView message, const QStringList &filterList, BlockedUsers &blocked)
{
    const std::optional<QString> name = ScreenedName(message);
    return name && blocked.IsBlocked(filterList, *name);
}
