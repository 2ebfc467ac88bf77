#include "net/address_file.h"

#include <QFile>

quint16 PortNumber(const QString &text)
{
    bool ok = false;
    const qint32 number = text.toInt(&ok);
    return ok && number > 0 && number <= 65535 ? quint16(number) : 0;
}

ServerAddress ParseServerAddress(QStringView text)
{
    ServerAddress address;
    int field = 0;
    for (const QChar c : text) {
        const char16_t code = c.unicode();
        if (code >= 46 && code <= 57) {
            if (field == 0)
                address.host.append(c);
            else if (field == 1)
                address.port.append(c);
        } else {
            ++field;
        }
    }
    return address;
}

QString ReadAddressHost(const QString &dataDir)
{
    QFile file(dataDir + QStringLiteral("/AddressHost.txt"));
    if (file.open(QIODevice::ReadOnly)) {
        const QString line = QString::fromUtf8(file.readLine(4096)).trimmed();
        if (!line.isEmpty())
            return line;
    }
    return QString::fromUtf16(DefaultAddressHost);
}

QString AddressFileUrl(const QString &baseAddress)
{
    QString base = baseAddress.trimmed();
    while (base.endsWith(u'/'))
        base.chop(1);
    return base + QStringLiteral("/weather/WXIP.txt");
}
