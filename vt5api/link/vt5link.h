#pragma once

// CVT5Link, the link object: moves raw bytes between the PC and the HC's FT230 chip through
// the FT_* operations (Direct and Server mode) or over TCP to an API server (Client mode),
// finds HCs among the FTDI devices, opens one by its serial, drives the chip's CBUS pins as
// control lines and keeps the text of its last failure. Operations return 0 on success and
// 1 on failure unless their comment says otherwise; a failure leaves a text in the link.
// One thread at a time uses a link object.

#include <chrono>
#include <cstdint>
#include <functional>
#include <memory>
#include <vector>

#include "platform/ftd2xx/ftd2xx.h"
#include "platform/posix/unique_fd.h"
#include "vt5api/link/network_access.h"

class CVT5Api;
struct VT5ServerState;
struct VT5ServerClient;

// Link modes.
constexpr int32_t VT5_MODE_DIRECT = 0;
constexpr int32_t VT5_MODE_SERVER = 1;
constexpr int32_t VT5_MODE_CLIENT = 2;

// The HC's USB ID: vendor 0x0403, product 0x6015.
constexpr uint32_t VT5_HC_USB_ID = 0x04036015;

// CBUS pins used as the HC's control lines.
constexpr int32_t VT5_CBUS_ESC = 2;    // CBUS 1
constexpr int32_t VT5_CBUS_RESET = 8;  // CBUS 3

class CVT5Link {
public:
    CVT5Link();
    ~CVT5Link();
    CVT5Link(const CVT5Link&) = delete;
    CVT5Link& operator=(const CVT5Link&) = delete;

    // --- device list -----------------------------------------------------------------------
    // Which descriptions Poll accepts: 0 any, 1 the Veltra-5 names, 2 "USB <-> Serial
    // Converter", 3 "Veltra-5 HandController", other values none.
    void SetPollMode(int32_t mode) { pollMode_ = mode; }
    int32_t PollMode() const { return pollMode_; }
    // Index of the HC to open in the driver's device list, or -1. Closes an open device.
    int32_t Poll(const char* serial);
    // Fills the device list with every HC nobody holds; 0 and the count, or -1.
    int32_t PollAll(int32_t* count);
    const FT_DEVICE_LIST_INFO_NODE* GetListItem(int32_t index) const;
    void FreeList();

    // --- USB connection --------------------------------------------------------------------
    // 0; 1 when no HC matches; otherwise the failing driver status. Close runs the TCP
    // disconnect in Client mode.
    int32_t Open(const char* serial);
    int32_t Close();
    // Client mode: the TCP connection exists; other modes: a USB device is open.
    bool IsOpen() const;

    int32_t SetDataFormat(uint8_t dataBits, uint8_t stopBits, uint8_t parity);
    int32_t SetBaudRate(int32_t baud);
    int32_t SetRTSCTS(bool on);
    // A negative value keeps that time-out; the outputs (optional) get the values in force
    // before the call.
    int32_t SetTimeouts(int32_t readMs, int32_t writeMs, int32_t* prevReadMs = nullptr,
                        int32_t* prevWriteMs = nullptr);
    int32_t SetLatencyTimer(int32_t ms);
    // The open device's serial / description, or the empty text on failure.
    const char* QuerySerial();
    const char* QueryDescr();
    int32_t FlushInBuffer();
    int32_t FlushOutBuffer();

    // Bytes written (all of them), or 0 on failure.
    int32_t Write(const void* data, int32_t length);
    int32_t WriteByte(uint8_t value);
    // Bytes read, fewer when the read time-out ran out first; 0 on failure. A null buffer
    // discards the bytes. In Client mode relayedChunks (optional) counts the answer chunks
    // that carried bytes from the server's relay queue.
    int32_t Read(void* buffer, int32_t length, int32_t* relayedChunks = nullptr);
    // Bytes waiting in the receive / transmit queue; 0 on failure.
    int32_t QueryReadBufLen();
    int32_t QueryWriteBufLen();
    // Direct and Server mode: an open device that no longer answers the driver at all (it was
    // unplugged). False when no device is open.
    bool DeviceGone();
    // After a failure that leaves the framing of the HC's byte stream unknown (an answer cut
    // short or refused, bulk data left unread, an answer whose reader went away) the link is
    // out of step until DiscardPending has thrown away what the HC still sends.
    void MarkOutOfStep() { outOfStep_ = true; }
    bool OutOfStep() const { return outOfStep_; }
    // Direct and Server mode: purges the receive queue and keeps purging until the line has
    // been silent for 20 ms, for at most 5 s; 0, or 1 with the failure text. Client mode: the
    // server does this before another exchange reaches the HC; 0.
    int32_t DiscardPending();

