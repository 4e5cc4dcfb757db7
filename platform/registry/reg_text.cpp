#include "platform/registry/reg_text.h"

#include <cstdint>
#include <cstdio>
#include <optional>

#include "platform/registry/errors.h"
#include "platform/registry/utf16.h"

namespace platform::registry {

namespace {

constexpr std::string_view kHeader = "Windows Registry Editor Version 5.00";
constexpr std::string_view kEol = "\r\n";
// Hex lists wrap once a line reaches this many columns, which keeps them under 80 as regedit's.
constexpr std::size_t kHexWrapColumn = 76;

bool isSpace(char c) {
    return c == ' ' || c == '\t';
}

std::string_view trimLeft(std::string_view s) {
    while (!s.empty() && isSpace(s.front()))
        s.remove_prefix(1);
    return s;
}

std::string_view trim(std::string_view s) {
    s = trimLeft(s);
    while (!s.empty() && isSpace(s.back()))
        s.remove_suffix(1);
    return s;
}

bool startsWithNoCase(std::string_view s, std::string_view prefix) {
    return s.size() >= prefix.size() && sameName(s.substr(0, prefix.size()), prefix);
}

int hexDigit(char c) {
    if (c >= '0' && c <= '9') return c - '0';
    if (c >= 'a' && c <= 'f') return c - 'a' + 10;
    if (c >= 'A' && c <= 'F') return c - 'A' + 10;
    return -1;
}

// Reads 1 to maxDigits hex digits from the front of s.
std::optional<std::uint32_t> takeHex(std::string_view& s, std::size_t maxDigits) {
    std::uint32_t value = 0;
    std::size_t n = 0;
    while (n < s.size() && n < maxDigits && hexDigit(s[n]) >= 0) {
        value = value * 16 + static_cast<std::uint32_t>(hexDigit(s[n]));
        ++n;
    }
    if (n == 0) return std::nullopt;
    s.remove_prefix(n);
    return value;
}

std::string utf16Bytes(std::u16string_view units) {
    std::string bytes;
    bytes.reserve(units.size() * 2);
    for (char16_t u : units) {
        bytes += static_cast<char>(u & 0xFF);
        bytes += static_cast<char>(u >> 8);
    }
    return bytes;
}

std::u16string utf16Units(std::string_view bytes) {
    std::u16string units;
    units.reserve(bytes.size() / 2);
    for (std::size_t i = 0; i + 1 < bytes.size(); i += 2) {
        units += static_cast<char16_t>(static_cast<unsigned char>(bytes[i]) |
                                       static_cast<unsigned char>(bytes[i + 1]) << 8);
    }
    return units;
}

class Parser {
public:
    explicit Parser(std::string_view text) : text_(text) {}

    bool parse(Hive& hive) {
        std::string_view line;
        bool header = false;
        while (nextLine(line)) {
            line = trim(line);
            if (line.empty() || line.front() == ';') continue;
            if (!header) {
                if (line != kHeader) return false;
                header = true;
            } else if (line.front() == '[') {
                if (!parseSection(line, hive)) return false;
            } else if (!parseValue(line, hive)) {
                return false;
            }
        }
        return true;
    }

    std::size_t lineNumber() const { return line_; }

private:
    bool nextLine(std::string_view& line) {
        if (pos_ >= text_.size()) return false;
        std::size_t end = text_.find('\n', pos_);
        if (end == std::string_view::npos) end = text_.size();
        line = text_.substr(pos_, end - pos_);
        if (!line.empty() && line.back() == '\r') line.remove_suffix(1);
        pos_ = end + 1;
        ++line_;
        return true;
    }

    bool parseSection(std::string_view line, Hive& hive) {
        if (line.size() < 3 || line.back() != ']') return false;
        std::string_view path = line.substr(1, line.size() - 2);
        const bool remove = path.front() == '-';
        if (remove) path.remove_prefix(1);
        if (!validPath(path)) return false;
        if (remove) {
            hive.removeTree(path);
            current_ = kNoSection;
        } else {
            HiveKey& key = hive.addKey(path);
            current_ = static_cast<std::size_t>(&key - hive.keys.data());
        }
        return true;
    }

    static bool validPath(std::string_view path) {
        if (path.empty() || path.front() == '\\' || path.back() == '\\') return false;
        return path.find("\\\\") == std::string_view::npos;
    }

    bool parseValue(std::string_view line, Hive& hive) {
        if (current_ == kNoSection) return false;
        HiveKey& key = hive.keys[current_];
        std::string name;
        if (line.front() == '@') {
            line.remove_prefix(1);
        } else if (!takeQuoted(line, name)) {
            return false;
        }
        line = trimLeft(line);
        if (line.empty() || line.front() != '=') return false;
        line = trim(line.substr(1));

        if (line == "-") {
            std::erase_if(key.values, [&](const HiveValue& v) { return sameName(v.name, name); });
            return true;
        }
        HiveValue value{std::move(name), REG_NONE, {}};
        if (!parseData(line, value)) return false;
        if (HiveValue* existing = key.findValue(value.name)) {
            existing->type = value.type;
            existing->data = std::move(value.data);
        } else {
            key.values.push_back(std::move(value));
        }
        return true;
    }

