#include "gantrix/app/my_folder.h"

#include <QDir>
#include <QStandardPaths>
#include <cstring>

#include "vt5api/ui/ui_text.h"

namespace reg = platform::registry;

namespace {

constexpr const char* kSubKey = "Gantrix";
constexpr const char* kValue = "Veltra-5 folder";
constexpr uint32_t kBufferSize = 1024;

}  // namespace

std::string ReadMyFolder(const reg::Key& settings) {
    reg::Key gantrix;
    if (settings.openSubKey(kSubKey, gantrix) != reg::ERROR_SUCCESS) return {};
    char buffer[kBufferSize + 1];
    std::memset(buffer, 0, sizeof buffer);
    uint32_t size = kBufferSize;
    if (gantrix.queryValue(kValue, nullptr, buffer, &size) != reg::ERROR_SUCCESS) return {};
    std::string folder = buffer;
    if (folder.size() > kBufferSize - 1) return {};
    return folder;
}

reg::LSTATUS StoreMyFolder(const reg::Key& settings, const std::string& folder) {
    reg::Key gantrix;
    if (reg::LSTATUS status = settings.createSubKey(kSubKey, gantrix); status) return status;
    return gantrix.setString(kValue, folder);
}

std::string DefaultMyFolder() {
    const QString documents = QStandardPaths::writableLocation(QStandardPaths::DocumentsLocation);
    if (documents.isEmpty()) return {};
    return ApiText(QDir::toNativeSeparators(QDir(documents).filePath(QStringLiteral("Veltra-5"))));
}

std::string MyFolderInUse(const reg::Key& settings) {
    const std::string stored = ReadMyFolder(settings);
    return stored.empty() ? DefaultMyFolder() : stored;
}

std::string PreparedMyFolder(const reg::Key& settings) {
    const std::string stored = ReadMyFolder(settings);
    if (!stored.empty()) return stored;
    const std::string folder = DefaultMyFolder();
    if (!folder.empty()) QDir().mkpath(UiText(folder));
    return folder;
}