    // CBUS pins in `bits` (low 4 bits) become outputs at the matching `levels`.
    int32_t SetBitOutput(int32_t bits, int32_t levels);
    // CBUS pins in `bits` become inputs.
    int32_t SetBitInput(int32_t bits);

    // The HC's line set-up after Open: flushes, latency 2 ms, 1000/1000 ms time-outs, all CBUS
    // pins inputs, RTS/CTS, 8N1; with `resync`, the zero byte at 9600 baud and 550 ms of
    // quiet, after which `afterResync` runs; then 3,000,000 baud and the receive queue
    // drained. Stops at the first failure: 0 or 1.
    int32_t SetupLineForHC(bool resync, const std::function<void()>& afterResync);

    // --- TCP client (Client mode); results are API error codes ------------------------------
    // Connects, checks the server's version and announces the application ID (may be null).
    int32_t ConnectToServer(const char* host, int32_t port, const char* applicationId);
    // The TCP disconnect: back to Direct mode.
    int32_t Disconnect();
    bool HasClientSocket() const { return clientSocket_.valid(); }
    // Takes an already connected stream socket as the connection to a server, without the
    // connect handshake (tests and fuzzing drive the client this way).
    void AttachClientSocket(platform::UniqueFd socket);
    // Client mode: the bytes the server holds for this client; other modes: the USB count.
    int32_t QueryReadBufLen(int32_t* count);
    // The HC's identity as the server found it; table receives the supported-command table.
    int32_t OpenDevice(uint16_t* modeWord, uint16_t* protocolVersion, uint16_t* secondWord,
                       std::vector<uint8_t>* table);
    int32_t SystemChange(uint8_t type);
    int32_t LinePulse(uint8_t line, int32_t ms);
    int32_t AsyncRelay(const uint8_t* bytes, int32_t count);
    int32_t Lock(uint16_t sectionCode);
    int32_t Unlock(uint16_t sectionCode);
    int LastSocketError() const { return lastSocketError_; }

    // --- server side (Server mode) --------------------------------------------------------
    // Where the next start listens and whose connections it serves (default: every IPv4
    // address, anyone). A connection from outside the allowed networks is closed at once.
    void SetServerAccess(VT5ServerAccess access) { access_ = std::move(access); }
    const VT5ServerAccess& ServerAccess() const { return access_; }
    // Listens on port (0 = 5937, written back) for clients and serves servedSerial (may be
    // empty: any HC). 0, 300 or 4; after 4 the error text says why no socket could listen
    // (the port in use, and by which process when that is visible).
    int32_t StartServer(uint16_t& port, const char* servedSerial);
    // Server mode without a listening socket: only adopted clients are served (tests and
    // fuzzing drive the request handling this way, without ports). 0 or 300.
    int32_t StartServerUnlistened(const char* servedSerial);
    // Serves an already connected stream socket as a client, as if it had been accepted.
    // False outside Server mode or when the client list is full.
    bool AdoptServerClient(platform::UniqueFd socket);
    int32_t PollServer();
    int32_t StopServer();
    // The number of clients; fills entries (when given) in list order.
    int32_t GetServerClients(VT5ServerClient* entries) const;
    // Appends bytes to the relay queue of every client but the excluded one (-1: none).
    void Broadcast(const uint8_t* bytes, int32_t count, int excludedClient);
    // Lock free, all sections free, no resync pending: the HC was (re-)identified.
    void ResetAccessState();
    // The server's state (client records, lock, sections, queues) for tests and diagnostics;
    // null before the first start. Read it only on the server's thread.
    const VT5ServerState* ServerState() const { return server_.get(); }
    // Receives a line of text for each client arrival and departure, refusal, lock time-out
    // and resynchronisation of the server (called on the server's thread).
    void SetServerLog(std::function<void(const char*)> log) { serverLog_ = std::move(log); }

    // --- failure state ---------------------------------------------------------------------
    const char* GetErrorText() const { return errorText_; }
    int32_t LastErrorCode() const { return lastErrorCode_; }
    bool TimedOut() const { return timedOut_ != 0; }
    FT_STATUS LastDriverStatus() const { return lastStatus_; }

