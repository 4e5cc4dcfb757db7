#pragma once

// Between the suite's 8-bit texts (UTF-8, "\r\n" line breaks as the system writes them) and
// the strings of the Qt widgets.

#include <QString>
#include <string>
#include <string_view>

// The text for a widget or message box: "\r\n" becomes a line break.
QString UiText(std::string_view text);
// A widget's text as the registry and the VT5 API take it.
std::string ApiText(const QString& text);
