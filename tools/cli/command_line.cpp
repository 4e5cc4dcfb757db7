#include "tools/cli/command_line.h"

#include <cerrno>
#include <cmath>
#include <cstdlib>

#include "tools/cli/terminal_text.h"

namespace cli {

namespace {

const std::vector<std::string> kNoValues;

}  // namespace

bool ParseServerAddress(std::string_view text, HcTarget& target, std::string& error) {
    std::string host(text);
    std::string port;
    if (!host.empty() && host.front() == '[') {
        auto close = host.find(']');
        if (close == std::string::npos) {
            error = "missing ] in " + std::string(text);
            return false;
        }
        if (close + 1 < host.size()) {
            if (host[close + 1] != ':') {
                error = "bad server address " + std::string(text);
                return false;
            }
            port = host.substr(close + 2);
        }
        host = host.substr(1, close - 1);
    } else if (auto colon = host.rfind(':');
               colon != std::string::npos && host.find(':') == colon) {
        port = host.substr(colon + 1);
        host.resize(colon);
    }
    if (host.empty()) {
        error = "no host in server address " + std::string(text);
        return false;
    }
    target.host = host;
    target.port = 0;
    if (!port.empty() || (text.size() && text.back() == ':')) {
        char* end = nullptr;
        errno = 0;
        long p = std::strtol(port.c_str(), &end, 10);
        if (port.empty() || *end || errno || p < 1 || p > 65535) {
            error = "bad port in server address " + std::string(text);
            return false;
        }
        target.port = static_cast<int32_t>(p);
    }
    return true;
}

CommandLine::CommandLine(std::string program, std::string synopsis, std::string description,
                         std::vector<OptionSpec> options, bool connectsToHc)
    : program_(std::move(program)),
      synopsis_(std::move(synopsis)),
      description_(std::move(description)),
      options_(std::move(options)),
      connects_(connectsToHc) {
    if (connects_) {
        options_.push_back({"--serial", "", "S",
                            "the HC with this USB serial (default: the first "
                            "free one)"});
        options_.push_back({"--server", "", "HOST[:PORT]",
                            "the HC that an API server shares (port 5937 unless given)"});
    }
    options_.push_back({"--help", "-h", "", "show this help and exit"});
    options_.push_back({"--version", "", "", "show the suite's version and exit"});
}

const OptionSpec* CommandLine::Find(std::string_view name) const {
    for (const OptionSpec& o : options_)
        if (o.name == name || (!o.shortName.empty() && o.shortName == name)) return &o;
    return nullptr;
}

std::optional<int> CommandLine::Parse(int argc, const char* const* argv) {
    values_.clear();
    positional_.clear();
    target_ = {};
    bool optionsEnded = false;
    for (int i = 1; i < argc; ++i) {
        std::string arg = argv[i];
        if (optionsEnded || arg.size() < 2 || arg[0] != '-') {
            positional_.push_back(arg);
            continue;
        }
        if (arg == "--") {
            optionsEnded = true;
            continue;
        }
        std::string name = arg;
        std::optional<std::string> inlineValue;
        if (auto eq = arg.find('='); arg.rfind("--", 0) == 0 && eq != std::string::npos) {
            name = arg.substr(0, eq);
            inlineValue = arg.substr(eq + 1);
        }
        const OptionSpec* spec = Find(name);
        if (!spec) return UsageError("unknown option " + name);
        if (spec->name == "--help") {
            PrintUsage(stdout);
            return 0;
        }
        if (spec->name == "--version") {
            std::printf("%s (Veltra-5 PC suite) %s\n", program_.c_str(), VT5_VERSION);
            return 0;
        }
        std::string value;
        if (!spec->valueName.empty()) {
            if (inlineValue) {
                value = *inlineValue;
            } else if (i + 1 < argc) {
                value = argv[++i];
            } else {
                return UsageError(spec->name + " needs a value (" + spec->valueName + ")");
            }
        } else if (inlineValue) {
            return UsageError(spec->name + " takes no value");
        }
        auto& list = values_[spec->name];
        if (!list.empty() && !spec->repeatable && spec->valueName.empty())
            continue;  // a switch given twice
        if (!spec->repeatable) list.clear();
        list.push_back(value);
    }
    if (connects_) {
        if (Has("--serial") && Has("--server"))
            return UsageError("--serial and --server exclude each other");
        target_.serial = Value("--serial");
        if (Has("--serial") && (target_.serial.empty() || target_.serial.size() > 8))
            return UsageError("a serial has 1 to 8 characters");
        if (Has("--server")) {
            std::string error;
            if (!ParseServerAddress(Value("--server"), target_, error)) return UsageError(error);
        }
    }
    return std::nullopt;
}

bool CommandLine::Has(std::string_view name) const {
    return values_.find(name) != values_.end();
}

std::string CommandLine::Value(std::string_view name, std::string fallback) const {
    auto it = values_.find(name);
    return it == values_.end() || it->second.empty() ? fallback : it->second.back();
}

const std::vector<std::string>& CommandLine::Values(std::string_view name) const {
    auto it = values_.find(name);
    return it == values_.end() ? kNoValues : it->second;
}

std::optional<long long> CommandLine::Number(std::string_view name, long long min, long long max,
                                             long long fallback) const {
    if (!Has(name)) return fallback;
    std::string text = Value(name);
    char* end = nullptr;
    errno = 0;
    long long v = std::strtoll(text.c_str(), &end, 0);
    if (text.empty() || *end || errno || v < min || v > max) {
        Fail("bad " + std::string(name) + " " + text + " (" + std::to_string(min) + " to " +
             std::to_string(max) + ")");
        return std::nullopt;
    }
    return v;
}

std::optional<double> CommandLine::Real(std::string_view name, double min, double max,
                                        double fallback) const {
    if (!Has(name)) return fallback;
    std::string text = Value(name);
    char* end = nullptr;
    errno = 0;
    double v = std::strtod(text.c_str(), &end);
    if (text.empty() || *end || errno || !std::isfinite(v) || v < min || v > max) {
        char range[96];
        std::snprintf(range, sizeof range, " (%g to %g)", min, max);
        Fail("bad " + std::string(name) + " " + text + range);
        return std::nullopt;
    }
    return v;
}

void CommandLine::PrintUsage(FILE* to) const {
    // The GNU layout, which help2man turns into the manual pages.
    std::fprintf(to, "Usage: %s %s\n\n%s", program_.c_str(), synopsis_.c_str(),
                 description_.c_str());
    if (!description_.empty() && description_.back() != '\n') std::fputc('\n', to);
    std::fprintf(to, "\nOptions:\n");
    for (const OptionSpec& o : options_) {
        std::string left = o.shortName.empty() ? o.name : o.shortName + ", " + o.name;
        if (!o.valueName.empty()) left += " " + o.valueName;
        if (left.size() <= 24) {
            std::fprintf(to, "  %-24s  %s\n", left.c_str(), o.help.c_str());
        } else {
            std::fprintf(to, "  %s\n  %-24s  %s\n", left.c_str(), "", o.help.c_str());
        }
    }
    std::fflush(to);
}

int CommandLine::Fail(const std::string& text, int status) const {
    // Messages name what a device or a user gave: harmless on a terminal only when escaped.
    std::fprintf(stderr, "%s: %s\n", program_.c_str(), ForTerminal(stderr, text, "\n").c_str());
    std::fflush(stderr);
    return status;
}

int CommandLine::UsageError(const std::string& text) const {
    std::fprintf(stderr, "%s: %s\nTry '%s --help' for more information.\n", program_.c_str(),
                 ForTerminal(stderr, text, "\n").c_str(), program_.c_str());
    std::fflush(stderr);
    return 2;
}

}  // namespace cli
