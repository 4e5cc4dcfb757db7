#include "gantrix/report/night/segment_offsets.h"

#include <cmath>
#include <numbers>

namespace report::night {

double Sine::Amplitude() const {
    return std::hypot(a, b);
}

namespace {

// Solves the symmetric positive (semi)definite system in place by Gaussian elimination with
// partial pivoting; a column without pivot gets 0.
std::vector<double> Solve(std::vector<double> m, std::vector<double> rhs, size_t n) {
    for (size_t c = 0; c < n; ++c) {
        size_t pivot = c;
        for (size_t r = c + 1; r < n; ++r)
            if (std::abs(m[r * n + c]) > std::abs(m[pivot * n + c])) pivot = r;
        if (std::abs(m[pivot * n + c]) < 1e-12) continue;
        if (pivot != c) {
            for (size_t k = 0; k < n; ++k)
                std::swap(m[c * n + k], m[pivot * n + k]);
            std::swap(rhs[c], rhs[pivot]);
        }
        for (size_t r = c + 1; r < n; ++r) {
            const double f = m[r * n + c] / m[c * n + c];
            if (f == 0) continue;
            for (size_t k = c; k < n; ++k)
                m[r * n + k] -= f * m[c * n + k];
            rhs[r] -= f * rhs[c];
        }
    }
    std::vector<double> x(n, 0.0);
    for (size_t c = n; c-- > 0;) {
        if (std::abs(m[c * n + c]) < 1e-12) continue;
        double v = rhs[c];
        for (size_t k = c + 1; k < n; ++k)
            v -= m[c * n + k] * x[k];
        x[c] = v / m[c * n + c];
    }
    return x;
}

}  // namespace

void RefitSegmentOffsets(MountStretch& stretch, const std::vector<Sine>& sines) {
    const size_t segments = stretch.segmentStarts.size();
    if (segments < 2 || stretch.samples.empty()) return;
    const size_t shared = 1 + 2 * sines.size();  // drift, then a and b of each sine
    const size_t n = shared + segments;
    const double tMid = (stretch.samples.front().t + stretch.samples.back().t) / 2;
    std::vector<double> m(n * n, 0.0), rhs(n, 0.0), row(shared);
    size_t segment = 0;
    for (size_t i = 0; i < stretch.samples.size(); ++i) {
        while (segment + 1 < segments && stretch.segmentStarts[segment + 1] <= i)
            ++segment;
        const MountSample& s = stretch.samples[i];
        row[0] = s.t - tMid;
        for (size_t k = 0; k < sines.size(); ++k) {
            const double w = 2 * std::numbers::pi * sines[k].f * s.t;
            row[1 + 2 * k] = std::cos(w);
            row[2 + 2 * k] = std::sin(w);
        }
        const size_t o = shared + segment;
        for (size_t p = 0; p < shared; ++p) {
            for (size_t q = 0; q < shared; ++q)
                m[p * n + q] += row[p] * row[q];
            m[p * n + o] += row[p];
            m[o * n + p] += row[p];
            rhs[p] += row[p] * s.ra;
        }
        m[o * n + o] += 1;
        rhs[o] += s.ra;
    }
    const std::vector<double> x = Solve(std::move(m), std::move(rhs), n);
    for (size_t seg = 0; seg < segments; ++seg) {
        const double shift = x[shared + seg] - x[shared];
        const size_t end =
            seg + 1 < segments ? stretch.segmentStarts[seg + 1] : stretch.samples.size();
        for (size_t i = stretch.segmentStarts[seg]; i < end; ++i)
            stretch.samples[i].ra -= shift;
    }
}

double DecSlopeWithinSegments(const MountStretch& stretch) {
    double stt = 0, stv = 0;
    const size_t segments = stretch.segmentStarts.size();
    for (size_t seg = 0; seg < segments; ++seg) {
        const size_t begin = stretch.segmentStarts[seg];
        const size_t end =
            seg + 1 < segments ? stretch.segmentStarts[seg + 1] : stretch.samples.size();
        if (end - begin < 2) continue;
        double mt = 0, mv = 0;
        for (size_t i = begin; i < end; ++i) {
            mt += stretch.samples[i].t;
            mv += stretch.samples[i].dec;
        }
        mt /= double(end - begin);
        mv /= double(end - begin);
        for (size_t i = begin; i < end; ++i) {
            const double dt = stretch.samples[i].t - mt;
            stt += dt * dt;
            stv += dt * (stretch.samples[i].dec - mv);
        }
    }
    return stt > 0 ? stv / stt : 0;
}

}  // namespace report::night
