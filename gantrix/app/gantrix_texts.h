#pragma once

// Gantrix's own texts, as the program shows them ("\r\n" is a line break).

inline constexpr const char* kGantrixCaption = "Veltra-5 Gantrix Application ver. 1.20";
inline constexpr const char* kAboutItem = "&About Gantrix...";

inline constexpr const char* kCaptionError = "ERROR";
inline constexpr const char* kCaptionQuestion = "Question";

// Connect flow.
inline constexpr const char* kTurnOnQuestion =
    "Can't open connection to Veltra-5.\r\nThe device may be turned off. Should we try to turn "
    "it on now?";
inline constexpr const char* kTurnOnFailed = "Error while remotely trying to turn HC on.";
inline constexpr const char* kOpenAfterTurnOnFailed =
    "Error opening connection to the HC after an attempt to turn-on.";
inline constexpr const char* kNoServer =
    "Can't connect to API Server.\r\nEnsure the API Sever is running and connection options "
    "are set up for a currently present device!";
inline constexpr const char* kNoDeviceAtServer =
    "Can't find device conected to the API Server.\r\nEnsure the HandController is connected "
    "and API Server's connection options are set up for a currently present device!";
inline constexpr const char* kNoDevice =
    "Can't find device conected to the PC.\r\nEnsure the HandController is connected!";
// Added to kNoDevice when the HC is plugged in but another program holds it.
inline constexpr const char* kDeviceInUse =
    "The HandController %s is connected, but another program is using it. Close that program "
    "(or end its connection to the HandController) and retry.";
inline constexpr const char* kDeviceInUseBy =
    "The HandController %s is connected, but another program is using it: %s (process %d). "
    "Close that program and retry.";
inline constexpr const char* kWrongMode =
    "Device is not in the required mode (Fw./BOOT).\r\n\r\nStop the current activity on the "
    "HandController, go to the proper mode and retry this option.";
inline constexpr const char* kApiErrorFormat = "%s\r\n\r\nVeltra-5 API returned code %d: %s";

// Main dialog.
inline constexpr const char* kServerLabel = "Control the Veltra-5 API Server";
inline constexpr const char* kServerLabelActiveWith =
    "Control the Veltra-5 API Server\r\n(ACTIVE with: '%s')";
inline constexpr const char* kServerLabelActive = "Control the Veltra-5 API Server\r\n(ACTIVE)";
inline constexpr const char* kCloseQuestion =
    "API Server is running!\r\nDo You want to exit Gantrix and stop the Server too?";

// API server dialog.
inline constexpr const char* kServerDlgCaptionFormat =
    "Veltra-5 API Server (ver. %X.%02X) state and options";
inline constexpr const char* kBadPort = "Enter a valid TCP port number before starting the Server!";
inline constexpr const char* kCaptionBadPort = "Error";
