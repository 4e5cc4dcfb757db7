#pragma once

#include <algorithm>
#include <cmath>
#include <cstdio>
#include <numbers>
#include <random>
#include <string>
#include <utility>
#include <vector>

#include "gantrix/report/exposure_statistics.h"
#include "gantrix/report/log_time.h"

namespace report::testing {

// A guiding log of a mount with a known error under a modelled guider: the mount's RA error is
// a sum of two sines plus a steady drift, its DEC error a steady drift; the star is measured
// every frame with seeing added, and the guider answers each measurement with pulses of a
// fixed fraction of the error through the calibrated rates. Guiding goes on between the
// exposures (those frames are not recorded), and the guider can be stopped for a while.
struct GuidedNight {
    double periodS[2] = {480, 137};
    double amplitudeArcsec[2] = {4.0, 1.5};
    double raDriftPerMin = 0.3;   // arcseconds per minute
    double decDriftPerMin = 0.8;  // of the mount; the guider's net correction is its negative
    double hours = 2;
    double exposureS = 300;
    double gapS = 8;
    double frameS = 2;
    double seeingArcsec = 0.25;
    double raRate = 2, decRate = 2;  // pixels per second of signal; DEC rate 0: not calibrated
    std::vector<std::pair<double, double>> agStopped;  // seconds after the start, [from, to)
    int starlessExposure = -1;                         // this exposure (0-based) sees no star
    unsigned seed = 7;

    static constexpr float kFocalLength = 500;
    static constexpr int kBinning = 2;

    double Scale() const { return PixelScale(kFocalLength, kBinning); }

    double RaError(double t) const {
        double e = raDriftPerMin * t / 60;
        for (int i = 0; i < 2; ++i)
            e += amplitudeArcsec[i] * std::sin(2 * std::numbers::pi * t / periodS[i] + 0.7 * i);
        return e;
    }
    double DecError(double t) const { return decDriftPerMin * t / 60; }

    bool Stopped(double t) const {
        return std::any_of(agStopped.begin(), agStopped.end(),
                           [t](const auto& s) { return t >= s.first && t < s.second; });
    }

    std::string Log() const {
        std::vector<std::pair<int64_t, std::string>> lines;
        const auto add = [&](double s, std::string text) {
            lines.emplace_back(int64_t(std::llround(s * 1000)), std::move(text));
        };
        char calibration[128];
        std::snprintf(calibration, sizeof calibration, "CALIB RESULT\t1\t0\t%.4f\t0\t1\t%.4f",
                      raRate, decRate);
        const std::string agStart = "AG START\tRA+DEC\t0.70\t0.10\t0.15\t0.60\t0.20\t500.0";
        add(0, "LOG START\tA1B2C3D4E5F6G7H\t0007\t2.14");
        add(0.01, "CAM CONN\tVC5-0012A3F1\t1288x968\t12bit");
        add(0.02, "CAM BIN\t2");
        add(0.03, calibration);
        add(0.04, agStart);

        const double end = hours * 3600;
        const double first = 60;
        std::vector<std::pair<double, double>> exposures;
        for (double s = first; s + exposureS < end; s += exposureS + gapS)
            exposures.emplace_back(s, s + exposureS);
        for (const auto& [from, to] : exposures) {
            add(from, "EXPO STATE\tEXPO\t300");
            add(to, "EXPO STATE\tIDLE\t0");
        }
        for (const auto& [from, to] : agStopped) {
            add(from - 0.5, "AG STOP");
            add(to - 0.5, agStart);
        }

        std::mt19937 random(seed);
        std::normal_distribution<double> seeing(0.0, seeingArcsec);
        const double scale = Scale();
        double raMoved = 0, decMoved = 0;  // pixels the corrections moved the star
        bool wasStopped = false;
        char text[160];
        for (double t = first + 0.1; t < end; t += frameS) {
            const bool stopped = Stopped(t);
            if (wasStopped && !stopped) {
                // The guider locks on where the star is now.
                raMoved = -RaError(t) / scale;
                decMoved = -DecError(t) / scale;
            }
            wasStopped = stopped;
            bool star = true;
            if (starlessExposure >= 0 && size_t(starlessExposure) < exposures.size()) {
                const auto& [from, to] = exposures[size_t(starlessExposure)];
                star = !(t >= from && t < to);
            }
            std::snprintf(text, sizeof text, "CAM FRAME\t1\t1500\t%.2f\t%s",
                          2.4 + 0.3 * std::sin(t / 1800), star ? "80" : "0");
            add(t, text);
            if (stopped || !star) continue;
            const double ra = (RaError(t) + seeing(random)) / scale + raMoved;
            const double dec = (DecError(t) + seeing(random)) / scale + decMoved;
            std::snprintf(text, sizeof text, "AG DRIFT\t%.4f\t%.4f", ra, dec);
            add(t + 0.01, text);
            const int64_t raMs = PulseMs(-0.7 * ra / raRate);
            const int64_t decMs = decRate > 0 ? PulseMs(-0.6 * dec / decRate) : 0;
            raMoved += raRate * double(raMs) / 1000;
            decMoved += decRate * double(decMs) / 1000;
            const double on = t + 0.05;
            add(on, Outputs(raMs, decMs));
            const int64_t shorter = std::min(std::abs(raMs), std::abs(decMs));
            const int64_t longer = std::max(std::abs(raMs), std::abs(decMs));
            if (shorter > 0 && shorter < longer) {
                add(on + double(shorter) / 1000, Outputs(std::abs(raMs) > shorter ? raMs : 0,
                                                         std::abs(decMs) > shorter ? decMs : 0));
            }
            if (longer > 0) add(on + double(longer) / 1000, "AG OUT\t\t\t\t");
        }
        add(end, "LOG STOP");
        std::stable_sort(lines.begin(), lines.end(),
                         [](const auto& a, const auto& b) { return a.first < b.first; });

        const LogTime start = LogTimeFromCalendar(2021, 3, 7, 20, 0, 0, 0);
        std::string log;
        for (const auto& [ms, line] : lines) {
            const Calendar c = CalendarFromLogTime(start + ms);
            std::snprintf(text, sizeof text, "%04d-%02d-%02d\t%02d:%02d:%02d.%03d\t", c.year,
                          c.month, c.day, c.hour, c.minute, c.second, c.millisecond);
            log += text;
            log += line;
            log += "\r\n";
        }
        return log;
    }

private:
    static int64_t PulseMs(double seconds) {
        return int64_t(std::llround(1000 * std::clamp(seconds, -1.5, 1.5)));
    }

    static std::string Outputs(int64_t raMs, int64_t decMs) {
        return std::string("AG OUT\t") + (raMs < 0 ? "RA-" : "") + "\t" + (raMs > 0 ? "RA+" : "") +
               "\t" + (decMs < 0 ? "DEC-" : "") + "\t" + (decMs > 0 ? "DEC+" : "");
    }
};

}  // namespace report::testing
