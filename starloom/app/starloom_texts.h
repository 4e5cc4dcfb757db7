#pragma once

// Starloom's own texts, as the program shows them ("\r\n" is a line break).

inline constexpr const char* kStarloomCaption = "Starloom ver. 1.2 for Veltra-5";
inline constexpr const char* kAboutItem = "&About Starloom (w32)...";
inline constexpr const char* kAboutCaption = "About Starloom (w32)";
inline constexpr const char* kAboutText = "Starloom for Veltra-5, Version 1.2";
// What the application object names as its settings key.
inline constexpr const char* kRegistryKeyName = "Local AppWizard-Generated Applications";

inline constexpr const char* kCaptionError = "ERROR";
inline constexpr const char* kCaptionCantStart = "Can't start";
inline constexpr const char* kCantConnect =
    "Can't connect to HandController.\r\n\r\n(API error: %s)";
inline constexpr const char* kNeedsFirmware = "Starloom needs the Firmware running";
inline constexpr const char* kWrongPolarValue =
    "Wrong value for Pole Altitude or polar error parameters!";

inline constexpr const char* kStatusRunning = "Emulating Sky...";
inline constexpr const char* kStart = "Start";
inline constexpr const char* kStop = "Stop";

// The client name under which Starloom announces itself to an API server.
inline constexpr const char* kClientName = "Starloom";
