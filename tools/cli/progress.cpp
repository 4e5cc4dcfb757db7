#include "tools/cli/progress.h"

#include <sys/ioctl.h>
#include <unistd.h>

#include <algorithm>

namespace cli {

namespace {

constexpr auto kRedrawEvery = std::chrono::milliseconds(100);

int TerminalWidth(FILE* to) {
    winsize size{};
    if (::ioctl(::fileno(to), TIOCGWINSZ, &size) == 0 && size.ws_col >= 20) return size.ws_col;
    return 80;
}

}  // namespace

Progress::Progress(std::string label, uint64_t total, Unit unit, FILE* to, bool force)
    : label_(std::move(label)),
      total_(total),
      unit_(unit),
      to_(to),
      active_(force || ::isatty(::fileno(to))),
      start_(std::chrono::steady_clock::now()) {
    if (active_) Draw(true);
}

Progress::~Progress() {
    Finish();
}

void Progress::SetLabel(std::string label) {
    label_ = std::move(label);
    if (active_) Draw(true);
}

void Progress::SetTotal(uint64_t total) {
    total_ = total;
}

void Progress::Update(uint64_t done) {
    done_ = done;
    if (active_) Draw(done_ >= total_);
}

void Progress::Finish() {
    if (!active_ || !drawn_) return;
    std::fprintf(to_, "\r%*s\r", TerminalWidth(to_) - 1, "");
    std::fflush(to_);
    drawn_ = false;
}

void Progress::Draw(bool force) {
    auto now = std::chrono::steady_clock::now();
    if (!force && drawn_ && now - lastDraw_ < kRedrawEvery) return;
    lastDraw_ = now;
    double seconds = std::chrono::duration<double>(now - start_).count();
    double rate = seconds > 0.2 ? static_cast<double>(done_) / seconds : 0.0;
    std::string line = Render(done_, rate, TerminalWidth(to_) - 1);
    std::fprintf(to_, "\r%s", line.c_str());
    std::fflush(to_);
    drawn_ = true;
}

std::string Progress::Amount(uint64_t bytes) {
    char text[32];
    if (bytes < 1000)
        std::snprintf(text, sizeof text, "%llu B", static_cast<unsigned long long>(bytes));
    else if (bytes < 1000 * 1000)
        std::snprintf(text, sizeof text, "%.1f kB", static_cast<double>(bytes) / 1e3);
    else if (bytes < 1000ull * 1000 * 1000)
        std::snprintf(text, sizeof text, "%.1f MB", static_cast<double>(bytes) / 1e6);
    else
        std::snprintf(text, sizeof text, "%.2f GB", static_cast<double>(bytes) / 1e9);
    return text;
}

std::string Progress::Render(uint64_t done, double bytesPerSecond, int width) const {
    uint64_t shown = std::min(done, total_);
    int percent = total_ ? static_cast<int>(shown * 100 / total_) : 100;
    std::string right;
    char text[96];
    if (unit_ == Unit::Bytes) {
        right = Amount(shown) + " / " + Amount(total_);
        if (bytesPerSecond > 0)
            right += "  " + Amount(static_cast<uint64_t>(bytesPerSecond)) + "/s";
    } else {
        std::snprintf(text, sizeof text, "%llu / %llu", static_cast<unsigned long long>(shown),
                      static_cast<unsigned long long>(total_));
        right = text;
    }
    std::snprintf(text, sizeof text, " %3d%%  ", percent);
    right = text + right;
    // label [#####.....] 45%  amount: the bar takes what the texts leave, the label is cut first.
    int room = width - static_cast<int>(right.size());
    std::string label = label_;
    int barWidth = std::clamp(room - static_cast<int>(label.size()) - 3, 10, 40);
    int labelRoom = std::max(0, room - barWidth - 3);
    if (static_cast<int>(label.size()) > labelRoom)
        label = labelRoom > 3 ? label.substr(0, static_cast<size_t>(labelRoom - 3)) + "..." : "";
    int filled =
        total_ ? static_cast<int>(shown * static_cast<uint64_t>(barWidth) / total_) : barWidth;
    std::string line = label + (label.empty() ? "[" : " [") + std::string(filled, '#') +
                       std::string(barWidth - filled, '.') + "]" + right;
    if (static_cast<int>(line.size()) > width) line.resize(static_cast<size_t>(std::max(width, 0)));
    return line;
}

}  // namespace cli
