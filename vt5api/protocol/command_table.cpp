#include "vt5api/protocol/command_table.h"

bool ParseCommandTable(const uint8_t* data, size_t size, VT5CommandTable& table) {
    table.clear();
    if (size < 1) return false;
    size_t pos = 1;
    for (unsigned n = data[0]; n > 0; --n) {
        if (size - pos < 2) return false;
        uint8_t code = data[pos];
        unsigned params = data[pos + 1];
        pos += 2;
        if (size - pos < params * 2u) return false;
        VT5ParamSizes& entry = table[code];
        for (unsigned i = 0; i < params; ++i, pos += 2)
            entry[data[pos]] = data[pos + 1];
    }
    return true;
}
