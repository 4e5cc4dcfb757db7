#include "gantrix/server/server_thread.h"

#include <cstdio>
#include <cstring>
#include <system_error>

#include "platform/clock/clock.h"
#include "vt5api/api/vt5server.h"

ServerThread::~ServerThread() {
    StopServerThread();
    // A thread that did not finish in time is still joined: it must not outlive its record.
    stopRequest_ = true;
    if (thread_.joinable()) thread_.join();
}

void ServerThread::StartServerThread() {
    if (IsServerRunning()) return;
    {
        std::lock_guard<std::mutex> guard(mutex_);
        status_.threadFinished = false;
        settingsFailure_ = networkLoader_ ? networkLoader_(status_) : std::string();
    }
    stopRequest_ = false;
    try {
        thread_ = std::thread([this] { Run(); });
    } catch (const std::system_error& e) {
        std::string text = "Failed to create thread for API Server!";
        if (e.code().value())
            text += "\r\n\r\nError code " + std::to_string(e.code().value()) + ":\r\n" +
                    e.code().message();
        if (errorReport_) errorReport_(text);
        return;
    }
    for (int i = 0; i < 50; ++i) {
        bool started = WithStatus([](const ServerStatus& s) {
            return s.state != ServerStatus::kOff || s.threadFinished;
        });
        if (started) break;
        platform::sleepMs(1);
    }
    Reap();
}

void ServerThread::StopServerThread() {
    if (!IsServerRunning()) return;
    stopRequest_ = true;
    for (int i = 0; i < 500; ++i) {
        if (WithStatus([](const ServerStatus& s) { return s.threadFinished; })) break;
        platform::sleepMs(10);
    }
    stopRequest_ = false;
    Reap();
}

void ServerThread::Reap() {
    bool finished = WithStatus([](const ServerStatus& s) { return s.threadFinished; });
    if (!finished || !thread_.joinable()) return;
    // The thread sets the flag as its last act, so the join returns at once.
    thread_.join();
    std::lock_guard<std::mutex> guard(mutex_);
    status_.threadFinished = false;
}

bool ServerThread::IsServerRunning(std::string* openSerial, int32_t* port) {
    Reap();
    if (!thread_.joinable()) return false;
    std::lock_guard<std::mutex> guard(mutex_);
    if (openSerial) *openSerial = status_.deviceOpen ? status_.openSerial : "";
    if (port) *port = status_.portInUse;
    return true;
}

void ServerThread::OpenPending(CVT5Api& api) {
    std::lock_guard<std::mutex> guard(mutex_);
    if (!status_.openPending) return;
    if (!VT5_IsOpen(&api)) {
        const char* serial = status_.servedSerial[0] ? status_.servedSerial : nullptr;
        status_.openResult = VT5_Open(&api, serial, nullptr, 0, nullptr);
        if (status_.openResult == VT5_OK)
            VT5_GetProtocolInfo(&api, &status_.bootFlag, &status_.protocolVersion,
                                &status_.secondProtocolWord);
    }
    status_.openPending = false;
}

bool ServerThread::ApplyNetworkSettings(CVT5Api& api) {
    if (!settingsFailure_.empty()) {
        status_.startFailure = settingsFailure_;
        return false;
    }
    VT5ServerAccess access;
    access.listen = status_.listenAddresses;
    for (const std::string& text : status_.allowedNetworks) {
        VT5Network network;
        std::string error;
        if (!VT5ParseNetwork(text, network, error)) {
            // Serving anyone instead would open what the setting meant to close.
            status_.startFailure = "allowed networks: " + error;
            return false;
        }
        access.allowed.push_back(network);
    }
    api.link->SetServerAccess(std::move(access));
    return true;
}

void ServerThread::Run() {
    CVT5Api api;
    if (serverLog_) api.link->SetServerLog(serverLog_);
    VT5ServerStart start;
    bool settingsGood = false;
    {
        std::lock_guard<std::mutex> guard(mutex_);
        start.port = static_cast<uint16_t>(status_.configuredPort);
        std::memcpy(start.servedSerial, status_.servedSerial, sizeof start.servedSerial);
        status_.state = ServerStatus::kStarting;
        status_.startFailure.clear();
        status_.clients.clear();
        settingsGood = ApplyNetworkSettings(api);
    }
    int32_t rc = settingsGood ? VT5_StartServer(&api, &start) : VT5_E_BAD_ARGUMENT;
    bool started = rc == VT5_OK;
    {
        std::lock_guard<std::mutex> guard(mutex_);
        if (started) {
            status_.state = ServerStatus::kActive;
            status_.portInUse = start.port;
        } else if (settingsGood) {
            // The link says why no socket could listen; other refusals have their code's text.
            status_.startFailure = rc == VT5_E_TCP && api.link->GetErrorText()[0]
                                       ? api.link->GetErrorText()
                                       : VT5_GetErrorText(rc);
        }
    }
    if (started) {
        OpenPending(api);
        rc = VT5_PollServer(&api);
        bool wasOpen = false;
        size_t listed = 0;
        while (rc == VT5_OK) {
            {
                std::lock_guard<std::mutex> guard(mutex_);
                status_.deviceOpen = VT5_IsOpen(&api);
                if (status_.deviceOpen && !wasOpen) {
                    char serial[17] = {};
                    VT5_GetSerial(&api, serial, sizeof serial);
                    std::snprintf(status_.openSerial, sizeof status_.openSerial, "%.8s", serial);
                } else if (!status_.deviceOpen) {
                    status_.openSerial[0] = '\0';
                }
                wasOpen = status_.deviceOpen;
                VT5_GetProtocolInfo(&api, &status_.bootFlag, &status_.protocolVersion,
                                    &status_.secondProtocolWord);
                auto n = static_cast<size_t>(VT5_GetServerClients(&api, nullptr));
                if (n != listed || status_.listRefreshRequest) {
                    status_.listRefreshRequest = false;
                    status_.clients.assign(n, VT5ServerClient{});
                    VT5_GetServerClients(&api, status_.clients.data());
                    status_.clientListChanged = true;
                    listed = n;
                }
            }
            if (stopRequest_) {
                rc = VT5_StopServer(&api);
                break;
            }
            // No yield here: the poll blocks while nothing can be served, and a yield on a
            // busy machine hands the core away for a whole time slice at every request.
            OpenPending(api);
            rc = VT5_PollServer(&api);
        }
        VT5_Close(&api);
        std::lock_guard<std::mutex> guard(mutex_);
        status_.openResult = VT5_E_INVALID_RETURN;
    }
    std::lock_guard<std::mutex> guard(mutex_);
    status_.state = ServerStatus::kOff;
    status_.deviceOpen = false;
    status_.openSerial[0] = '\0';
    status_.threadResult = rc;
    status_.threadFinished = true;
}
