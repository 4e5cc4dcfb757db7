#pragma once

// The texts of the SD card browser and its transfers, as the program shows them ("\r\n" is a
// line break).

inline constexpr const char* kFsysCaption = "Veltra-5 File System";

inline constexpr const char* kCaptionWarning = "WARNING";
inline constexpr const char* kCaptionNotification = "NOTIFICATION";
inline constexpr const char* kCaptionResult = "Result of processing";
inline constexpr const char* kCaptionApiError = "Veltra-5 API returned error code";
inline constexpr const char* kFsApiErrorFormat = "%s\r\n\r\nVeltra-5 API error code %d: %s";

// Path label.
inline constexpr const char* kPathNoFileSystem = "<no FileSystem>";
inline constexpr const char* kPathNotAvailable = "<FileSystem is not available on Veltra-5 now>";
inline constexpr const char* kPathReadingFormat = "%s  - reading...";

// Card list.
inline constexpr const char* kFsNotAvailable =
    "FileSystem is not available on the device.\r\n\r\nMake sure that the SD card is inserted "
    "and the state of it is okay (Option / System).\r\nRe-insert the card if error is displayed.";
inline constexpr const char* kCantAccessFs = "Can't access FileSystem on HandController";
inline constexpr const char* kChangeDirFailed = "API function VT5cmd_FS_ChangeDir() failed";
inline constexpr const char* kDirSize = "<DIR>  ";
inline constexpr const char* kDateTimeFormat = "%d.%02d.%02d  %d:%02d";
inline constexpr const char* kDeleteQuestion =
    "You are about to delete %d selected file(s)!\r\n\r\nAre you sure to remove these files?";
inline constexpr const char* kDeleteFailed =
    "Deleted %d files.\r\nFailed to delete the following files:\r\n\r\n%s";

// Processed files.
inline constexpr const char* kReportTypeGuided = "guided exposure";
inline constexpr const char* kNightsIndexTitle = "All nights compared";
inline constexpr const char* kReportTypeNights = "nights summary";
inline constexpr const char* kBadDeclination =
    "The declination must be a number of degrees from -89 to 89, or left empty.";
inline constexpr const char* kLogFileFilter = "Veltra-5 log files (*_log_*.txt)";
inline constexpr const char* kCantOpenReport =
    "No web browser could open the report:\r\n\r\n%s\r\n\r\nInstall a web browser or open the "
    "page in one by hand.";

// Where downloads go, and the button that opens that folder.
inline constexpr const char* kDownloadsGoTo = "Downloads go to:";
inline constexpr const char* kDownloadedTo = "Files downloaded to:";
inline constexpr const char* kDownloadedWithReports =
    "Files (in SD) and their reports (in Processed) are in:";
inline constexpr const char* kButtonOpenFolder = "Open folder";
inline constexpr const char* kCantOpenFolder = "No program could open the folder:\r\n\r\n%s";

// Transfers.
inline constexpr const char* kButtonDownload = "Download files";
inline constexpr const char* kButtonCancel = "Cancel";
inline constexpr const char* kButtonCancelUpload = "Cancel uploading";
inline constexpr const char* kSelectFirst = "Select at least one file first!";
inline constexpr const char* kDownloadTakesLong =
    "Downloading these files may take time over 1 minute.\r\n\r\nStart downloading them?";
inline constexpr const char* kUploadTakesLong =
    "Uploading these files may take time over 1 minute.\r\n\r\nShould we continue?";
inline constexpr const char* kCantReadAttributes = "Can't read file attributes for:\r\n\r\n%s";
inline constexpr const char* kFileTooLarge =
    "File is too large (%d MBytes), file won't be uploaded:\r\n\r\n%s";
inline constexpr const char* kTotalTooLarge =
    "Overall data size is too large (%d MBytes), uploading is not possible!";
inline constexpr const char* kSystemError = "Windows system error!\r\n\r\nError code %u:\r\n%s";
inline constexpr const char* kSystemErrorUnknown = "Windows system error! (Unknown error code)";
inline constexpr const char* kProgressFormat = "%d of %d (%s)";
inline constexpr const char* kProgressKbFormat = "%d kB";
inline constexpr const char* kUploadCanceled = "Upload canceled by the user...";
inline constexpr const char* kDownloadCanceled = "Download canceled by the user...";
inline constexpr const char* kSystemErrorStatus = "Windows system error, code: %d";
inline constexpr const char* kApiErrorStatus = "Veltra-5 API error code: %d";
inline constexpr const char* kTransferApiError = "Veltra-5 API returned an error code";
inline constexpr const char* kFsErrorStatus = "Veltra-5 reported FileSystem error, code: %d";
inline constexpr const char* kDone = "Done";
