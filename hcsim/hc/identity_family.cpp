#include "hcsim/hc/identity_family.h"

namespace hcsim {

void IdentityFamily::addCommands(HcMode mode, CommandTable& table) {
    (void)mode;  // the same in both modes
    table.add({protocol::kIdentity,
               {{kProtocolWords, 0},
                {kCommandTable, 0},
                {kUniqueId, 0},
                {kHardwareId, 0},
                {kDeviceText, 0}},
               0,
               [this](const Call& call, Answer& answer) { handle(call, answer); }});
}

void IdentityFamily::handle(const Call& call, Answer& answer) const {
    for (const Param& p : call.message.params) {
        switch (p.id) {
            case kProtocolWords: {
                bool boot = call.mode == HcMode::Boot;
                Bytes words;
                appendLe16(words, boot ? config_.bootVersion : config_.firmwareVersion);
                appendLe16(words, boot ? config_.bootWord2 : config_.firmwareWord2);
                answer.add(boot ? kBootProtocolWords : kProtocolWords, words);
                break;
            }
            case kCommandTable:
                answer.add(kCommandTable);
                answer.addBulk(call.table.encode());
                break;
            case kUniqueId: {
                Bytes value;
                for (uint32_t word : chipIdOf(config_))
                    appendLe32(value, word);
                auto unique = uniqueIdOf(config_);
                value.insert(value.end(), unique.begin(), unique.end());
                answer.add(kUniqueId, value);
                break;
            }
            case kHardwareId:
                answer.add(kHardwareId, {config_.hardwareId});
                break;
            case kDeviceText:
                answer.add(kDeviceText, config_.deviceText.data(), config_.deviceText.size());
                break;
        }
    }
}

}  // namespace hcsim
