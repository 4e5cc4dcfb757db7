#pragma once

#include <algorithm>
#include <deque>
#include <vector>

#include "platform/ftd2xx/vbus/device.h"

namespace vt5test {

// An HC that answers the handshake (firmware or BOOT mode, with a given command table) and
// every protocol query (0xF8 with 0x01) by itself, and each other command with the next
// scripted answer, its ID and counter filled in from the command: for answers no healthy HC
// gives. A command without a scripted answer goes unanswered. Bulk data that a command announces
// is taken as part of it (commands() shows it after the command's bytes).
class ScriptedHc final : public platform::vbus::Device {
public:
    ScriptedHc(bool boot, uint16_t version, std::vector<uint8_t> table)
        : boot_(boot), version_(version), table_(std::move(table)) {}

    // type, then the parameter entries (id, length, value...); bulk bytes sent after it.
    void script(uint8_t type, std::vector<uint8_t> entries, std::vector<uint8_t> bulk = {}) {
        answers_.push_back({type, std::move(entries), std::move(bulk)});
    }
    // Entries of the answer to protocol queries after the handshake (default: 0x01 or 0x03).
    void protocolEntries(std::vector<uint8_t> entries) { protocol_ = std::move(entries); }
    const std::vector<std::vector<uint8_t>>& commands() const { return commands_; }

    void onReceive(const uint8_t* data, size_t count, const platform::vbus::LineSettings& line,
                   platform::TimePoint, platform::vbus::Bytes& out) override {
        if (line.baud != 3000000) return;
        if (bulkLeft_ > 0) {
            // The bulk data of the last command: it belongs to that command.
            size_t n = std::min(count, bulkLeft_);
            commands_.back().insert(commands_.back().end(), data, data + n);
            bulkLeft_ -= n;
            return;
        }
        if (count < 2) return;
        std::vector<uint8_t> command(data, data + count);
        bulkLeft_ = announcedBulk(command);
        if (command == std::vector<uint8_t>{0xF8, 0x01, 0x01, 0xFF} && protocol_.empty()) {
            out = {0xF8,
                   0x01,
                   0x00,
                   0x0B,
                   0x00,
                   uint8_t(boot_ ? 0x03 : 0x01),
                   0x04,
                   uint8_t(version_),
                   uint8_t(version_ >> 8),
                   0x01,
                   0x00};
            return;
        }
        if (command == std::vector<uint8_t>{0xF8, 0x02, 0x0A, 0xFF}) {
            auto n = static_cast<uint32_t>(table_.size());
            out = {0xF8,
                   0x02,
                   0x00,
                   0x0F,
                   0x00,
                   0x0A,
                   0x00,
                   0xFC,
                   0x04,
                   uint8_t(n),
                   uint8_t(n >> 8),
                   uint8_t(n >> 16),
                   uint8_t(n >> 24),
                   0xFD,
                   0x00};
            out.insert(out.end(), table_.begin(), table_.end());
            return;
        }
        commands_.push_back(command);
        Scripted next;
        if (command.size() == 4 && command[0] == 0xF8 && command[2] == 0x01) {
            next.entries = protocol_;
            if (next.entries.empty())
                next.entries = {uint8_t(boot_ ? 0x03 : 0x01), 4,    uint8_t(version_),
                                uint8_t(version_ >> 8),       0x01, 0x00};
        } else if (!answers_.empty()) {
            next = answers_.front();
            answers_.pop_front();
        } else {
            return;
        }
        auto length = static_cast<uint16_t>(5 + next.entries.size());
        out = {command[0], command[1], next.type, uint8_t(length), uint8_t(length >> 8)};
        out.insert(out.end(), next.entries.begin(), next.entries.end());
        out.insert(out.end(), next.bulk.begin(), next.bulk.end());
    }

private:
    // The size a bulk entry (FC and 4 bytes) of the command announces; the entries are cut by
    // the sizes of the command table.
    size_t announcedBulk(const std::vector<uint8_t>& c) const {
        for (size_t i = 2; i < c.size() && c[i] != 0xFF;) {
            if (c[i] == 0xFC) {
                if (i + 4 >= c.size()) return 0;
                return c[i + 1] | c[i + 2] << 8 | c[i + 3] << 16 | size_t(c[i + 4]) << 24;
            }
            int size = paramSize(c[0], c[i]);
            if (size < 0) return 0;
            i += 1 + static_cast<size_t>(size);
        }
        return 0;
    }
    int paramSize(uint8_t code, uint8_t id) const {
        size_t pos = 1;
        for (int n = 0; n < table_[0] && pos + 1 < table_.size(); ++n) {
            const uint8_t entries = table_[pos + 1];
            for (size_t e = 0; e < entries && pos + 3 + 2 * e < table_.size(); ++e)
                if (table_[pos] == code && table_[pos + 2 + 2 * e] == id)
                    return table_[pos + 3 + 2 * e];
            pos += 2 + 2 * size_t(entries);
        }
        return -1;
    }

    bool boot_;
    uint16_t version_;
    std::vector<uint8_t> table_;
    struct Scripted {
        uint8_t type = 0;
        std::vector<uint8_t> entries;
        std::vector<uint8_t> bulk;
    };
    std::deque<Scripted> answers_;
    std::vector<uint8_t> protocol_;
    std::vector<std::vector<uint8_t>> commands_;
    size_t bulkLeft_ = 0;
};

}  // namespace vt5test
