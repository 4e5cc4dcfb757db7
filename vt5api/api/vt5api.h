#pragma once

// The VT5 API: the API context and the functions every program uses on it. Every function
// takes the context first and returns an error code (vt5_errors.h), 0 for success; none
// throws. Out-arguments may be null unless a comment says otherwise.

#include <cstddef>
#include <cstdint>
#include <functional>
#include <list>
#include <memory>
#include <vector>

#include "vt5api/api/vt5_errors.h"
#include "vt5api/link/vt5link.h"
#include "vt5api/protocol/vt5msg.h"

constexpr int32_t VT5_DEFAULT_PORT = 5937;
constexpr int32_t VT5_API_VERSION = 0x0120;
constexpr int32_t VT5_BULK_BUFFER_SIZE = 165200;

// One free HC, as VT5_ListDevices hands it out.
struct VT5DeviceListEntry {
    uint32_t location;
    char serial[9];
    char description[65];
};

// The API context: one per connection. Programs use it only through the VT5_ and VT5cmd_
// functions; its members are the state those functions share.
class CVT5Api {
public:
    CVT5Api();
    ~CVT5Api();
    CVT5Api(const CVT5Api&) = delete;
    CVT5Api& operator=(const CVT5Api&) = delete;

    std::unique_ptr<CVT5Link> link;
    char serial[9] = {};
    char serverAddress[256] = {};
    int32_t serverPort = 0;
    char clientName[32] = {};
    CVT5Msg command;
    CVT5Msg answer;

    // Bulk data arriving with an answer.
    int32_t bulkAnnounced = 0;
    int32_t bulkBuffered = 0;
    int32_t bulkReceived = 0;
    const uint8_t* bulkData = nullptr;
    // Streamed bulk data of the last answer still on the link; the reader counts it down, and
    // what is left unread puts the link out of step.
    int32_t bulkOnLink = 0;

    VT5CommandTable commandTable;
    std::unique_ptr<uint8_t[]> bulkBuffer;
    std::list<std::vector<uint8_t>> receivedBlocks;

    int32_t reconnectDelay = 0;
    int32_t firstConnection = 1;
    int32_t protocolVersion = -1;
    int32_t secondProtocolWord = 0;
    int32_t bootFlag = 0;

    bool IsConnected() const { return link && link->IsOpen() && protocolVersion >= 0; }
    // Reconnect delay 0, first-connection flag 1, no handshake, no bulk data, the link's
    // description-match mode 3, command counter 1, supported-command table cleared.
    void ResetProtocolState();
    // What an asynchronous message (12, 13 or 14) does to the connection; returns the code
    // the command fails with.
    int32_t ReactToAsync(int32_t code);

    // --- building and exchanging command messages (protocol/) ------------------------------
    // Starts a command message; 201 when the supported-command table lacks the code.
    int32_t BeginCommand(uint8_t code);
    // Appends a parameter entry (value may be null for none); 202, 203 or 204.
    int32_t AddParam(uint8_t id, const void* value, int32_t size);
    int32_t AppendBytes(const void* data, int32_t count) {
        return command.AppendBytes(data, count);
    }
    // Appends the bulk entry; the data is written right after the message.
    int32_t AttachBulk(const void* data, int32_t size);
    int32_t SendCommand();
    int32_t ReceiveAnswer();
    int32_t ReceiveAnswerEntries();
    int32_t Exchange();
    // The entry of the last answer with this id: [id, value length, value...], or null.
    const uint8_t* FindAnswerParam(uint8_t id) const;
    // Reads one answer message into `answer`, taking in asynchronous messages before it.
    int32_t ReadAnswerMessage();

    // --- connecting (protocol/connection.cpp) ----------------------------------------------
    int32_t DirectConnect(const char* serialArg);
    int32_t ClientConnect();
    int32_t Handshake();

    // Runs a command function's body in the fixed sequence: ensure the connection, lock the
    // section (Client mode), body (argument checks, message, exchange, answer checks),
    // unlock with the section on failure or 0 on success.
    int32_t RunCommand(uint16_t section, const std::function<int32_t()>& body);
};

// Sets the link's time-outs for a scope and puts the former values back at its end.
class ScopedLinkTimeouts {
public:
    ScopedLinkTimeouts(CVT5Link& link, int32_t readMs, int32_t writeMs) : link_(link) {
        link_.SetTimeouts(readMs, writeMs, &read_, &write_);
    }
    ~ScopedLinkTimeouts() { link_.SetTimeouts(read_, write_); }
    ScopedLinkTimeouts(const ScopedLinkTimeouts&) = delete;
    ScopedLinkTimeouts& operator=(const ScopedLinkTimeouts&) = delete;

private:
    CVT5Link& link_;
    int32_t read_ = -1;
    int32_t write_ = -1;
};

int32_t VT5_Open(CVT5Api* api, const char* serial, const char* serverAddress, int32_t port,
                 const char* clientName);
int32_t VT5_Close(CVT5Api* api);
bool VT5_IsOpen(CVT5Api* api);
// The open HC's serial / description into text (size bytes, terminated); 9 when empty.
int32_t VT5_GetSerial(CVT5Api* api, char* text, size_t size);
int32_t VT5_GetDescription(CVT5Api* api, char* text, size_t size);
int32_t VT5_SetTimeouts(CVT5Api* api, int32_t readMs, int32_t writeMs, int32_t* prevReadMs,
                        int32_t* prevWriteMs);
// The HCs on this PC that nobody holds. Release the array with VT5_FreeDeviceList.
// 1 when there are no FTDI devices at all, 300 in Client mode, 400 while the link is open.
int32_t VT5_ListDevices(CVT5Api* api, int32_t* count, VT5DeviceListEntry** list);
int32_t VT5_FreeDeviceList(VT5DeviceListEntry* list);
int32_t VT5_GetProtocolInfo(CVT5Api* api, int32_t* bootFlag, int32_t* protocolVersion,
                            int32_t* secondProtocolWord);
int32_t VT5_GetVersion();
// Reopens or re-handshakes as needed; every command function starts with it.
int32_t VT5_EnsureConnection(CVT5Api* api);
