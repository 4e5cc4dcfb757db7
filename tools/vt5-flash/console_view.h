#pragma once

#include <memory>
#include <string>

#include "flashwell/procedure/procedure_view.h"
#include "tools/cli/command_line.h"
#include "tools/cli/progress.h"

// The procedures of Flashwell on a terminal: the log on standard output as it goes, the
// failures on standard error, a progress bar while an image uploads (on a terminal), and the
// one question answered by --yes or asked on the terminal.
class ConsoleView final : public ProcedureView {
public:
    // assumeYes: --yes was given.
    ConsoleView(const cli::CommandLine& line, bool assumeYes);
    ~ConsoleView() override;

    void ClearLog() override {}
    void Log(const std::string& text) override;
    void SetStatus(const std::string& text) override { (void)text; }
    void ShowError(const std::string& caption, const std::string& text) override;
    bool AskYesNo(const std::string& caption, const std::string& text) override;
    void ShowDeviceInfo(const std::string& text) override;
    void UploadProgress(const std::string& part, int64_t sent, int64_t total) override;

    // Ends the log's last line when it did not end itself.
    void EndLog();

private:
    void EndProgress();

    const cli::CommandLine& line_;
    bool assumeYes_;
    bool lineOpen_ = false;
    std::unique_ptr<cli::Progress> progress_;
};

// The system's texts with "\r\n" line ends as lines of a terminal.
std::string TerminalText(const std::string& text);
