#pragma once

#include <cstdint>
#include <optional>
#include <vector>

#include "platform/ftd2xx/vbus/device.h"

namespace hcsim {

using platform::vbus::Bytes;

// One parameter entry of a command message.
struct Param {
    uint8_t id = 0;
    Bytes value;  // exactly as many bytes as the parameter's size in the command table
};

// A command message as the HC received it, with the bulk data that followed it.
struct Message {
    uint8_t code = 0;
    uint8_t counter = 0;
    std::vector<Param> params;         // in the order received; the bulk entry is not among them
    std::optional<uint32_t> bulkSize;  // set when the message had a bulk entry
    Bytes bulk;                        // the bulk data (empty when refused)
    bool unknownCode = false;          // the code is not supported in the HC's current mode
    uint8_t refusal = 0;               // answer type it is refused with; 0: accepted

    const Param* find(uint8_t id) const {
        for (const Param& p : params)
            if (p.id == id) return &p;
        return nullptr;
    }
};

}  // namespace hcsim
