// Conversions between the control model's plain values and Qt's: message
// texts keep their "\r", "\n" and "\r\n" breaks in the model and show as line
// breaks on screen; colours are 0xRRGGBB.
#pragma once

#include <QColor>
#include <QString>

#include <cstdint>
#include <string>
#include <string_view>

namespace lumvex::qt {

// Each of "\r\n", "\n\r", "\r" and "\n" becomes one line break.
QString toDisplay(std::string_view text);
QString toQString(std::string_view text);
std::string toStd(const QString& text);
QColor toQColor(uint32_t rgb);

}  // namespace lumvex::qt
