#include "bench/report/night_log.h"

#include <cmath>
#include <cstdarg>
#include <cstdio>
#include <random>

#include "gantrix/report/log_time.h"

namespace {

class Writer {
public:
    explicit Writer(report::LogTime start) : start_(start) {}

    void Line(int64_t ms, const char* format, ...) __attribute__((format(printf, 3, 4))) {
        const report::Calendar c = report::CalendarFromLogTime(start_ + ms);
        char buffer[256];
        int n = std::snprintf(buffer, sizeof buffer, "%04d-%02d-%02d\t%02d:%02d:%02d.%03d\t",
                              c.year, c.month, c.day, c.hour, c.minute, c.second, c.millisecond);
        va_list args;
        va_start(args, format);
        n += std::vsnprintf(buffer + n, sizeof buffer - size_t(n), format, args);
        va_end(args);
        text_.append(buffer, size_t(n));
        text_ += "\r\n";
    }

    std::string& Text() { return text_; }

private:
    report::LogTime start_;
    std::string text_;
};

}  // namespace

std::string NightLog(int hours) {
    Writer log(report::LogTimeFromCalendar(2021, 3, 7, 20, 0, 0, 0));
    std::mt19937 random(2021);
    std::normal_distribution<double> seeing(0.0, 0.2);
    std::uniform_real_distribution<double> uniform(0.0, 1.0);
    log.Text().reserve(size_t(hours) * 3600 * 130);

    log.Line(0, "LOG START\tA1B2C3D4E5F6G7H\t0007\t2.14");
    log.Line(500, "CAM CONN\tVC5-0012A3F1\t1288x968\t12bit");
    log.Line(1000, "CAM BIN\t2");
    log.Line(2000, "CALIB RESULT\t0.9986\t-0.0523\t2.8500\t0.0523\t0.9986\t2.6000");
    log.Line(3000, "AG START\tRA+DEC\t0.70\t0.10\t0.10\t0.60\t0.15\t480.0");

    const int64_t end = int64_t(hours) * 3600000;
    const int64_t exposure = 600000, gap = 30000;
    double ra = 0, dec = 0;
    int frame = 0;
    for (int64_t start = 10000; start + exposure < end; start += exposure + gap) {
        log.Line(start, "EXPO STATE\tEXPO\t600");
        for (int64_t t = start + 200; t < start + exposure; t += 1000) {
            const bool star = uniform(random) > 0.01;
            log.Line(t, "CAM FRAME\t%d\t750\t%.2f\t%.1f", ++frame,
                     2.3 + 0.2 * std::sin(double(t) / 60000.0), star ? 90.0 : 0.0);
            if (!star) continue;
            const double mra = ra + seeing(random), mdec = dec + seeing(random);
            log.Line(t + 30, "AG DRIFT\t%.3f\t%.3f", mra, mdec);
            const double raPulse = std::fabs(mra) > 0.1 ? -0.7 * mra / 2.85 : 0.0;
            const double decPulse = std::fabs(mdec) > 0.15 ? -0.6 * mdec / 2.6 : 0.0;
            if (raPulse != 0 || decPulse != 0) {
                log.Line(t + 50, "AG OUT\t%s\t%s\t%s\t%s", raPulse < 0 ? "RA-" : "",
                         raPulse > 0 ? "RA+" : "", decPulse < 0 ? "DEC-" : "",
                         decPulse > 0 ? "DEC+" : "");
                const int64_t longest =
                    int64_t(1000 * std::fmax(std::fabs(raPulse), std::fabs(decPulse)));
                log.Line(t + 51 + longest, "AG OUT\t\t\t\t");
            }
            ra += 2.85 * raPulse + 0.01 + 0.05 * std::sin(double(t) / 76000.0);
            dec += 2.6 * decPulse + 0.004;
        }
        log.Line(start + exposure, "EXPO STATE\tIDLE\t0");
    }
    log.Line(end, "LOG STOP");
    return std::move(log.Text());
}
