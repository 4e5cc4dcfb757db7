#include "gantrix/report/interpret.h"

#include <algorithm>
#include <string_view>
#include <utility>

#include "gantrix/report/exposure_statistics.h"
#include "gantrix/report/parse_fields.h"

namespace report {

namespace {

constexpr std::string_view kExposing = "EXPO";

enum class Event {
    kUnknown,
    kLogStart,
    kLogStop,
    kLogBufferFull,
    kCamConn,
    kCalibResult,
    kAgStart,
    kAgStop,
    kAgTrim,
    kCamBin,
    kCamFrame,
    kAgDrift,
    kAgOut,
    kExpoState,
};

constexpr std::pair<std::string_view, Event> kEvents[] = {
    {"CAM FRAME", Event::kCamFrame},
    {"AG DRIFT", Event::kAgDrift},
    {"AG OUT", Event::kAgOut},
    {"EXPO STATE", Event::kExpoState},
    {"LOG START", Event::kLogStart},
    {"LOG STOP", Event::kLogStop},
    {"LOG BUFFERFULL", Event::kLogBufferFull},
    {"CAM CONN", Event::kCamConn},
    {"CALIB RESULT", Event::kCalibResult},
    {"AG START", Event::kAgStart},
    {"AG STOP", Event::kAgStop},
    {"AG TRIM", Event::kAgTrim},
    {"CAM BIN", Event::kCamBin},
};

Event EventOf(std::string_view keyword) {
    for (const auto& [name, event] : kEvents) {
        if (name == keyword) return event;
    }
    return Event::kUnknown;
}

// True when every field the type string asks for was there.
bool Parse(const LogLine& line, std::string_view types,
           std::initializer_list<FieldOutput> outputs) {
    return ParseFields(line, types, outputs) == int(types.size());
}

void CloseFrame(FrameRecord& frame, const SignalAccumulator& signals) {
    if (signals.elapsed == 0) {
        frame.raSignal = frame.decSignal = frame.interval = 0;
        return;
    }
    const double elapsed = double(signals.elapsed);
    frame.raSignal = float(std::clamp(double(signals.raIntegral) / elapsed, -1.0, 1.0));
    frame.decSignal = float(std::clamp(double(signals.decIntegral) / elapsed, -1.0, 1.0));
    frame.interval = float(elapsed / 1000.0);
}

bool CamFrame(const LogLine& line, LogState& state) {
    float lead1 = 0, lead2 = 0, fwhm = 0, starValue = 0;
    if (!Parse(line, "ffff", {&lead1, &lead2, &fwhm, &starValue})) return false;
    SignalAccumulator& signals = state.accumulator;
    signals.Advance(line.logTime, signals.raState, signals.decState);
    std::vector<FrameRecord>& frames = state.exposure.frames;
    if (!frames.empty()) CloseFrame(frames.back(), signals);
    signals.elapsed = signals.raIntegral = signals.decIntegral = 0;

    FrameRecord frame;
    frame.guided = state.agRunning ? 1 : 0;
    frame.star = starValue > 0 ? 1 : 0;
    frame.fwhm = fwhm;
    frame.starValue = starValue;
    if (state.exposureState == kExposing) frames.push_back(frame);
    return true;
}

bool AgDrift(const LogLine& line, LogState& state) {
    std::vector<FrameRecord>& frames = state.exposure.frames;
    if (frames.empty()) return true;
    return Parse(line, "ff", {&frames.back().raDrift, &frames.back().decDrift});
}

bool AgOut(const LogLine& line, LogState& state) {
    std::string raMinus, raPlus, decMinus, decPlus;
    if (!Parse(line, "ssss", {&raMinus, &raPlus, &decMinus, &decPlus})) return false;
    const int ra = int(!raPlus.empty()) - int(!raMinus.empty());
    const int dec = int(!decPlus.empty()) - int(!decMinus.empty());
    state.accumulator.Advance(line.logTime, ra, dec);
    return true;
}

void StartExposure(LogState& state, LogTime time) {
    SignalAccumulator& signals = state.accumulator;
    signals.lastTime = time;
    signals.elapsed = signals.raIntegral = signals.decIntegral = 0;

    ExposureRecord& e = state.exposure;
    e = ExposureRecord{};
    e.startTime = time;
    e.focalLength = state.focalLength;
    e.binning = state.binning;
    e.agMode = state.agMode;
    e.raPStart = state.raP;
    e.raIStart = state.raI;
    e.raTolerance = state.raTolerance;
    e.decP = state.decP;
    e.decTolerance = state.decTolerance;
    e.calibration = state.calibration;
}

void EndExposure(LogState& state, LogTime time) {
    ExposureRecord& e = state.exposure;
    e.endTime = time;
    // The newest frame's interval never closed.
    if (!e.frames.empty()) e.frames.pop_back();
    e.raPEnd = state.raP;
    e.raIEnd = state.raI;
    e.raTolerance = state.raTolerance;
    e.decP = state.decP;
    e.decTolerance = state.decTolerance;
    ComputeExposureStatistics(e);
    state.exposures.push_back(e);
}

bool ExpoState(const LogLine& line, LogState& state) {
    if (state.hcUid.empty() || state.cameraUid.empty() || state.agMode.empty()) {
        state.exposureState.clear();
        return true;
    }
    const bool wasExposing = state.exposureState == kExposing;
    float number = 0;
    if (!Parse(line, "sf", {&state.exposureState, &number})) return false;
    const bool exposing = state.exposureState == kExposing;
    if (!wasExposing && exposing) StartExposure(state, line.logTime);
    if (wasExposing && !exposing) EndExposure(state, line.logTime);
    return true;
}

}  // namespace

void SignalAccumulator::Advance(LogTime t, int newRaState, int newDecState) {
    // Two's complement wrap-around: a log with absurd times gives absurd signals, not undefined
    // behaviour.
    const uint64_t delta = uint64_t(t) - uint64_t(lastTime);
    elapsed = int64_t(uint64_t(elapsed) + delta);
    raIntegral = int64_t(uint64_t(raIntegral) + uint64_t(int64_t(raState)) * delta);
    decIntegral = int64_t(uint64_t(decIntegral) + uint64_t(int64_t(decState)) * delta);
    lastTime = t;
    raState = newRaState;
    decState = newDecState;
}

bool Interpret(const LineTable& lines, LogState& state) {
    state = LogState{};
    bool logging = false;
    for (const LogLine& line : lines.Lines()) {
        const Event event = EventOf(line.eventKeyword);
        if (!logging) {
            // Until the log has started with an HC UID, only LOG START lines count.
            if (event != Event::kLogStart) continue;
            state.logStartTime = line.logTime;
            if (!Parse(line, "sss",
                       {&state.hcUid, &state.logStartSecond, &state.firmwareVersion})) {
                return false;
            }
            logging = !state.hcUid.empty();
            continue;
        }
        bool ok = true;
        switch (event) {
            case Event::kLogStop:
            case Event::kLogBufferFull:
                return true;
            case Event::kCamConn:
                ok =
                    Parse(line, "sss", {&state.cameraUid, &state.cameraSecond, &state.cameraThird});
                break;
            case Event::kCalibResult: {
                Calibration& c = state.calibration;
                ok = Parse(line, "ffffff", {&c[0], &c[1], &c[2], &c[3], &c[4], &c[5]});
                break;
            }
            case Event::kAgStart:
                ok = Parse(line, "sffffff",
                           {&state.agMode, &state.raP, &state.raI, &state.raTolerance, &state.decP,
                            &state.decTolerance, &state.focalLength});
                state.agRunning = true;
                break;
            case Event::kAgStop:
                state.agRunning = false;
                break;
            case Event::kAgTrim:
                ok = Parse(line, "ff", {&state.raP, &state.raI});
                break;
            case Event::kCamBin:
                ok = Parse(line, "i", {&state.binning});
                break;
            case Event::kCamFrame:
                ok = CamFrame(line, state);
                break;
            case Event::kAgDrift:
                ok = AgDrift(line, state);
                break;
            case Event::kAgOut:
                ok = AgOut(line, state);
                break;
            case Event::kExpoState:
                ok = ExpoState(line, state);
                break;
            case Event::kLogStart:
            case Event::kUnknown:
                break;
        }
        if (!ok) return false;
    }
    return true;
}

}  // namespace report
