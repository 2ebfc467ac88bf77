#pragma once

#include <QStringList>

#include <cstdio>

// "nimbrel-relay migrate --from FILE --to postgresql://...": copies a
// SQLite store's accounts and history into a PostgreSQL database once,
// in one transaction. A database that holds accounts already is left
// alone. Returns the exit code: 0 copied, 1 refused or failed, 2 usage.
int RunMigrate(const QStringList &arguments, FILE *out, FILE *err);