    bool parseData(std::string_view s, HiveValue& value) {
        if (!s.empty() && s.front() == '"') {
            value.type = REG_SZ;
            if (!takeQuoted(s, value.data) || !trim(s).empty()) return false;
            value.data += '\0';
            return true;
        }
        if (startsWithNoCase(s, "dword:")) {
            s.remove_prefix(6);
            const auto dword = takeHex(s, 8);
            if (!dword || !s.empty()) return false;
            value.type = REG_DWORD;
            for (int shift = 0; shift < 32; shift += 8) {
                value.data += static_cast<char>((*dword >> shift) & 0xFF);
            }
            return true;
        }
        if (!startsWithNoCase(s, "hex")) return false;
        s.remove_prefix(3);
        value.type = REG_BINARY;
        if (!s.empty() && s.front() == '(') {
            s.remove_prefix(1);
            const auto type = takeHex(s, 8);
            if (!type || s.empty() || s.front() != ')') return false;
            s.remove_prefix(1);
            value.type = *type;
        }
        if (s.empty() || s.front() != ':') return false;
        s.remove_prefix(1);
        if (!parseHexList(s, value.data)) return false;
        if (value.type == REG_SZ) {
            if (value.data.size() % 2 != 0) return false;
            value.data = fromUtf16(utf16Units(value.data));
        }
        return true;
    }

    // Comma-separated bytes; a "\" after a comma continues the list on the next line.
    bool parseHexList(std::string_view s, std::string& bytes) {
        s = trim(s);
        if (s.empty()) return true;
        for (;;) {
            if (s == "\\") {
                if (!nextLine(s)) return false;
                s = trim(s);
            }
            const auto byte = takeHex(s, 2);
            if (!byte) return false;
            bytes += static_cast<char>(*byte);
            s = trimLeft(s);
            if (s.empty()) return true;
            if (s.front() != ',') return false;
            s = trimLeft(s.substr(1));
        }
    }

    // A quoted string at the front of s, with \\ and \" unescaped; s is left after the quote.
    static bool takeQuoted(std::string_view& s, std::string& out) {
        if (s.empty() || s.front() != '"') return false;
        for (std::size_t i = 1; i < s.size(); ++i) {
            if (s[i] == '"') {
                s.remove_prefix(i + 1);
                return true;
            }
            if (s[i] == '\\') {
                if (++i == s.size() || (s[i] != '\\' && s[i] != '"')) return false;
            }
            out += s[i];
        }
        return false;
    }

    std::string_view text_;
    std::size_t pos_ = 0;
    std::size_t line_ = 0;
    // Index of the section that value lines belong to; none before the first and after [-Key].
    static constexpr std::size_t kNoSection = SIZE_MAX;
    std::size_t current_ = kNoSection;
};

std::string quoted(std::string_view s) {
    std::string out = "\"";
    for (char c : s) {
        if (c == '\\' || c == '"') out += '\\';
        out += c;
    }
    return out + '"';
}

// Text a quoted string carries in a file that regedit reads as it is: printable ASCII ended
// by exactly one NUL.
bool fitsQuoted(std::string_view data) {
    if (data.empty() || data.back() != '\0') return false;
    data.remove_suffix(1);
    for (unsigned char c : data) {
        if (c < 0x20 || c > 0x7E) return false;
    }
    return true;
}

void appendHexList(std::string& out, std::string_view bytes) {
    static constexpr char kDigits[] = "0123456789abcdef";
    std::size_t column = out.size() - out.rfind('\n') - 1;
    for (std::size_t i = 0; i < bytes.size(); ++i) {
        const auto b = static_cast<unsigned char>(bytes[i]);
        out += kDigits[b >> 4];
        out += kDigits[b & 0x0F];
        column += 2;
        if (i + 1 == bytes.size()) break;
        out += ',';
        if (++column >= kHexWrapColumn) {
            out += "\\";
            out += kEol;
            out += "  ";
            column = 2;
        }
    }
}

void appendValue(std::string& out, const HiveValue& v) {
    out += v.name.empty() ? std::string("@") : quoted(v.name);
    out += '=';
    if (v.type == REG_SZ && fitsQuoted(v.data)) {
        out += quoted(std::string_view(v.data).substr(0, v.data.size() - 1));
    } else if (v.type == REG_DWORD && v.data.size() == 4) {
        std::uint32_t dword = 0;
        for (int i = 3; i >= 0; --i)
            dword = dword << 8 | static_cast<unsigned char>(v.data[i]);
        char text[16];
        std::snprintf(text, sizeof text, "dword:%08x", dword);
        out += text;
    } else if (v.type == REG_BINARY) {
        out += "hex:";
        appendHexList(out, v.data);
    } else {
        char text[24];
        std::snprintf(text, sizeof text, "hex(%x):", v.type);
        out += text;
        appendHexList(out, v.type == REG_SZ ? utf16Bytes(toUtf16(v.data)) : v.data);
    }
    out += kEol;
}

}  // namespace

bool parseHive(std::string_view file, Hive& hive, std::size_t* badLine) {
    std::string decoded;
    if (file.starts_with("\xEF\xBB\xBF")) {
        file.remove_prefix(3);
    } else if (file.starts_with("\xFF\xFE")) {
        file.remove_prefix(2);
        if (file.size() % 2 != 0) {
            if (badLine) *badLine = 0;
            return false;
        }
        decoded = fromUtf16(utf16Units(file));
        file = decoded;
    }
    Hive parsed;
    Parser parser(file);
    if (!parser.parse(parsed)) {
        if (badLine) *badLine = parser.lineNumber();
        return false;
    }
    hive = std::move(parsed);
    return true;
}

std::string formatHive(const Hive& hive) {
    std::string out(kHeader);
    out += kEol;
    for (const HiveKey& key : hive.keys) {
        out += kEol;
        out += '[';
        out += key.path;
        out += ']';
        out += kEol;
        for (const HiveValue& v : key.values)
            appendValue(out, v);
    }
    out += kEol;
    return out;
}

}  // namespace platform::registry
