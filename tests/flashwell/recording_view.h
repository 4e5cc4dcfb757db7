#pragma once

#include <gtest/gtest.h>

#include <deque>
#include <functional>
#include <string>
#include <utility>
#include <vector>

#include "flashwell/procedure/procedure_view.h"

namespace vt5test {

// A ProcedureView that keeps everything shown and answers questions from a script (a question
// without a scripted answer fails the test and is answered No).
class RecordingView final : public ProcedureView {
public:
    struct Shown {
        std::string caption;
        std::string text;
        bool operator==(const Shown&) const = default;
    };

    void ClearLog() override { log.clear(); }
    void Log(const std::string& text) override {
        log += text;
        if (onLog) onLog(text);
    }
    void SetStatus(const std::string& text) override { statuses.push_back(text); }
    void ShowError(const std::string& caption, const std::string& text) override {
        errors.push_back({caption, text});
    }
    bool AskYesNo(const std::string& caption, const std::string& text) override {
        questions.push_back({caption, text});
        if (answers.empty()) {
            ADD_FAILURE() << "unexpected question: " << text;
            return false;
        }
        bool yes = answers.front();
        answers.pop_front();
        return yes;
    }
    void ShowDeviceInfo(const std::string& text) override { deviceInfo.push_back(text); }
    void SetBusy(bool busy) override { busyChanges.push_back(busy); }
    void UploadProgress(const std::string& part, int64_t sent, int64_t total) override {
        if (progress.empty() || progress.back().first != part) progress.push_back({part, {}});
        progress.back().second.push_back(total ? sent * 100 / total : 0);
        if (onProgress) onProgress(part, sent, total);
    }

    std::string status() const { return statuses.empty() ? std::string() : statuses.back(); }

    // Runs after each log text: lets a test act at a step of a procedure.
    std::function<void(const std::string&)> onLog;
    std::function<void(const std::string& part, int64_t sent, int64_t total)> onProgress;
    std::string log;
    std::vector<std::string> statuses;
    std::vector<Shown> errors;
    std::vector<Shown> questions;
    std::deque<bool> answers;
    std::vector<std::string> deviceInfo;
    std::vector<bool> busyChanges;
    // Per part: the per cent reached at each report.
    std::vector<std::pair<std::string, std::vector<int64_t>>> progress;
};

}  // namespace vt5test
