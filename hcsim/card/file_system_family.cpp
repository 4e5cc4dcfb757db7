#include "hcsim/card/file_system_family.h"

#include <cstdlib>
#include <string_view>

namespace hcsim {

namespace {

Bytes statusValue(CardStatus status) {
    Bytes value;
    appendLe32(value, static_cast<uint32_t>(status));
    return value;
}

Bytes entryValue(const CardEntry& e) {
    Bytes value = statusValue(kCardOk);
    appendLe32(value, e.size);
    appendLe16(value, e.stamp.time);
    appendLe16(value, e.stamp.date);
    value.push_back(e.attributes);
    for (size_t i = 0; i < 12; ++i)
        value.push_back(i < e.shortName.size() ? static_cast<uint8_t>(e.shortName[i]) : 0);
    return value;
}

uint32_t le32(const Bytes& v) {
    return uint32_t(v[0]) | uint32_t(v[1]) << 8 | uint32_t(v[2]) << 16 | uint32_t(v[3]) << 24;
}

std::optional<uint64_t> byteCount(const std::vector<std::string>& words, size_t at) {
    if (words.size() <= at) return std::nullopt;
    const std::string& w = words[at];
    char* end = nullptr;
    unsigned long long v = std::strtoull(w.c_str(), &end, 0);
    if (w.empty() || w[0] == '-' || *end) return std::nullopt;
    return v;
}

}  // namespace

void FileSystemFamily::addCommands(HcMode mode, CommandTable& table) {
    if (mode != HcMode::Firmware) return;
    table.add({protocol::kFileSystem,
               {{kCurrentDir, 0},
                {kChangeDir, 0},
                {kOpenDir, 0},
                {kReadDir, 1},
                {kDelete, 4},
                {kOpen, 1},
                {kRead, 2},
                {kWrite, 0},
                {kClose, 0}},
               kPieceLimit,
               [this](const Call& call, Answer& answer) { handle(call, answer); }});
}

void FileSystemFamily::handle(const Call& call, Answer& answer) {
    const Message& m = call.message;
    if (m.params.empty()) return;  // nothing asked, nothing answered
    const Param& p = m.params.front();
    std::string_view path(reinterpret_cast<const char*>(m.bulk.data()), m.bulk.size());
    auto reply = [&](CardStatus status) { answer.add(p.id, statusValue(status)); };
    switch (p.id) {
        case kCurrentDir: {
            std::string current;
            CardStatus status = card_.currentDir(current);
            reply(status);
            if (status == kCardOk) answer.addBulk(Bytes(current.begin(), current.end()));
            break;
        }
        case kChangeDir:
            reply(card_.changeDir(path));
            break;
        case kOpenDir:
            reply(card_.openDir(path));
            break;
        case kReadDir: {
            std::optional<CardEntry> entry;
            CardStatus status = card_.readDir(entry);
            if (status != kCardOk || !entry) {
                reply(status);
                break;
            }
            answer.add(kReadDir, entryValue(*entry));
            // Entries whose long name is their short name have none of their own on FAT.
            if (entry->longName != entry->shortName)
                answer.addBulk(Bytes(entry->longName.begin(), entry->longName.end()));
            break;
        }
        case kDelete:
            reply(card_.remove(path, le32(p.value) == kDeleteConfirmation));
            break;
        case kOpen:
            reply(card_.open(path, p.value[0]));
            break;
        case kRead: {
            Bytes data;
            CardStatus status = card_.read(size_t(p.value[0] | p.value[1] << 8), data);
            reply(status);
            if (!data.empty()) answer.addBulk(std::move(data));
            break;
        }
        case kWrite:
            reply(card_.write(m.bulk.data(), m.bulk.size()));
            break;
        case kClose:
            reply(card_.close(call.at));
            break;
    }
}

std::optional<std::string> FileSystemFamily::control(const std::vector<std::string>& words,
                                                     platform::TimePoint, Bytes&) {
    if (words.empty()) return std::nullopt;
    if (words[0] == "card") {
        if (words.size() == 1) return "ok " + card_.describe();
        if (words.size() == 2 && words[1] == "pull") {
            card_.pull();
            return std::string("ok");
        }
        if (words.size() == 2 && words[1] == "insert")
            return card_.insert() ? "ok" : "error: this HC has no card folder (--card DIR)";
        return std::string("error: usage: card [pull|insert]");
    }
    if (words[0] != "fault" || words.size() < 2) return std::nullopt;
    const std::string& kind = words[1];
    if (kind == "clear") {
        card_.clearFaults();
        return std::nullopt;  // the HC's own faults are cleared and answered after this
    }
    if (kind != "card-full" && kind != "card-pulled") return std::nullopt;
    std::optional<uint64_t> bytes = words.size() == 2   ? std::optional<uint64_t>(0)
                                    : words.size() == 3 ? byteCount(words, 2)
                                                        : std::nullopt;
    if (!bytes) return "error: usage: fault " + kind + " [BYTES]";
    if (kind == "card-full") {
        card_.setFreeSpace(*bytes);
    } else if (*bytes == 0 && words.size() == 2) {
        card_.pull();
    } else {
        card_.pullAfter(*bytes);
    }
    return std::string("ok");
}

std::string FileSystemFamily::controlHelp() const {
    return "card [pull|insert] | fault card-full [FREE_BYTES] | fault card-pulled [AFTER_BYTES]";
}

}  // namespace hcsim
