#include "vt5api/api/vt5_errors.h"

namespace {

struct ErrorRow {
    int32_t code;
    const char* text;
};

// In this order; the lookup takes the first match.
constexpr ErrorRow kErrors[] = {
    {0, "OK"},
    {-65536,
     "Invalid return value returned by an API fuction. (Should not happen for normal use.)"},
    {-1, "Invalid handle is given for the C API function"},
    {1, "Can not open device"},
    {2, "FTDI handle/object is not created"},
    {3, "Out of memory"},
    {9, "Error in communication (FT230)"},
    {4, "TCP/IP communication error"},
    {8, "Server-Client's lock/unlock command has failed"},
    {10, "Invalid VT5 command code"},
    {11, "VT5 command is too long"},
    {12, "Device mode has been changed"},
    {13, "Device has been powered off"},
    {14, "Device has sent an unknown async. message code, error"},
    {30, "Invalid answer got for VT5 command"},
    {31, "Wrong answer ID received for VT5 command"},
    {32, "Wrong counter value received for VT5 command"},
    {33, "Unknown answer type received for VT5 command"},
    {34, "Too short answer for VT5 command"},
    {35, "Failed to read protocol version at initialization"},
    {50, "VT5 cmd. counter value mismatch"},
    {51, "Unknown parameter"},
    {52, "Too many parameters"},
    {53, "Too many bytes sent"},
    {54, "Too few bytes received"},
    {55, "Too many bytes received"},
    {56, "Unknown answer parameter"},
    {57, "No answer parameter got"},
    {58, "Bad length of a parameter in the answer"},
    {66, "Can't execute command on device"},
    {70, "An embedded function is being executed"},
    {75, "Variable size mismatch"},
    {76, "Variable not found"},
    {77, "Change of the Variable is prohibited now"},
    {90, "The function requires BOOT mode"},
    {100, "Update has been done but fw. byte count mismatch was detected"},
    {101, "Internal fault in Update procedure"},
    {102, "Update is prohibited"},
    {104, "Update has failed"},
    {106, "Failed to start Camera for updating"},
    {107, "No space for firmware"},
    {200, "Wrong argument given for an API function"},
    {201, "Command code is not supported by the device firmware"},
    {202, "Parameter for Command is not supported by the device firmware"},
    {203, "Wrong parameter size given for the device firmware"},
    {204, "Message size has overrun"},
    {300, "API is in wrong mode (Direct/Server/Client)"},
    {301, "Can not create API Server"},
    {302, "TCP/IP stack has not been initialized or failed"},
    {303, "Protocol failure between Client and Server"},
    {350, "Can not connect to the API Server"},
    {352, "The Client is not connected to a Server"},
    {360, "The API Server has refused or closed the connection"},
    {400, "API function can't be called in this state"},
    {901, "Can't access Windows' clipboard"},
    {902, "Bitmap error during the operation"},
};

static_assert(sizeof kErrors / sizeof kErrors[0] == 56);

}  // namespace

const char* VT5_GetErrorText(int32_t code) {
    for (const ErrorRow& row : kErrors)
        if (row.code == code) return row.text;
    return "(unknown error code)";
}
