#include "tools/cli/terminal_text.h"

#include <unistd.h>

namespace cli {

namespace {

void AppendOctal(std::string& out, unsigned char byte) {
    out += '\\';
    out += static_cast<char>('0' + (byte >> 6));
    out += static_cast<char>('0' + ((byte >> 3) & 7));
    out += static_cast<char>('0' + (byte & 7));
}

void AppendEscaped(std::string& out, unsigned char byte) {
    static constexpr std::string_view kLetters = "abtnvfr";  // 7 to 13
    if (byte >= 7 && byte <= 13) {
        out += '\\';
        out += kLetters[byte - 7];
    } else {
        AppendOctal(out, byte);
    }
}

// The length of the UTF-8 character at text[i], 0 when the bytes there form none.
size_t CharacterLength(std::string_view text, size_t i) {
    const auto lead = static_cast<unsigned char>(text[i]);
    size_t length = lead < 0x80                    ? 1
                    : lead >= 0xC2 && lead <= 0xDF ? 2
                    : (lead & 0xF0) == 0xE0        ? 3
                    : lead >= 0xF0 && lead <= 0xF4 ? 4
                                                   : 0;
    if (length == 0 || i + length > text.size()) return 0;
    for (size_t k = 1; k < length; ++k)
        if ((static_cast<unsigned char>(text[i + k]) & 0xC0) != 0x80) return 0;
    const auto second = static_cast<unsigned char>(text[i + 1]);
    // Overlong forms, UTF-16 surrogates and code points beyond U+10FFFF are no characters.
    if (lead == 0xE0 && second < 0xA0) return 0;
    if (lead == 0xED && second >= 0xA0) return 0;
    if (lead == 0xF0 && second < 0x90) return 0;
    if (lead == 0xF4 && second >= 0x90) return 0;
    return length;
}

}  // namespace

std::string EscapeControls(std::string_view text, std::string_view keep) {
    std::string out;
    out.reserve(text.size());
    for (size_t i = 0; i < text.size();) {
        const auto byte = static_cast<unsigned char>(text[i]);
        if (keep.find(text[i]) != std::string_view::npos) {
            out += text[i++];
            continue;
        }
        const size_t length = CharacterLength(text, i);
        const bool c1 =
            length == 2 && byte == 0xC2 && static_cast<unsigned char>(text[i + 1]) < 0xA0;
        if (length == 0) {
            AppendOctal(out, byte);
            ++i;
        } else if (byte < 0x20 || byte == 0x7F) {
            AppendEscaped(out, byte);
            ++i;
        } else if (c1) {
            AppendOctal(out, byte);
            AppendOctal(out, static_cast<unsigned char>(text[i + 1]));
            i += 2;
        } else {
            out.append(text.substr(i, length));
            i += length;
        }
    }
    return out;
}

std::string ForTerminal(FILE* to, std::string_view text, std::string_view keep) {
    if (!::isatty(::fileno(to))) return std::string(text);
    return EscapeControls(text, keep);
}

}  // namespace cli
