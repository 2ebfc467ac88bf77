#pragma once

#include <QString>
#include <QStringView>

#include <array>
#include <functional>

// Routes a whole message (from ":" to "^") to the handler registered for its
// code. Codes compare exactly; unknown codes and codes without a handler are
// dropped. Subsystems register their handlers when they are created.
class Dispatcher final
{
public:
    using Handler = std::function<void(const QString &message)>;

    // The codes the client understands, in the order they are compared.
    static constexpr std::array<const char16_t *, 16> Codes = {u"RPT", u"RPA", u"WRN", u"DIS", u"HUB", u"GAD",
                                                               u"MSG", u"SMG", u"GOB", u"DOB", u"GLD", u"SGN",
                                                               u"BAN", u"C12", u"NEW", u"DEL"};

    // Returns false for a code outside the table. A later call replaces the
    // handler. DIS's handler is the link's "close the socket now".
    bool setHandler(QStringView code, Handler handler);
    void dispatch(const QString &message) const;

private:
    std::array<Handler, Codes.size()> m_handlers;
};