    // --- state kept for the API context and the API server ---------------------------------
    int32_t Mode() const { return mode_; }
    void SetMode(int32_t mode) { mode_ = mode; }
    CVT5Api* ApiContext() const { return api_; }
    void SetApiContext(CVT5Api* api) { api_ = api; }
    const char* OpenSerial() const { return openSerial_; }
    int32_t ReadTimeout() const { return readTimeout_; }
    int32_t WriteTimeout() const { return writeTimeout_; }
    int32_t CbusMask() const { return cbusMask_; }
    int32_t CbusLevels() const { return cbusLevels_; }

    // Copies of what the HC reported at the handshake.
    void SetHandshakeCopy(int32_t bootFlag, int32_t protocolVersion, int32_t secondWord,
                          std::vector<uint8_t> commandTable);
    int32_t BootFlagCopy() const { return bootFlag_; }
    int32_t ProtocolVersionCopy() const { return protocolVersion_; }
    int32_t SecondProtocolWordCopy() const { return secondWord_; }
    int32_t CommandTableLength() const { return static_cast<int32_t>(commandTable_.size()); }
    const std::vector<uint8_t>& CommandTable() const { return commandTable_; }

private:
    void SetPlainError(const char* text);
    void SetFormattedError(const char* text);
    bool CheckOpen(const char* operation);
    void ClearHandshakeCopy();
    int32_t LoadDeviceList(const char* memoryText, uint32_t& count);
    int32_t ReadDiscard(int32_t length);
    int32_t SetBitMode(uint8_t maskByte);
    int32_t UsbRead(void* buffer, int32_t length);
    int32_t ReadOnce(void* buffer, int32_t length);
    bool UsbQueryInfo(const char* operation);
    int32_t UsbSetTimeouts(int32_t readMs, int32_t writeMs, int32_t* prevReadMs,
                           int32_t* prevWriteMs);

    // TCP client helpers.
    int32_t SocketFailure();
    int32_t SendRequest(uint16_t code, const void* payload, size_t size);
    int32_t ReceiveAnswerMessage(uint32_t& identifier, uint32_t& length);
    int32_t ControlRequest(uint16_t code, const void* payload, size_t size, uint32_t& length);
    int32_t ClientWrite(const void* data, int32_t length);
    int32_t ClientRead(void* buffer, int32_t length, int32_t* relayedChunks);
    const char* ClientQuery(uint16_t code, char* dest, size_t destSize, size_t maxCopy,
                            const char* operation);
    int32_t ClientSetTimeouts(int32_t readMs, int32_t writeMs, int32_t* prevReadMs,
                              int32_t* prevWriteMs);
    int32_t LockRequest(uint16_t code, uint16_t sectionCode);

    // Server helpers (vt5link_server.cpp, server_requests.cpp).
    friend class VT5ServerRequest;
    bool OpenListeners(uint16_t port);
    void AcceptClient(int listener);
    // Logs why (null: the client disconnected between requests, as clients end).
    void RemoveClient(int index, const char* why);
    void LetDeviceGo(const char* why);
    void DropLateClients(std::chrono::steady_clock::time_point now);
    void LetDeviceGoIfGone();
    void ServerLog(const char* format, ...) __attribute__((format(printf, 2, 3)));
    bool ResyncLine();

    FT_STATUS lastStatus_ = FT_OK;
    FT_HANDLE handle_ = nullptr;
    char openSerial_[9] = {};
    int32_t bootFlag_ = 0;
    int32_t protocolVersion_ = 0;
    int32_t secondWord_ = 0;
    std::vector<uint8_t> commandTable_;
    int32_t pollMode_ = 0;
    std::vector<FT_DEVICE_LIST_INFO_NODE> deviceList_;
    bool haveList_ = false;
    uint32_t deviceCount_ = 0;
    char querySerial_[17] = {};
    char queryDescr_[65] = {};
    char errorText_[1024] = {};
    int32_t lastErrorCode_ = 0;
    int32_t timedOut_ = 0;
    int32_t readTimeout_ = 5000;
    int32_t writeTimeout_ = 5000;
    int32_t cbusMask_ = 0;
    int32_t cbusLevels_ = 0;
    bool outOfStep_ = false;
    CVT5Api* api_ = nullptr;
    int32_t mode_ = VT5_MODE_DIRECT;

    // TCP client.
    int lastSocketError_ = 0;
    bool socketsInitialised_ = false;
    platform::UniqueFd clientSocket_;
    std::vector<uint8_t> receiveBuffer_;

    // Server side.
    VT5ServerAccess access_;
    std::unique_ptr<VT5ServerState> server_;
    std::function<void(const char*)> serverLog_;
};
