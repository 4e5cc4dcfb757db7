#include "platform/ftd2xx/vbus/bus_path.h"

#include <unistd.h>

#include <cstdlib>
#include <filesystem>
#include <system_error>

namespace platform::vbus {

std::string busSocketPath() {
    if (const char* env = std::getenv("VT5_USB_BUS"); env && *env) return env;
    if (const char* run = std::getenv("XDG_RUNTIME_DIR"); run && *run)
        return std::string(run) + "/veltra-5/usb-bus";
    return "/tmp/veltra-5-" + std::to_string(::getuid()) + "/usb-bus";
}

bool makeSocketFolder(const std::string& socketPath, std::string& error) {
    namespace fs = std::filesystem;
    fs::path folder = fs::path(socketPath).parent_path();
    if (folder.empty()) return true;
    std::error_code ec;
    bool created = fs::create_directories(folder, ec);
    if (ec) {
        error = folder.string() + ": " + ec.message();
        return false;
    }
    // Only a folder of our own making is narrowed to the user; /tmp and friends stay as they are.
    if (created) fs::permissions(folder, fs::perms::owner_all, fs::perm_options::replace, ec);
    return true;
}

}  // namespace platform::vbus
