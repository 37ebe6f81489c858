#pragma once

#include <QFont>
#include <QRect>
#include <QString>

#include <string>

namespace horalux::twips {

// Twips per pixel at 96 dots per inch.
inline constexpr double kPerPixel = 15.0;

// A length in twips as whole pixels.
inline int px(double twips) {
    return qRound(twips / kPerPixel);
}

// A rectangle given in twips, in pixels.
inline QRect rect(int left, int top, int width, int height) {
    return {px(left), px(top), px(width), px(height)};
}

// The dialogs' default font, "MS Sans Serif" 8.25 point. It has no stand-in of its own here;
// the one for Arial is the closest in width.
inline QFont dialogFont() {
    QFont::insertSubstitution("MS Sans Serif", "Liberation Sans");
    QFont font{QStringLiteral("MS Sans Serif")};
    font.setPointSizeF(8.25);
    return font;
}

inline QString fromBytes(const std::string& text) {
    return QString::fromLatin1(text.data(), static_cast<qsizetype>(text.size()));
}

}  // namespace horalux::twips
