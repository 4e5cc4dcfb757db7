#include "vt5api/protocol/vt5msg.h"

#include <algorithm>
#include <cstring>

#include "vt5api/api/vt5_errors.h"

int32_t CVT5Msg::AppendBytes(const void* data, int32_t count) {
    if (count <= 0) return VT5_OK;
    int32_t room = VT5_MSG_SIZE - length;
    int32_t n = std::min(count, room);
    if (n > 0) std::memcpy(bytes + length, data, static_cast<size_t>(n));
    length = static_cast<uint16_t>(length + n);
    return n == count ? VT5_OK : VT5_E_MESSAGE_OVERRUN;
}
