#include "hcsim/hc/command_table.h"

#include <algorithm>

namespace hcsim {

const ParamSpec* CommandSpec::param(uint8_t id) const {
    for (const ParamSpec& p : params)
        if (p.id == id) return &p;
    return nullptr;
}

void CommandTable::add(CommandSpec spec) {
    for (CommandSpec& known : commands_) {
        if (known.code != spec.code) continue;
        for (const ParamSpec& p : spec.params)
            if (!known.param(p.id)) known.params.push_back(p);
        known.bulkLimit = std::max(known.bulkLimit, spec.bulkLimit);
        if (!known.handler) known.handler = std::move(spec.handler);
        return;
    }
    commands_.push_back(std::move(spec));
}

void CommandTable::merge(const CommandTable& other) {
    for (const CommandSpec& spec : other.commands_)
        add(spec);
}

const CommandSpec* CommandTable::find(uint8_t code) const {
    for (const CommandSpec& spec : commands_)
        if (spec.code == code) return &spec;
    return nullptr;
}

Bytes CommandTable::encode() const {
    Bytes out;
    out.push_back(static_cast<uint8_t>(commands_.size()));
    for (const CommandSpec& spec : commands_) {
        out.push_back(spec.code);
        out.push_back(static_cast<uint8_t>(spec.params.size()));
        for (const ParamSpec& p : spec.params) {
            out.push_back(p.id);
            out.push_back(p.size);
        }
    }
    return out;
}

}  // namespace hcsim
