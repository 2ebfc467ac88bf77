#pragma once

#include "base/content_filters.h"

#include <QString>
#include <QStringList>
#include <QStringView>

#include <optional>

// The name a received message is screened by: the observer of RPT, WRN and
// GLD, the sender of MSG, the sending user of RPA; nullopt for codes that are
// never screened (SMG, GOB, DOB and the rest).
std::optional<QString> ScreenedName(QStringView message);
// True when the message comes from a blocked user and must be dropped.
bool IsFromBlockedUser(QStringView message, const QStringList &filterList, BlockedUsers &blocked);
