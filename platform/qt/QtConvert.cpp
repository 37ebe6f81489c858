#include "platform/qt/QtConvert.h"

namespace horalux {

namespace twips {

int px(double twips) {
    return qRound(twips / kPerPixel);
}

QRect rect(int left, int top, int width, int height) {
    return {px(left), px(top), px(width), px(height)};
}

int fromPixels(int pixels) {
    return qRound(pixels * kPerPixel);
}

}  // namespace twips

QFont designFont(const char* family, double points, bool bold) {
    QFont::insertSubstitution("MS Sans Serif", "Liberation Sans");
    QFont font{QString::fromLatin1(family)};
    font.setPointSizeF(points);
    font.setBold(bold);
    return font;
}

QFont dialogFont() {
    QFont::insertSubstitution("MS Sans Serif", "Liberation Sans");
    QFont font{QStringLiteral("MS Sans Serif")};
    font.setPointSizeF(8.25);
    return font;
}

QString fromBytes(std::string_view text) {
    return QString::fromLatin1(text.data(), static_cast<qsizetype>(text.size()));
}

std::string toBytes(const QString& text) {
    return text.toLatin1().toStdString();
}

}  // namespace horalux
