#pragma once

#include "base/list_files.h"

#include <QByteArray>
#include <QString>
#include <QStringList>
#include <QStringView>

#include <array>
#include <optional>

// The rules of the rotating graphics panel, its selection window and the
// extra links, free of any window.
namespace Graphics {

inline constexpr int FixedEntries = 4;
// The tables end at entry 300, but the count is a byte: 255 entries in all.
inline constexpr int MaxEntries = ListLimits::UrlEntries;
inline constexpr int MaxExtraLinks = MaxEntries - FixedEntries; // 251
// One rotation step tries at most this many unmarked entries.
inline constexpr int SkipLimit = 5;
inline constexpr int RefreshMs = 30'000;

inline const QString PageFileName = QStringLiteral("createdURL.htm");
inline const QString FullSizePageFileName = QStringLiteral("createdURLFullSize.htm");

// Four public weather-service GIFs: a storm-activity loop, radar echo tops,
// the watches and warnings map, and the tropical Atlantic.
QStringList DefaultAddresses();
UrlList DefaultList();

// The last three characters, lower case.
QString Ext(QStringView address);
// Navigated to directly rather than through the generated page.
bool IsWebPage(QStringView address);
// A picture type that is downloaded into the picture file.
bool IsPicture(QStringView address);
// Windows metafiles: no picture reader here can show them, so they are not
// fetched and the status line says so.
bool IsUnsupportedPicture(QStringView address);
inline QString UnsupportedPictureText(const QString &address)
{
    return QStringLiteral("picture format not supported: ") + address;
}
// "MessageGraphic." + Ext(address).
QString PictureFileName(QStringView address);

// Text safe inside a double-quoted HTML attribute; everything outside
// printable ASCII becomes a numeric reference, so the page has no charset.
QString EscapeAttribute(QStringView text);
// "123" or "123.4": no exponent, no trailing zeros.
QString PlainNumber(double value);
// The generated page for a browser of the given size in twips.
QByteArray GraphicPage(const QString &address, double widthTwips, double heightTwips);

// Where the rotation is; both count from 1.
struct Rotation
{
    double counter = 1; // RotationCounter: minutes since the last change
    int current = 1;    // CurrentGraphic: the entry shown last
};

// One step of Timer2: the entry (1-based) to show now, or nothing.
std::optional<int> RotateGraphics(const UrlList &list, Rotation &rotation);
// The address of entry index (1-based); empty outside the table.
QString Address(const UrlList &list, int index);

// What a tick of tmrRefresh does.
struct RefreshAction
{
    bool reloadMain = false;
    bool stopMain = false;
    bool stopFull = false;
    bool keepTimer = false;
};
RefreshAction RefreshTick(bool mainBusy, bool mainVisible, bool fullOpen, bool fullBusy);

// Text5 on losing focus: numeric >= 1 stays, numeric below 1 becomes "1",
// anything else "3".
QString NormalizeMinutesText(const QString &text);
// Text5 as the preview timer counts it: not numeric counts as 1.
double PreviewMinutes(const QString &text);
// An address box long enough to fetch a preview for.
inline bool HasPreviewAddress(const QString &text)
{
    return text.size() >= 4;
}

// Done in the selection window: entries 1 to 4, the minutes, and the
// counter set so that the next tick changes the graphic.
struct FixedEntry
{
    QString url;
    bool display = false;
};
void ApplySelection(UrlList &list, const std::array<FixedEntry, FixedEntries> &fixed,
                    const QString &minutesText, Rotation &rotation);

// The links window: whether text may be appended to a list of count links.
enum class AddResult { Added, Blank, Full };
AddResult CanAddLink(const QString &text, int count);
// Entries 5 and up from the links, each marked; at most MaxExtraLinks.
void ApplyLinkList(UrlList &list, const QStringList &links, Rotation &rotation);

} // namespace Graphics
