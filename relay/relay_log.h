#pragma once

#include <QString>

#include <cstdio>

class Clock;

// One line per event, stamped in UTC, flushed at once so that a pipe or a
// log file shows it immediately.
class RelayLog
{
public:
    RelayLog(const Clock &clock, FILE *out) : m_clock(clock), m_out(out) {}
    void line(const QString &text) const;

private:
    const Clock &m_clock;
    FILE *m_out;
};
