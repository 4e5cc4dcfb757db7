#pragma once

// Gantrix's application object: the objects that live as long as the program, the main
// dialog's run, and the connect flow that every Gantrix tool uses to reach the HC.

#include "gantrix/server/server_thread.h"
#include "platform/registry/registry.h"
#include "vt5api/api/vt5api.h"
#include "vt5api/options/connection_options.h"

class Prompter;
class QWidget;

// Modes the connect flow can require of the HC.
inline constexpr int kRequireFirmware = 0;
inline constexpr int kRequireBoot = 1;
inline constexpr int kRequireAnyMode = 2;

class CGantrixApp {
public:
    // Opens (creates) the settings key; every message goes through prompter.
    explicit CGantrixApp(Prompter& prompter);
    CGantrixApp(const CGantrixApp&) = delete;
    CGantrixApp& operator=(const CGantrixApp&) = delete;

    // Creates the main dialog and runs it modally; the program ends with it.
    int Run();

    // Opens the tool API context: through Gantrix's own API server when it runs, else as the
    // tool connection options say; offers to switch an HC on that does not answer, and checks
    // its mode (kRequireFirmware, kRequireBoot, other: any). 0 when the context is open; -1
    // after the failure was shown (the context is then closed).
    int ConnectForTool(int requiredMode, const char* applicationId, QWidget* parent = nullptr);

    Prompter& prompter;
    // Used by the SD card browser; open from a successful connect flow until the browser ends.
    CVT5Api toolApi;
    // The options of program key "Gantrix", loaded when the main dialog starts.
    VT5ConnectionOptions toolOptions;
    ServerThread server;
    // HKEY_CURRENT_USER\SOFTWARE\NORVANE\Veltra-5, for "My folder".
    platform::registry::Key settingsKey;
    // Set when the connect flow for the SD card browser failed; read by the browser.
    bool noConnection = false;
    // The server dialog's client list refresh countdown: one for the whole run, so that a
    // reopened dialog refreshes on the same beat.
    int serverListCountdown = 0;

private:
    int ReportApiError(QWidget* parent, const char* step, int32_t code);
};
