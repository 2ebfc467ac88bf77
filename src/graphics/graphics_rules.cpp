#include "graphics/graphics_rules.h"

#include <algorithm>
#include <cmath>

using namespace Qt::Literals::StringLiterals;

namespace Graphics {

QStringList DefaultAddresses()
{
    return {
        QStringLiteral("https://www.spc.noaa.gov/exper/mesoanalysis/activity_loop.gif"),
        QStringLiteral("https://aviationweather.gov/data/obs/radar/rad_tops-18a_us.gif"),
        QStringLiteral("https://www.spc.noaa.gov/products/activity_loop.gif"),
        QStringLiteral("https://cdn.star.nesdis.noaa.gov/GOES16/ABI/SECTOR/taw/GEOCOLOR/"
                       "GOES16-TAW-GEOCOLOR-900x540.gif"),
    };
}

UrlList DefaultList()
{
    UrlList list;
    list.rotationMinutes = 1;
    for (const QString &url : DefaultAddresses())
        list.entries.append({url, 1});
    return list;
}

QString Ext(QStringView address)
{
    return address.right(3).toString().toLower();
}

bool IsWebPage(QStringView address)
{
    static const QStringList pages = {u"com"_s, u"htm"_s, u"net"_s, u"org"_s, u"biz"_s, u"gov"_s, u"tml"_s};
    return pages.contains(Ext(address)) || address.right(2).toString().toLower() == u"us";
}

bool IsPicture(QStringView address)
{
    static const QStringList pictures = {u"dib"_s, u"bmp"_s, u"ico"_s, u"cur"_s,
                                         u"jpg"_s, u"peg"_s, u"gif"_s};
    return pictures.contains(Ext(address));
}

bool IsUnsupportedPicture(QStringView address)
{
    const QString ext = Ext(address);
    return ext == u"wmf" || ext == u"emf";
}

QString PictureFileName(QStringView address)
{
    return QStringLiteral("MessageGraphic.") + Ext(address);
}

QString EscapeAttribute(QStringView text)
{
    QString out;
    out.reserve(text.size());
    for (const char32_t c : text.toUcs4()) {
        switch (c) {
        case U'&':
            out += u"&amp;";
            break;
        case U'"':
            out += u"&quot;";
            break;
        case U'\'':
            out += u"&#39;";
            break;
        case U'<':
            out += u"&lt;";
            break;
        case U'>':
            out += u"&gt;";
            break;
        default:
            if (c >= 0x20 && c < 0x7f)
                out += QChar(char16_t(c));
            else
                out += u"&#" + QString::number(quint32(c)) + u';';
        }
    }
    return out;
}

QString PlainNumber(double value)
{
    QString s = QString::number(value, 'f', 4);
    while (s.endsWith(u'0'))
        s.chop(1);
    if (s.endsWith(u'.'))
        s.chop(1);
    return s == u"-0" ? QStringLiteral("0") : s;
}

QByteArray GraphicPage(const QString &address, double widthTwips, double heightTwips)
{
    const QString w = PlainNumber(widthTwips / 15 * 0.9);
    const QString h = PlainNumber(heightTwips / 15 * 0.88);
    const QString page = u"<html>\r\n<p align=\"center\"><img src=\"" + EscapeAttribute(address) +
                         u"\" width=\"" + w + u"\" height=\"" + h +
                         u"\" border=\"0\"></p></body>\r\n</html>\r\n";
    return page.toLatin1(); // ASCII only: the address is escaped
}

std::optional<int> RotateGraphics(const UrlList &list, Rotation &rotation)
{
    if (rotation.counter < list.rotationMinutes) {
        rotation.counter += 1;
        return std::nullopt;
    }
    rotation.counter = 1;
    const int count = int(list.entries.size());
    for (int skips = 0; skips < SkipLimit; ++skips) {
        rotation.current += 1;
        if (rotation.current > count)
            rotation.current = 1;
        if (rotation.current <= count && list.entries.at(rotation.current - 1).flag == 1)
            return rotation.current;
    }
    return std::nullopt;
}

QString Address(const UrlList &list, int index)
{
    return index >= 1 && index <= list.entries.size() ? list.entries.at(index - 1).url : QString();
}

RefreshAction RefreshTick(bool mainBusy, bool mainVisible, bool fullOpen, bool fullBusy)
{
    RefreshAction a;
    if (mainBusy) {
        a.stopMain = true;
        a.keepTimer = true;
        return a;
    }
    a.reloadMain = mainVisible;
    if (fullOpen && fullBusy) {
        a.stopFull = true;
        a.keepTimer = true;
    }
    return a;
}

namespace {
std::optional<double> number(const QString &text)
{
    bool ok = false;
    const double v = text.trimmed().toDouble(&ok);
    return ok && std::isfinite(v) ? std::optional(v) : std::nullopt;
}
} // namespace

QString NormalizeMinutesText(const QString &text)
{
    const auto v = number(text);
    if (!v)
        return QStringLiteral("3");
    return *v < 1 ? QStringLiteral("1") : text;
}

double PreviewMinutes(const QString &text)
{
    return number(text).value_or(1);
}

void ApplySelection(UrlList &list, const std::array<FixedEntry, FixedEntries> &fixed,
                    const QString &minutesText, Rotation &rotation)
{
    while (list.entries.size() < FixedEntries)
        list.entries.append({QString(), 0});
    for (int i = 0; i < FixedEntries; ++i)
        list.entries[i] = {fixed[i].url, fixed[i].display ? 1 : 0};
    // Done without leaving the box first gets the same rule as leaving it.
    list.rotationMinutes = number(NormalizeMinutesText(minutesText)).value_or(3);
    rotation.counter = list.rotationMinutes + 1;
}

AddResult CanAddLink(const QString &text, int count)
{
    if (text.trimmed().isEmpty())
        return AddResult::Blank;
    return count >= MaxExtraLinks ? AddResult::Full : AddResult::Added;
}

void ApplyLinkList(UrlList &list, const QStringList &links, Rotation &rotation)
{
    while (list.entries.size() < FixedEntries)
        list.entries.append({QString(), 0});
    list.entries.resize(FixedEntries);
    for (const QString &link : links.first(std::min<qsizetype>(links.size(), MaxExtraLinks)))
        list.entries.append({link, 1});
    rotation.counter = list.rotationMinutes + 1;
}

} // namespace Graphics
