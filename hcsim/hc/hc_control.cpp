#include "hcsim/hc/hc_control.h"

#include <cstdlib>
#include <optional>
#include <sstream>
#include <vector>

#include "hcsim/hc/hc_device.h"

namespace hcsim {
namespace {

constexpr const char* kHelp =
    "ok: commands: status | power-off | power-on firmware|boot | mode firmware|boot | reset | "
    "async CODE | fault answer-id ID|counter C|counter-f0|type T|truncate BYTES|stall|"
    "async CODE|bulk SIZE [fd|fe] [N] | fault clear";

constexpr unsigned long kMaxTestBulk = 16ul << 20;

std::optional<unsigned long> number(const std::string& word, unsigned long max) {
    if (word.empty()) return std::nullopt;
    char* end = nullptr;
    unsigned long v = std::strtoul(word.c_str(), &end, 0);
    if (*end || v > max || word[0] == '-') return std::nullopt;
    return v;
}

std::string error(const std::string& text) {
    return "error: " + text;
}

// Parses the words after "fault"; fills the fault and how many answers it applies to.
std::string parseFault(const std::vector<std::string>& w, Fault& fault, int& times) {
    const std::string& kind = w[1];
    size_t values = 0;
    auto byteAt = [&](size_t i) { return i < w.size() ? number(w[i], 255) : std::nullopt; };
    if (kind == "answer-id" || kind == "counter" || kind == "type" || kind == "async") {
        auto v = byteAt(2);
        if (!v) return kind + " needs a byte value";
        auto b = static_cast<uint8_t>(*v);
        fault = kind == "answer-id" ? Fault::wrongAnswerId(b)
                : kind == "counter" ? Fault::wrongCounter(b)
                : kind == "type"    ? Fault::answerType(b)
                                    : Fault::asyncBefore(b);
        values = 1;
    } else if (kind == "counter-f0") {
        fault = Fault::counterF0();
    } else if (kind == "stall") {
        fault = Fault::stall();
    } else if (kind == "truncate") {
        auto v = w.size() > 2 ? number(w[2], 528) : std::nullopt;
        if (!v || *v == 0) return "truncate needs a byte count of 1 to 528";
        fault = Fault::truncated(*v);
        values = 1;
    } else if (kind == "bulk") {
        auto v = w.size() > 2 ? number(w[2], kMaxTestBulk) : std::nullopt;
        if (!v) return "bulk needs a size of at most 16 MiB";
        BulkDelivery how = BulkDelivery::Framed;
        values = 1;
        if (w.size() > 3 && (w[3] == "fd" || w[3] == "fe")) {
            how = w[3] == "fe" ? BulkDelivery::Streamed : BulkDelivery::Framed;
            values = 2;
        }
        fault = Fault::extraBulk(testPattern(*v), how);
    } else {
        return "unknown fault " + kind;
    }
    size_t next = 2 + values;
    if (next < w.size()) {
        auto n = number(w[next], 1000000);
        if (!n || *n == 0 || next + 1 != w.size()) return "bad count after " + kind;
        times = static_cast<int>(*n);
    }
    return {};
}

}  // namespace

std::string runControl(HcDevice& hc, const std::string& command, platform::TimePoint now,
                       platform::vbus::Bytes& out) {
    std::istringstream in(command);
    std::vector<std::string> w;
    for (std::string word; in >> word;)
        w.push_back(word);
    if (w.empty()) return error("empty command");
    const std::string& verb = w[0];
    auto modeArg = [&]() -> std::optional<HcMode> {
        if (w.size() != 2) return std::nullopt;
        auto m = parseMode(w[1]);
        return m == HcMode::Off ? std::nullopt : m;
    };

    // The families' own commands and faults come first; none shares a word with those below.
    for (const auto& family : hc.families())
        if (auto reply = family->control(w, now, out)) return *reply;
    if (verb == "help") {
        std::string help = kHelp;
        for (const auto& family : hc.families()) {
            std::string more = family->controlHelp();
            if (!more.empty()) help += " | " + more;
        }
        return help;
    }
    if (verb == "status") {
        std::ostringstream s;
        s << "state=" << hc.state() << " esc=" << (hc.escHigh() ? "high" : "low")
          << " reset=" << (hc.resetHigh() ? "high" : "low") << " faults=" << hc.faults().size()
          << " received=" << hc.received().size();
        return s.str();
    }
    if (verb == "power-off") {
        return hc.powerOff(out) ? "ok" : error("the HC is off already");
    }
    if (verb == "power-on") {
        auto m = modeArg();
        if (!m) return error("usage: power-on firmware|boot");
        return hc.powerOn(*m) ? "ok" : error("the HC is on already (" + hc.state() + ")");
    }
    if (verb == "mode") {
        auto m = modeArg();
        if (!m) return error("usage: mode firmware|boot");
        return hc.changeMode(*m, now, out) ? "ok"
                                           : error("the HC is not running (" + hc.state() + ")");
    }
    if (verb == "reset") {
        return hc.reset(now) ? "ok" : error("the HC is " + hc.state());
    }
    if (verb == "async") {
        auto code = w.size() == 2 ? number(w[1], 255) : std::nullopt;
        if (!code) return error("usage: async CODE (0 to 255)");
        return hc.sendAsync(static_cast<uint8_t>(*code), out)
                   ? "ok"
                   : error("the HC is not running (" + hc.state() + ")");
    }
    if (verb == "fault") {
        if (w.size() < 2) return error("usage: fault KIND [VALUES] [N] | fault clear");
        if (w[1] == "clear" && w.size() == 2) {
            hc.faults().clear();
            return "ok";
        }
        Fault fault;
        int times = 1;
        std::string problem = parseFault(w, fault, times);
        if (!problem.empty()) return error(problem);
        hc.faults().add(std::move(fault), times);
        return "ok";
    }
    return error("unknown command " + verb + " (try help)");
}

}  // namespace hcsim
