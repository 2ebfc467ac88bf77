#include "net/sign_on_message.h"

#include "net/protocol.h"

namespace SignOnMessage {

QString Build(const Profile &p, const QString &version)
{
    QStringList fields = {p.userName, p.password};
    for (const QString *f : {&p.firstName, &p.middleInitial, &p.lastName, &p.address, &p.city, &p.county,
                             &p.state, &p.zip, &p.email, &p.location})
        fields.append(EscapeOutgoing(*f));
    if (!version.isEmpty())
        fields.append(version);
    return ServerMessage(u"SGN", fields);
}

} // namespace SignOnMessage
