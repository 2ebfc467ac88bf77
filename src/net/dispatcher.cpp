#include "net/dispatcher.h"

#include <utility>

namespace {

qsizetype indexOfCode(QStringView code)
{
    for (std::size_t i = 0; i < Dispatcher::Codes.size(); ++i)
        if (code == QStringView(Dispatcher::Codes[i]))
            return qsizetype(i);
    return -1;
}

} // namespace

bool Dispatcher::setHandler(QStringView code, Handler handler)
{
    const qsizetype i = indexOfCode(code);
    if (i < 0)
        return false;
    m_handlers[std::size_t(i)] = std::move(handler);
    return true;
}

void Dispatcher::dispatch(const QString &message) const
{
    // Characters 2 to 4; a shorter message yields a shorter code, which
    // matches nothing.
    const qsizetype i = indexOfCode(QStringView(message).mid(1, 3));
    if (i < 0)
        return;
    // A copy, so a handler that replaces itself still runs to its end.
    const Handler handler = m_handlers[std::size_t(i)];
    if (handler)
        handler(message);
}
