#pragma once

#include <QStringList>

#include <cstdio>

// "nimbrel-relay admin --socket PATH COMMAND ARGUMENT..." or
// "nimbrel-relay admin --to HOST:PORT --token-file FILE COMMAND ARGUMENT...":
// sends one command line to a relay's admin socket or port and prints the
// answer. Returns the process exit code: 0 when the relay answered "ok".
int RunAdminClient(const QStringList &arguments, FILE *out, FILE *err);
