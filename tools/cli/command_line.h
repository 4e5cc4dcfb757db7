#pragma once

// The one command-line form of the suite's tools: options and positional arguments in any
// order, "--name value" or "--name=value", "--" ending the options, --help, and the choice of
// HC (--serial S or --server HOST[:PORT]; else the first free HC).

#include <cstdint>
#include <cstdio>
#include <map>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

namespace cli {

struct OptionSpec {
    std::string name;       // "--seconds"
    std::string shortName;  // "-o", or empty
    std::string valueName;  // "N" when the option takes a value; empty for a switch
    std::string help;
    bool repeatable = false;
};

// Which HC a tool works on.
struct HcTarget {
    std::string serial;  // --serial; empty: the first free HC
    std::string host;    // --server; empty: directly over USB
    int32_t port = 0;    // 0: the default port
    bool viaServer() const { return !host.empty(); }
};

// "HOST", "HOST:PORT" or "[V6ADDR]:PORT"; false with a reason for a bad port or empty host.
bool ParseServerAddress(std::string_view text, HcTarget& target, std::string& error);

class CommandLine {
public:
    // `synopsis` follows "Usage: <program> " on the first line; `description` is the text
    // after it (lines end in '\n'). With connectsToHc, --serial and --server are known too.
    CommandLine(std::string program, std::string synopsis, std::string description,
                std::vector<OptionSpec> options, bool connectsToHc);

    // Parses the arguments (argv[0] is skipped). Returns the exit status when the program is
    // to end now: 0 after --help (usage on standard output), 2 for a bad command line (the
    // reason and a hint on standard error). Returns nothing when the program goes on.
    std::optional<int> Parse(int argc, const char* const* argv);

    const std::string& program() const { return program_; }
    bool Has(std::string_view name) const;
    // The (last) value of an option, or `fallback`.
    std::string Value(std::string_view name, std::string fallback = {}) const;
    const std::vector<std::string>& Values(std::string_view name) const;
    // The value as a whole number in [min, max]; an absent option gives `fallback`. A bad
    // value is reported on standard error and gives nothing.
    std::optional<long long> Number(std::string_view name, long long min, long long max,
                                    long long fallback) const;
    std::optional<double> Real(std::string_view name, double min, double max,
                               double fallback) const;
    const std::vector<std::string>& Positional() const { return positional_; }
    const HcTarget& target() const { return target_; }

    void PrintUsage(FILE* to) const;
    // "<program>: <text>" on standard error; returns `status` for `return Fail(...)`.
    int Fail(const std::string& text, int status = 1) const;
    // A bad command line: the reason, a hint at --help, status 2.
    int UsageError(const std::string& text) const;

private:
    const OptionSpec* Find(std::string_view name) const;

    std::string program_, synopsis_, description_;
    std::vector<OptionSpec> options_;
    bool connects_;
    std::map<std::string, std::vector<std::string>, std::less<>> values_;
    std::vector<std::string> positional_;
    HcTarget target_;
};

}  // namespace cli
