#pragma once

#include <QString>
#include <QStringView>

// Where the server is: the address file (WXIP.txt) on the address web
// server names it.
struct ServerAddress
{
    QString host;
    QString port;
};

// The address file's parse: "." "/" and digits go to the host, then to the
// port; every other character moves on to the next field, and anything from
// the third field on is dropped. "1.2.3.4:1000" gives host and port; a CR LF
// between them leaves the port empty.
ServerAddress ParseServerAddress(QStringView text);

// The port a socket can connect to, or 0 when the text is none.
quint16 PortNumber(const QString &text);

// The address file's web server: the first line of AddressHost.txt in the
// data folder, DefaultAddressHost without it.
inline constexpr char16_t DefaultAddressHost[] = u"http://127.0.0.1:8080";
QString ReadAddressHost(const QString &dataDir);
// Base address + "/weather/WXIP.txt".
QString AddressFileUrl(const QString &baseAddress);
