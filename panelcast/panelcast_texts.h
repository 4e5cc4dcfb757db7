#pragma once

// Panelcast's texts, as the system has them.

inline constexpr const char* kPanelcastTitle = "Panelcast for Veltra-5 ver. 1.1";
inline constexpr const char* kPanelcastClient = "Panelcast";
inline constexpr const char* kCaptionError = "ERROR";
inline constexpr const char* kCaptionNotification = "Notification";
inline constexpr const char* kCaptionDeviceInfo = "Veltra-5 device info";

inline constexpr const char* kConnectFailedFormat = "%s\n\nError: %s";
inline constexpr const char* kCantConnectOff = "Can't connect to Veltra-5, it may be turned off...";
inline constexpr const char* kCantConnect = "Can't connect to Veltra-5...";
inline constexpr const char* kTurnOnFailed = "Can't turn Veltra-5 on...";
inline constexpr const char* kErrorBoxFormat = "%s:\n\n%s";
inline constexpr const char* kDisconnectFailed = "Error while disconnecting...";
inline constexpr const char* kUpdateFailed = "Failed to update display";
inline constexpr const char* kButtonFailed = "Couldn't sent button event";
inline constexpr const char* kPoweredOff = "Veltra-5 has been powered off";
inline constexpr const char* kUnknownChange = "Veltra-5 reported an unknown system change error";
inline constexpr const char* kDeviceInfoFailedFormat = "Error: %s";
inline constexpr const char* kFpsInvalid = "Fps value must be a valid integer between 1 and 30";
inline constexpr const char* kClipboardOpenFailed = "Cannot open the Clipboard";
inline constexpr const char* kClipboardEmptyFailed = "Cannot empty the Clipboard";
inline constexpr const char* kClipboardSetFailedFormat = "Unable to set Clipboard data, error: %d";
inline constexpr const char* kScreenshotNote = "(taken to the clipboard)";
