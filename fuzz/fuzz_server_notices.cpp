// Text from the network through the link's own parsers: the address file,
// the sign-on replies and the announcement's file name. The address parse
// keeps only its character classes, a reply never signs on anything but
// "3", and the announcement file is always "add." + a known picture type.
#include "base/client_state.h"
#include "base/wire_codec.h"
#include "net/address_file.h"
#include "net/dispatcher.h"
#include "net/protocol.h"
#include "net/server_link.h"
#include "net/server_notices.h"
#include "net/sign_on.h"

#include <cstdlib>

namespace {

void check(bool ok)
{
    if (!ok)
        std::abort();
}

bool onlyAddressCharacters(const QString &text)
{
    for (QChar c : text) {
        if (c.unicode() < 46 || c.unicode() > 57)
            return false;
    }
    return true;
}

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t *data, size_t size)
{
    const QString text =
        WireCodec::decode(QByteArrayView(reinterpret_cast<const char *>(data), qsizetype(size)));

    const ServerAddress address = ParseServerAddress(text);
    check(onlyAddressCharacters(address.host) && onlyAddressCharacters(address.port));
    check(address.host.size() + address.port.size() <= text.size());

    const QString file = ServerNotices::AnnouncementFileName(text);
    static const QStringList allowed = {QString(),
                                        QStringLiteral("add.gif"),
                                        QStringLiteral("add.jpg"),
                                        QStringLiteral("add.jpeg"),
                                        QStringLiteral("add.png"),
                                        QStringLiteral("add.bmp")};
    check(allowed.contains(file));

    ClientState state;
    int saves = 0;
    SignOnReplies replies(state, [&] { ++saves; });
    Dispatcher dispatcher;
    replies.registerOn(dispatcher);
    const QString sgn = QStringLiteral(":SGN|") + text;
    dispatcher.dispatch(sgn);
    check(state.signedOn == (FieldAt(SplitFields(sgn), 0) == u"3"));
    check(saves == state.settings.Ineligible);
    dispatcher.dispatch(QStringLiteral(":NEW|") + text);
    return 0;
}
