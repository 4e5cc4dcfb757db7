#pragma once

// Flashwell's own texts, as the program shows them ("\r\n" is a line break).

inline constexpr const char* kFlashwellCaption = "Veltra-5 updater ver. 1.3";
inline constexpr const char* kUpdaterClientName = "Updater";

inline constexpr const char* kCaptionError = "ERROR";
inline constexpr const char* kCaptionWarning = "WARNING";

// Loading a firmware file.
inline constexpr const char* kFirmwareFilter = "Veltra-5 firmware files (*.bin)";
inline constexpr const char* kLoadFailedLog =
    "Loading of Firmware file FAILED.\r\nIt may be damaged.";
inline constexpr const char* kLoadFailedFormat = "Error: %s";
inline constexpr const char* kCaptionLoadFailed = "Loading failed";

// Connecting.
inline constexpr const char* kCaptionCantOpen = "Can't open device";
inline constexpr const char* kOpening = "Opening device... ";
inline constexpr const char* kOpenFailed = "FAILED\r\n";
inline constexpr const char* kOpenOk = "OK\r\n";
inline constexpr const char* kLogHcOff = "ERROR: HandController may be turned off\r\n";
inline constexpr const char* kHcOff =
    "Can't connect to device!\r\n\r\nPossible cause:\r\n\r\n  - The HandController must be "
    "turned off, the USB device is present but not responding.";
inline constexpr const char* kLogNoServer = "ERROR: can't connect to API Server\r\n";
inline constexpr const char* kNoServer =
    "Can't connect to API Server!\r\n\r\nPossible cause:\r\n\r\n  - The API Server is not "
    "running or its address is unaccessible.";
inline constexpr const char* kLogServerWithoutHc =
    "ERROR: the API Server might have no connection to a HandController\r\n";
inline constexpr const char* kServerWithoutHc =
    "Can't open device through the API server!\r\n\r\nPossible cause:\r\n\r\n  - The API Server "
    "is not connected to a HandController.";
inline constexpr const char* kLogNoUsbDevice = "ERROR: can't find USB device\r\n";
inline constexpr const char* kNoUsbDevice =
    "Can't open device!\r\n\r\nPossible causes:\r\n\r\n  - The HandController (with the "
    "specified serial ID) can't be seen as an USB device;\r\n\r\n  - Some other program is "
    "connected to the HandController and all other programs are not permitted to communicate "
    "with it. (Close the other program using the HC and retry.)";

// Put after the "Can't open device!" texts when the USB driver knows why this PC could not
// open the HC (no permission on its device file, say); %s is that reason.
inline constexpr const char* kCauseFoundFormat = "\r\n\r\nFound on this PC: %s.";

// The update procedure.
inline constexpr const char* kStatusConnecting = "Connecting...";
inline constexpr const char* kLogReadingMode = "..while reading device mode...\r\n";
inline constexpr const char* kNotInBootMode = "Device is not in boot mode";
// Shown after kNotInBootMode: how the HC gets into BOOT mode.
inline constexpr const char* kHowToBootMode =
    "Firmware is updated in BOOT mode. To get there, choose \"Restart to BOOT\" in the "
    "HandController's menu, or switch the HandController on with Panelcast's \"Turn ON\" and "
    "\"BOOT mode\" ticked; then press \"Update firmware(s)\" again.";
inline constexpr const char* kWrongBootProtocol = "Protocol version of BOOT mode is wrong (0x%04x)";
inline constexpr const char* kLogErrorFormat = "ERROR: %s\r\n";
inline constexpr const char* kLogReadingPcb = "..while reading PCB ID...\r\n";
inline constexpr const char* kPcbQuestion =
    "PCB version (0x%1x) is reported to be newer (lower value) than the Firmware supports "
    "(0x%1x).\r\nAre you sure to upload this into the device?\r\n\r\n(When doing this the "
    "Firmware may not work or even start but a serious error is indicated when trying to "
    "start.)";
inline constexpr const char* kLogOlderFirmware =
    "WARNING: an older Firmware is uploaded to the HC, it may not work with the newer "
    "hardware!\r\n";
inline constexpr const char* kUploadingHc = "Uploading HC firmware...";
inline constexpr const char* kUploadingCamera = "Uploading Camera firmware...";
inline constexpr const char* kCaptionHcUpdateError = "HC firmware update error";
inline constexpr const char* kCaptionCameraUpdateError = "Camera firmware update error";
inline constexpr const char* kUpdateErrorFormat = "%s\r\n\r\nUpdate error: %s";
inline constexpr const char* kDetailBusy = "Fw. decoder is busy, can't do the update now";
inline constexpr const char* kDetailNoRoom = "Update is not possible after reallocation";
inline constexpr const char* kDetailBadInfo =
    "Wrong Fw. info decoded from the input data. Fw. data must be corrupted.";
inline constexpr const char* kDetailChecksum =
    "Checksum error after programming. You may retry the update.";
inline constexpr const char* kDetailUnknown = "unknown";
inline constexpr const char* kStatusDone = "DONE";
inline constexpr const char* kLogDone = "Update DONE.\r\n";
inline constexpr const char* kCaptionUpdateFailed = "Update failed";
inline constexpr const char* kApiErrorFormat = "Error: %s";
inline constexpr const char* kStatusFailed = "Update failed...";
inline constexpr const char* kLogApiErrorFormat = "ERROR (VT5 API): %s\r\nUpdate failed.";
inline constexpr const char* kLogFailed = "Update failed.";

// Device information.
inline constexpr const char* kDevinfoCaption = "Device information";
inline constexpr const char* kDevinfoCantOpen =
    "Can't open device!\r\n\r\nPossible causes:\r\n\r\n  - The HandController can't be seen as "
    "an USB device;\r\n\r\n  - Some other program is connected to the HandController and so "
    "another program is not permitted to communicate with it. (Close the other program and "
    "retry.)";
