#pragma once

// The FTDI D2XX operations the link object uses, with D2XX's names, status values and device
// node layout. Devices come from the backends attached to the driver (driver.h): the virtual
// USB bus (simulated chips, in this process or served by vt5-hcsim) and libftdi1 for real
// FT230X chips.

#include <cstdint>

using FT_STATUS = uint32_t;
using FT_HANDLE = void*;

enum : FT_STATUS {
    FT_OK = 0,
    FT_INVALID_HANDLE = 1,
    FT_DEVICE_NOT_FOUND = 2,
    FT_DEVICE_NOT_OPENED = 3,
    FT_IO_ERROR = 4,
    FT_INSUFFICIENT_RESOURCES = 5,
    FT_INVALID_PARAMETER = 6,
    FT_INVALID_BAUD_RATE = 7,
    FT_DEVICE_NOT_OPENED_FOR_ERASE = 8,
    FT_DEVICE_NOT_OPENED_FOR_WRITE = 9,
    FT_FAILED_TO_WRITE_DEVICE = 10,
    FT_EEPROM_READ_FAILED = 11,
    FT_EEPROM_WRITE_FAILED = 12,
    FT_EEPROM_ERASE_FAILED = 13,
    FT_EEPROM_NOT_PRESENT = 14,
    FT_EEPROM_NOT_PROGRAMMED = 15,
    FT_INVALID_ARGS = 16,
    FT_NOT_SUPPORTED = 17,
    FT_OTHER_ERROR = 18,
    FT_DEVICE_LIST_NOT_READY = 19,
};

// Device node flags.
constexpr uint32_t FT_FLAGS_OPENED = 1;
constexpr uint32_t FT_FLAGS_HISPEED = 2;

// Device types (the node's Type field).
constexpr uint32_t FT_DEVICE_232R = 5;
constexpr uint32_t FT_DEVICE_X_SERIES = 9;
constexpr uint32_t FT_DEVICE_UNKNOWN = 3;

constexpr uint8_t FT_BITS_8 = 8;
constexpr uint8_t FT_BITS_7 = 7;
constexpr uint8_t FT_STOP_BITS_1 = 0;
constexpr uint8_t FT_STOP_BITS_2 = 2;
constexpr uint8_t FT_PARITY_NONE = 0;

constexpr uint16_t FT_FLOW_NONE = 0x0000;
constexpr uint16_t FT_FLOW_RTS_CTS = 0x0100;

constexpr uint32_t FT_PURGE_RX = 1;
constexpr uint32_t FT_PURGE_TX = 2;

constexpr uint8_t FT_BITMODE_RESET = 0x00;
constexpr uint8_t FT_BITMODE_CBUS_BITBANG = 0x20;

struct FT_DEVICE_LIST_INFO_NODE {
    uint32_t Flags;
    uint32_t Type;
    uint32_t ID;
    uint32_t LocId;
    char SerialNumber[16];
    char Description[64];
    FT_HANDLE ftHandle;
};

FT_STATUS FT_CreateDeviceInfoList(uint32_t* numDevs);
FT_STATUS FT_GetDeviceInfoList(FT_DEVICE_LIST_INFO_NODE* dest, uint32_t* numDevs);
FT_STATUS FT_Open(int deviceNumber, FT_HANDLE* handle);
FT_STATUS FT_Close(FT_HANDLE handle);
FT_STATUS FT_GetDeviceInfo(FT_HANDLE handle, uint32_t* type, uint32_t* id, char* serialNumber,
                           char* description, void* dummy);
FT_STATUS FT_GetBitMode(FT_HANDLE handle, uint8_t* mode);
FT_STATUS FT_SetBitMode(FT_HANDLE handle, uint8_t mask, uint8_t enable);
FT_STATUS FT_Purge(FT_HANDLE handle, uint32_t mask);
FT_STATUS FT_SetBaudRate(FT_HANDLE handle, uint32_t baudRate);
FT_STATUS FT_SetDataCharacteristics(FT_HANDLE handle, uint8_t wordLength, uint8_t stopBits,
                                    uint8_t parity);
FT_STATUS FT_SetFlowControl(FT_HANDLE handle, uint16_t flowControl, uint8_t xon, uint8_t xoff);
FT_STATUS FT_SetTimeouts(FT_HANDLE handle, uint32_t readTimeout, uint32_t writeTimeout);
FT_STATUS FT_SetLatencyTimer(FT_HANDLE handle, uint8_t timer);
FT_STATUS FT_Read(FT_HANDLE handle, void* buffer, uint32_t bytesToRead, uint32_t* bytesReturned);
FT_STATUS FT_Write(FT_HANDLE handle, const void* buffer, uint32_t bytesToWrite,
                   uint32_t* bytesWritten);
FT_STATUS FT_GetQueueStatus(FT_HANDLE handle, uint32_t* rxBytes);
FT_STATUS FT_GetStatus(FT_HANDLE handle, uint32_t* rxBytes, uint32_t* txBytes,
                       uint32_t* eventStatus);
