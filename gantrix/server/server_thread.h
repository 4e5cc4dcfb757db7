#pragma once

#include <atomic>
#include <functional>
#include <mutex>
#include <string>
#include <thread>

#include "gantrix/server/server_status.h"

// The API server thread of Gantrix: it owns a Server-mode API context, holds the HC's USB
// connection and serves clients until asked to stop, and keeps a status record that the
// window thread reads. One server thread at a time.
class ServerThread {
public:
    ServerThread() = default;
    ~ServerThread();
    ServerThread(const ServerThread&) = delete;
    ServerThread& operator=(const ServerThread&) = delete;

    // Starts the thread with the configured port and served device serial; shows failures
    // through the error report (set with SetErrorReport).
    void StartServerThread();
    void StopServerThread();
    // True while the thread runs; then the open HC's serial (empty when none) and the port.
    bool IsServerRunning(std::string* openSerial = nullptr, int32_t* port = nullptr);

    // Runs f with the status record under the lock. The window thread reads it this way and
    // sets the configured port, served device serial and flags before a start.
    template <class F>
    auto WithStatus(F f) {
        std::lock_guard<std::mutex> guard(mutex_);
        return f(status_);
    }

    // Where a failure to create the thread is told (the program shows a message box).
    void SetErrorReport(std::function<void(const std::string&)> report) {
        errorReport_ = std::move(report);
    }
    // Where the server's link tells of client arrivals, departures and lock time-outs.
    void SetServerLog(std::function<void(const char*)> log) { serverLog_ = std::move(log); }
    // Runs before every start, on the caller's thread, to fill the listen addresses and the
    // allowed networks of the status record from the program's settings; it returns "" or
    // why they could not be read, which fails the start.
    void SetNetworkSettingsLoader(std::function<std::string(ServerStatus&)> loader) {
        networkLoader_ = std::move(loader);
    }

private:
    void Run();
    void OpenPending(CVT5Api& api);
    void Reap();
    // The listen addresses and allowed networks of the status record, checked; false with
    // the reason in startFailure.
    bool ApplyNetworkSettings(CVT5Api& api);

    std::mutex mutex_;
    ServerStatus status_;
    std::atomic<bool> stopRequest_{false};
    std::thread thread_;
    std::function<void(const std::string&)> errorReport_;
    std::function<void(const char*)> serverLog_;
    std::function<std::string(ServerStatus&)> networkLoader_;
    std::string settingsFailure_;  // under mutex_
};
