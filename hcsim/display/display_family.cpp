#include "hcsim/display/display_family.h"

#include <cstdio>
#include <ctime>

#include "hcsim/display/menu_screen.h"
#include "hcsim/hc/hc_device.h"

namespace hcsim {

using namespace protocol;

namespace {

constexpr platform::Millis kMessageTime{3000};

}  // namespace

// A press being carried out: what the menu asks of the HC, kept until the press is done.
class DisplayFamily::Action final : public MenuContext {
public:
    Action(DisplayFamily& display, platform::TimePoint now) : display_(display), now_(now) {}

    platform::TimePoint now() const override { return now_; }
    void showMessage(std::string text) override {
        display_.message_ = std::move(text);
        display_.messageUntil_ = now_ + kMessageTime;
    }
    void openPage(std::string title, std::vector<MenuItem> items) override {
        display_.menu_.openPage(std::move(title), std::move(items));
    }
    void back() override { display_.menu_.back(); }
    void powerOff() override { then = Transition{HcMode::Off, kAsyncPoweredOff}; }
    void restartInto(HcMode mode) override {
        if (mode == HcMode::Off) return powerOff();
        then = Transition{mode, mode == HcMode::Boot ? kAsyncToBoot : kAsyncToFirmware};
    }

    std::optional<Transition> then;

private:
    DisplayFamily& display_;
    platform::TimePoint now_;
};

DisplayFamily::DisplayFamily(HcDevice& hc) : hc_(hc) {}

void DisplayFamily::addCommands(HcMode mode, CommandTable& table) {
    CommandSpec read{kDisplayRead,
                     {{kFreshStart, 0}, {kImage, 0}, {kLights, 0}},
                     0,
                     [this](const Call& call, Answer& answer) { this->read(call, answer); }};
    if (mode == HcMode::Firmware && hc_.config().firmwareVersion >= kSnapshotSince)
        read.params.push_back({kSnapshot, 0});
    table.add(std::move(read));

    CommandSpec event{kButtonEvent, {}, 0, [this](const Call& call, Answer& answer) {
                          buttonEvent(call, answer);
                      }};
    for (int id = kButtonBase; id < kButtonBase + 0x20; ++id)
        event.params.push_back({static_cast<uint8_t>(id), 0});
    table.add(std::move(event));
}

void DisplayFamily::restart() {
    tracker_.freshStart();
    menu_.reset({}, {});
    message_.clear();
    mode_ = HcMode::Off;
}

void DisplayFamily::started(HcMode mode, platform::TimePoint at) {
    mode_ = mode;
    startedAt_ = at;
    wallAtStart_ = std::chrono::system_clock::now();
    buildMenu(mode);
}

void DisplayFamily::buildMenu(HcMode mode) {
    std::vector<MenuItem> items;
    for (const auto& family : hc_.families())
        if (auto* contributor = dynamic_cast<MenuContributor*>(family.get()))
            contributor->addMenuItems(mode, items);
    for (MenuItem& item : ownItems(mode))
        items.push_back(std::move(item));
    menu_.reset(mode == HcMode::Boot ? "Boot loader" : "Main menu", std::move(items));
}

std::string DisplayFamily::liveLine(platform::TimePoint now) const {
    for (const auto& family : hc_.families())
        if (auto* contributor = dynamic_cast<const MenuContributor*>(family.get()))
            if (auto text = contributor->liveLine(now)) return *text;
    auto wall = wallAtStart_ +
                std::chrono::duration_cast<std::chrono::system_clock::duration>(now - startedAt_);
    std::time_t t = std::chrono::system_clock::to_time_t(wall);
    std::tm local{};
    localtime_r(&t, &local);
    char text[16];
    std::snprintf(text, sizeof text, "%02d:%02d:%02d", local.tm_hour, local.tm_min, local.tm_sec);
    return text;
}

std::string DisplayFamily::statusText() const {
    for (const auto& family : hc_.families())
        if (auto* contributor = dynamic_cast<const MenuContributor*>(family.get()))
            if (auto text = contributor->statusText()) return *text;
    char text[24];
    if (mode_ == HcMode::Boot)
        std::snprintf(text, sizeof text, "BOOT %x.%02x", hc_.config().bootVersion >> 8,
                      hc_.config().bootVersion & 0xFF);
    else
        std::snprintf(text, sizeof text, "FW %x.%02x", hc_.config().firmwareVersion >> 8,
                      hc_.config().firmwareVersion & 0xFF);
    return text;
}

void DisplayFamily::redraw(platform::TimePoint now) {
    if (!message_.empty() && now >= messageUntil_) message_.clear();
    MenuScreenContent content{statusText(), liveLine(now), message_};
    drawMenuScreen(screen_, menu_, content);
}

const Screen& DisplayFamily::screen(platform::TimePoint now) {
    redraw(now);
    return screen_;
}

ButtonLights DisplayFamily::lights() const {
    return menu_.lights(lightLevel_, lightColour_);
}

void DisplayFamily::read(const Call& call, Answer& answer) {
    const Message& m = call.message;
    if (m.find(kFreshStart)) tracker_.freshStart();
    if (m.find(kLights)) {
        Bytes record;
        for (const ButtonLight& light : lights()) {
            record.push_back(light.level);
            record.push_back(light.colour);
        }
        answer.add(kLights, record);
    }
    if (!m.find(kImage)) return;
    const Screen& now = screen(call.at);
    Bytes stream = m.find(kSnapshot) ? ChangeTracker::snapshot(now) : tracker_.update(now);
    bool streamed = delivery_ == Delivery::Streamed ||
                    (delivery_ == Delivery::Auto && stream.size() > kFramedLimit);
    answer.addBulk(std::move(stream), streamed ? BulkDelivery::Streamed : BulkDelivery::Framed);
}

void DisplayFamily::buttonEvent(const Call& call, Answer& answer) {
    Action action(*this, call.at);
    for (const Param& p : call.message.params) {
        if (p.id < kButtonBase || p.id >= kButtonBase + 0x20) continue;
        if (!(p.id & kReleased)) menu_.press(p.id & 0x0F, action);
    }
    answer.then = action.then;
}

void DisplayFamily::press(int button, platform::TimePoint now, Bytes& out) {
    Action action(*this, now);
    menu_.press(button, action);
    if (!action.then) return;
    // The HC's power and mode change last: they restart this family too.
    if (action.then->next == HcMode::Off)
        hc_.powerOff(out);
    else
        hc_.changeMode(action.then->next, now, out);
}

std::optional<std::string> DisplayFamily::control(const std::vector<std::string>& words,
                                                  platform::TimePoint now, Bytes& out) {
    if (words.empty()) return std::nullopt;
    if (words[0] == "press") {
        if (words.size() != 2) return "error: press needs one button: esc|set|left|right|up|down";
        auto button = parseButton(words[1]);
        if (!button) return "error: unknown button " + words[1];
        if (hc_.mode() == HcMode::Off) return "error: the HC is not running";
        press(*button, now, out);
        return "ok";
    }
    if (words[0] == "delivery") {
        if (words.size() != 2) return "error: delivery needs framed|streamed|auto";
        if (words[1] == "framed")
            delivery_ = Delivery::Framed;
        else if (words[1] == "streamed")
            delivery_ = Delivery::Streamed;
        else if (words[1] == "auto")
            delivery_ = Delivery::Auto;
        else
            return "error: delivery is framed, streamed or auto, not " + words[1];
        return "ok";
    }
    return std::nullopt;
}

std::string DisplayFamily::controlHelp() const {
    return "press esc|set|left|right|up|down | delivery framed|streamed|auto";
}

}  // namespace hcsim
