#pragma once

#include <chrono>
#include <cstdint>
#include <cstdio>
#include <string>

namespace cli {

// A one-line progress bar on a terminal: label, bar, per cent, amount and rate, redrawn at
// most ten times a second and cleared when done. On anything but a terminal it stays silent,
// so that scripts and logs see only the tools' messages.
//
//   cli::Progress bar("get LOG_0001.TXT", size, cli::Progress::Unit::Bytes);
//   bar.Update(done);   // as the work goes on
//   bar.Finish();       // or let it go out of scope
class Progress {
public:
    enum class Unit { Bytes, Items };

    // `to` is standard error by default; `force` draws even when it is no terminal (tests).
    Progress(std::string label, uint64_t total, Unit unit = Unit::Bytes, FILE* to = stderr,
             bool force = false);
    ~Progress();
    Progress(const Progress&) = delete;
    Progress& operator=(const Progress&) = delete;

    bool active() const { return active_; }
    void SetLabel(std::string label);
    void SetTotal(uint64_t total);
    void Update(uint64_t done);
    // Clears the line (the work's own messages follow on a clean line).
    void Finish();

    // The line as drawn for `width` columns (without the carriage return).
    std::string Render(uint64_t done, double bytesPerSecond, int width) const;
    // "12.3 MB", "512 B".
    static std::string Amount(uint64_t bytes);

private:
    void Draw(bool force);

    std::string label_;
    uint64_t total_;
    uint64_t done_ = 0;
    Unit unit_;
    FILE* to_;
    bool active_;
    bool drawn_ = false;
    std::chrono::steady_clock::time_point start_, lastDraw_;
};

}  // namespace cli
