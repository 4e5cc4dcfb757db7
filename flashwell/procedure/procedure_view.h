#pragma once

#include <cstdint>
#include <string>

// What the update and device information procedures show, and the one question they ask.
// Flashwell's dialog shows it in its controls and message boxes; vt5-flash on a terminal.
// Texts are the system's own, "\r\n" line ends included.
class ProcedureView {
public:
    virtual ~ProcedureView() = default;

    virtual void ClearLog() = 0;
    // Appends to the log as it stands (a line ends only where the text says so).
    virtual void Log(const std::string& text) = 0;
    virtual void SetStatus(const std::string& text) = 0;
    // A failure, shown with the error icon until the user acknowledges it.
    virtual void ShowError(const std::string& caption, const std::string& text) = 0;
    // A Yes/No question with the exclamation icon; true for Yes.
    virtual bool AskYesNo(const std::string& caption, const std::string& text) = 0;
    // The device information text of a finished device information procedure ("\n" ends).
    virtual void ShowDeviceInfo(const std::string& text) = 0;

    // The file controls and the update button are off while an update runs.
    virtual void SetBusy(bool busy) { (void)busy; }
    // An image is on its way: `sent` of `total` bytes (total 0: the upload begins).
    virtual void UploadProgress(const std::string& part, int64_t sent, int64_t total) {
        (void)part, (void)sent, (void)total;
    }
};
