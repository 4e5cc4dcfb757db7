#pragma once

#include <cstdint>
#include <functional>
#include <vector>

#include "hcsim/hc/answer.h"
#include "hcsim/hc/message.h"

namespace hcsim {

class CommandTable;

// A command being carried out: the message, and the state of the HC it needs.
struct Call {
    const Message& message;
    HcMode mode;
    const CommandTable& table;  // the supported-command table of that mode
    platform::TimePoint at;
};

using Handler = std::function<void(const Call&, Answer&)>;

struct ParamSpec {
    uint8_t id = 0;
    uint8_t size = 0;  // value bytes that follow the id in a command message
};

struct CommandSpec {
    uint8_t code = 0;
    std::vector<ParamSpec> params;
    uint32_t bulkLimit = 0;  // most bytes of bulk data the command takes; larger: type 20
    Handler handler;         // none yet: the HC lists the command and answers it with type 32

    const ParamSpec* param(uint8_t id) const;
};

// The supported-command table of one mode: what the parser knows of each command and what
// the HC sends at the handshake.
class CommandTable {
public:
    // A code that is there already gains the parameters it lacked (and the larger bulk limit).
    void add(CommandSpec spec);
    void merge(const CommandTable& other);

    const CommandSpec* find(uint8_t code) const;
    const std::vector<CommandSpec>& commands() const { return commands_; }

    // As sent at the handshake: count, then per command its code, parameter count and
    // (id, size) pairs.
    Bytes encode() const;

private:
    std::vector<CommandSpec> commands_;
};

}  // namespace hcsim
