#pragma once

// The HC's SD card: current directory, listing, delete, and one open file at a time.
//
// Every function uses command 0x5F with the file system lock section and returns an error
// code. Out-arguments are optional. `fsStatus` receives the HC's own file system status: 0
// when the HC's file system did not refuse; a nonzero status comes with the code 66
// (VT5_E_FS_REFUSED). A 66 with status 0 means the HC refused the command itself (answer
// type 32). Codes of every function:
//   200  null path, entry or data to write, negative length, wrong entry structure size
//   201, 202, 203  the HC's supported-command table lacks the command or parameter, or gives
//        the parameter another size
//   30   the answer lacks the function's parameter or its value has an unexpected length
//   66   the HC's file system refused (status in fsStatus), or the HC refused the command
//   and the exchange codes (9, 12 to 14, 31 to 34, 54, ...) and, in Client mode, 8 when
//   another client owns the file system section.
//
// The HC keeps the current directory, the open listing and the open file between calls; the
// PC side keeps nothing. A listing is VT5cmd_FS_OpenDir, then VT5cmd_FS_ReadDir until the
// short name comes back empty; a file is VT5cmd_FS_Open, any number of VT5cmd_FS_Read or
// VT5cmd_FS_Write, then VT5cmd_FS_Close.

#include <cstdint>

#include "vt5api/api/vt5api.h"

// A directory entry of the SD card.
struct VT5DirEntry {
    int32_t structSize;        // set by the caller to sizeof(VT5DirEntry)
    char shortName[13];        // 8.3 name, terminated; empty at the end of a listing
    int32_t longNameCapacity;  // bytes at longName; 0: no long name wanted
    char* longName;            // the caller's buffer for the long name, terminated
    int32_t size;              // file size in bytes
    uint16_t date;             // FAT: bits 15-9 year - 1980, 8-5 month, 4-0 day
    uint16_t time;             // FAT: bits 15-11 hours, 10-5 minutes, 4-0 seconds / 2
    uint8_t attributes;        // VT5_FS_ATTR_* bits
};

// FAT attribute bits of VT5DirEntry::attributes.
constexpr uint8_t VT5_FS_ATTR_READ_ONLY = 0x01;
constexpr uint8_t VT5_FS_ATTR_HIDDEN = 0x02;
constexpr uint8_t VT5_FS_ATTR_SYSTEM = 0x04;
constexpr uint8_t VT5_FS_ATTR_VOLUME = 0x08;
constexpr uint8_t VT5_FS_ATTR_DIRECTORY = 0x10;
constexpr uint8_t VT5_FS_ATTR_ARCHIVE = 0x20;

// Open modes of VT5cmd_FS_Open.
constexpr uint8_t VT5_FS_OPEN_READ = 1;        // download
constexpr uint8_t VT5_FS_OPEN_WRITE_NEW = 10;  // upload: a new file

// The HC's file system refused; its status is in fsStatus.
constexpr int32_t VT5_E_FS_REFUSED = VT5_E_CANT_EXECUTE;

// Command 0x5F and its parameters.
constexpr uint8_t VT5_CMD_FILE_SYSTEM = 0x5F;
constexpr uint8_t VT5_FS_GET_CURRENT_DIR = 0xBD;
constexpr uint8_t VT5_FS_CHANGE_DIR = 0xCD;
constexpr uint8_t VT5_FS_OPEN_DIR = 0xD2;
constexpr uint8_t VT5_FS_READ_DIR = 0xDC;
constexpr uint8_t VT5_FS_DELETE = 0xC1;
constexpr uint8_t VT5_FS_OPEN = 0x30;
constexpr uint8_t VT5_FS_READ = 0x33;
constexpr uint8_t VT5_FS_WRITE = 0x36;
constexpr uint8_t VT5_FS_CLOSE = 0x3C;

constexpr uint32_t VT5_FS_DELETE_CONFIRMATION = 0x5D27A1F3;
constexpr int32_t VT5_FS_PIECE = 4096;         // most file bytes one exchange carries
constexpr int32_t VT5_FS_MAX_PATH = 511;       // characters of a path that are sent
constexpr int32_t VT5_FS_READ_TIMEOUT = 3000;  // ms, for every function but GetCurrentDir

// The current directory into buffer (bufferSize bytes, terminated). The buffer is written
// only when it holds at least 2 bytes and the HC sent a path.
int32_t VT5cmd_FS_GetCurrentDir(CVT5Api* api, char* buffer, int32_t bufferSize, int32_t* fsStatus);
// path is required; relative to the current directory, or absolute from "/".
int32_t VT5cmd_FS_ChangeDir(CVT5Api* api, const char* path, int32_t* fsStatus);
// Starts a listing of the directory at path ("." for the current one).
int32_t VT5cmd_FS_OpenDir(CVT5Api* api, const char* path, int32_t* fsStatus);
// The next entry of the listing; at its end an entry with an empty short name and size,
// date, time and attributes 0. entry is required and its structSize must be right.
int32_t VT5cmd_FS_ReadDir(CVT5Api* api, VT5DirEntry* entry, int32_t* fsStatus);
int32_t VT5cmd_FS_Delete(CVT5Api* api, const char* path, int32_t* fsStatus);
// mode: VT5_FS_OPEN_READ or VT5_FS_OPEN_WRITE_NEW.
int32_t VT5cmd_FS_Open(CVT5Api* api, const char* path, uint8_t mode, int32_t* fsStatus);
// Reads up to length bytes of the open file in pieces of VT5_FS_PIECE; fewer at its end. A
// null buffer drops the bytes. bytesRead is 0 after a failure.
int32_t VT5cmd_FS_Read(CVT5Api* api, void* buffer, int32_t length, int32_t* bytesRead,
                       int32_t* fsStatus);
// Writes length bytes to the open file in pieces of VT5_FS_PIECE; data is required.
// bytesWritten counts the pieces the HC took, also when a later one failed.
int32_t VT5cmd_FS_Write(CVT5Api* api, const void* data, int32_t length, int32_t* bytesWritten,
                        int32_t* fsStatus);
int32_t VT5cmd_FS_Close(CVT5Api* api, int32_t* fsStatus);
