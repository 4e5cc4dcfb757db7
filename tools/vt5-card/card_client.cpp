#include "tools/vt5-card/card_client.h"

#include <cstdio>
#include <cstring>

#include "tools/cli/hc_connection.h"
#include "tools/vt5-card/card_address.h"

namespace card {

namespace {

std::string Upper(std::string text) {
    for (char& c : text)
        if (c >= 'a' && c <= 'z') c = static_cast<char>(c - 'a' + 'A');
    return text;
}

}  // namespace

std::string CardPath(const std::string& path) {
    std::string out = "/";
    std::string part;
    auto flush = [&] {
        if (!part.empty() && part != ".") out = JoinCardPath(out, part);
        part.clear();
    };
    for (char c : path) {
        if (c == '/' || c == '\\')
            flush();
        else
            part += c;
    }
    flush();
    return out;
}

std::string JoinCardPath(const std::string& folder, const std::string& name) {
    return folder == "/" ? "/" + name : folder + "/" + name;
}

void SplitCardPath(const std::string& path, std::string& folder, std::string& name) {
    size_t slash = path.rfind('/');
    if (path == "/" || slash == std::string::npos) {
        folder = "/";
        name = path == "/" ? "" : path;
        return;
    }
    folder = slash == 0 ? "/" : path.substr(0, slash);
    name = path.substr(slash + 1);
}

bool SafeLocalName(const std::string& name) {
    return !name.empty() && name != "." && name != ".." &&
           name.find_first_of("/\\") == std::string::npos;
}

std::chrono::system_clock::time_point CardTime(const CardItem& item) {
    using namespace std::chrono;
    year_month_day day(year(1980 + (item.date >> 9)), month((item.date >> 5) & 15),
                       std::chrono::day(item.date & 31));
    if (!day.ok()) day = year(1980) / January / 1;
    return sys_days(day) + hours(item.time >> 11) + minutes((item.time >> 5) & 63) +
           seconds((item.time & 31) * 2);
}

std::string ListingLine(const CardItem& item) {
    static const char kLetters[] = "RHSVDA";
    char attributes[7] = {};
    for (int bit = 0; bit < 6; ++bit)
        attributes[bit] = item.attributes & (1 << bit) ? kLetters[bit] : '-';
    char stamp[32];
    std::snprintf(stamp, sizeof stamp, "%04d-%02d-%02d %02d:%02d:%02d", (item.date >> 9) + 1980,
                  (item.date >> 5) & 15, item.date & 31, item.time >> 11, (item.time >> 5) & 63,
                  (item.time & 31) * 2);
    return item.shortName + "\t" + std::to_string(item.size) + "\t" + stamp + "\t" + attributes +
           "\t" + item.longName;
}

bool CardClient::List(const std::string& folder, std::vector<CardItem>& items) {
    items.clear();
    int32_t status = 0;
    int32_t result = VT5_OK;
    {
        CardAddress address(*this, folder);
        if (!address.ok()) return false;
        result = VT5cmd_FS_OpenDir(&api_, address.text(), &status);
    }
    if (result != VT5_OK) {
        Report("Opening the card folder " + folder, result, status);
        return false;
    }
    std::vector<char> longName(1024);
    for (;;) {
        VT5DirEntry e{};
        e.structSize = sizeof e;
        e.longName = longName.data();
        e.longNameCapacity = static_cast<int32_t>(longName.size());
        result = VT5cmd_FS_ReadDir(&api_, &e, &status);
        if (result != VT5_OK) {
            Report("Listing the card folder " + folder, result, status);
            return false;
        }
        if (!e.shortName[0]) return true;
        CardItem item;
        item.shortName = e.shortName;
        item.longName = longName.data();
        item.size = static_cast<uint32_t>(e.size);
        item.date = e.date;
        item.time = e.time;
        item.attributes = e.attributes;
        items.push_back(std::move(item));
    }
}

int CardClient::Lookup(const std::string& path, CardItem& item, const std::string& missing) {
    std::string folder, name;
    SplitCardPath(CardPath(path), folder, name);
    if (name.empty()) {
        item = CardItem{};
        item.shortName = item.longName = "/";
        item.attributes = VT5_FS_ATTR_DIRECTORY;
        return 0;
    }
    std::vector<CardItem> items;
    if (!List(folder, items)) return 1;
    // FAT names match without regard to case; a long name before a short one.
    for (bool longNames : {true, false})
        for (const CardItem& i : items)
            if (!i.isVolumeLabel() && !i.isDotEntry() &&
                Upper(longNames ? i.longName : i.shortName) == Upper(name)) {
                item = i;
                return 0;
            }
    return Fail(missing + CardPath(path));
}

int CardClient::Report(const std::string& step, int32_t code, int32_t fsStatus) const {
    if (code == VT5_E_FS_REFUSED && fsStatus != 0)
        return line_.Fail(step + ": the HC's file system refused (status " +
                          std::to_string(fsStatus) + ")");
    if (code == VT5_E_LOCK)
        return line_.Fail(step +
                          ": another program on the API server is using the card (it "
                          "keeps it until it disconnects)");
    return cli::ReportApiError(line_, step, code, &api_);
}

}  // namespace card
