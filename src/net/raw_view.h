#pragma once

#include <QString>
#include <QStringView>

// Text rules of the maintainer's raw receive view.
namespace RawView {

// The view keeps only this many of its latest characters.
inline constexpr qsizetype KeptCharacters = 1'000'000;
// What follows every arrival, and every "^" when the view is parsed.
inline constexpr QStringView Separator = u"\r\n\r\n";

} // namespace RawView

// Two line breaks after every "^", so each message stands on its own line.
QString ParseRawView(QStringView text);
