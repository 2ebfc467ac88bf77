#pragma once

#include <QString>
#include <QStringList>
#include <QUrl>

class Shell
{
public:
    virtual ~Shell() = default;
    // Opens an address in the default browser; false when it could not.
    virtual bool openUrl(const QUrl &url) = 0;
    virtual bool startProgram(const QString &path, const QStringList &arguments = {}) = 0;
};

// Addresses that came from the network are opened only when they are web
// pages: anything else (file:, a program, a custom scheme) is refused.
inline bool IsSafeNetworkUrl(const QUrl &url)
{
    const QString scheme = url.scheme().toLower();
    return url.isValid() && !url.host().isEmpty()
           && (scheme == QLatin1String("http") || scheme == QLatin1String("https"));
}
