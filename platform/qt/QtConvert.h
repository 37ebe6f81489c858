#pragma once

#include <QFont>
#include <QRect>
#include <QString>

#include <string>
#include <string_view>

// The program's units and texts as the Qt layers of the window and the dialogs hand them to
// Qt: lengths in twips, fonts in points by their designed family, texts as ISO-8859-1 bytes.
namespace horalux {

namespace twips {

// Twips per pixel at 96 dots per inch.
inline constexpr double kPerPixel = 15.0;

// A length in twips as whole pixels.
int px(double twips);
// A rectangle given in twips, in pixels.
QRect rect(int left, int top, int width, int height);
// A length in whole pixels as twips.
int fromPixels(int pixels);

}  // namespace twips

// A font of the designed family and size, in points. "MS Sans Serif" has no stand-in of its
// own here; the one for Arial is the closest in width, so captions fit as designed.
QFont designFont(const char* family, double points, bool bold = false);
// The dialogs' default font, "MS Sans Serif" 8.25 point.
QFont dialogFont();

// ISO-8859-1 bytes as text, one character a byte.
QString fromBytes(std::string_view text);
// Text as ISO-8859-1 bytes; a character outside that code page becomes '?'.
std::string toBytes(const QString& text);

}  // namespace horalux
