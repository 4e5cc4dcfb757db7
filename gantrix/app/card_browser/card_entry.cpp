#include "gantrix/app/card_browser/card_entry.h"

#include <cctype>
#include <cstring>
#include <tuple>

#include "common/text_printf.h"
#include "gantrix/app/card_browser/fsys_texts.h"

namespace {

constexpr int32_t kLongNameSize = 1024;
constexpr int kFatYearBase = 1980;

bool IsDigit(char c) {
    return c >= '0' && c <= '9';
}

char Lower(char c) {
    return char(std::tolower(static_cast<unsigned char>(c)));
}

// 0 for "..", 1 for a folder, 2 for a file.
int RowRank(const CardEntry& entry) {
    if (!entry.IsDirectory()) return 2;
    return entry.longName == ".." ? 0 : 1;
}

// <0, 0, >0 as a natural, case-blind comparison of two names.
int CompareNames(const std::string& a, const std::string& b) {
    size_t i = 0, j = 0;
    while (i < a.size() && j < b.size()) {
        if (IsDigit(a[i]) && IsDigit(b[j])) {
            size_t ei = i, ej = j;
            while (ei < a.size() && IsDigit(a[ei]))
                ++ei;
            while (ej < b.size() && IsDigit(b[ej]))
                ++ej;
            // Compare the runs without their leading zeros: longer is larger, else digit-wise.
            size_t si = i, sj = j;
            while (si + 1 < ei && a[si] == '0')
                ++si;
            while (sj + 1 < ej && b[sj] == '0')
                ++sj;
            if (ei - si != ej - sj) return ei - si < ej - sj ? -1 : 1;
            if (int c = a.compare(si, ei - si, b, sj, ej - sj); c != 0) return c;
            i = ei;
            j = ej;
            continue;
        }
        if (Lower(a[i]) != Lower(b[j])) return Lower(a[i]) < Lower(b[j]) ? -1 : 1;
        ++i;
        ++j;
    }
    if (i < a.size() || j < b.size()) return i < a.size() ? 1 : -1;
    return 0;
}

}  // namespace

bool CardEntry::IsPlainFile() const {
    constexpr uint8_t kNotPlain =
        VT5_FS_ATTR_READ_ONLY | VT5_FS_ATTR_SYSTEM | VT5_FS_ATTR_VOLUME | VT5_FS_ATTR_DIRECTORY;
    return (attributes & kNotPlain) == 0;
}

bool CardEntry::IsDownloadable() const {
    return (attributes & (VT5_FS_ATTR_DIRECTORY | VT5_FS_ATTR_VOLUME)) == 0;
}

bool IsListed(const CardEntry& entry) {
    constexpr uint8_t kUnlisted = VT5_FS_ATTR_HIDDEN | VT5_FS_ATTR_SYSTEM | VT5_FS_ATTR_VOLUME;
    if (entry.attributes & kUnlisted) return false;
    return !(entry.IsDirectory() && entry.longName == ".");
}

int32_t ReadListedEntries(CVT5Api* api, const std::function<void(CardEntry)>& onEntry) {
    char longName[kLongNameSize];
    for (;;) {
        VT5DirEntry record{};
        record.structSize = sizeof record;
        record.longNameCapacity = kLongNameSize;
        record.longName = longName;
        longName[0] = '\0';
        if (int32_t code = VT5cmd_FS_ReadDir(api, &record, nullptr); code != VT5_OK) return code;
        if (record.shortName[0] == '\0') return VT5_OK;
        CardEntry entry;
        entry.longName = longName;
        entry.shortName = record.shortName;
        entry.size = record.size;
        entry.date = record.date;
        entry.time = record.time;
        entry.attributes = record.attributes;
        if (IsListed(entry)) onEntry(std::move(entry));
    }
}

std::string RowText(const CardEntry& entry) {
    return entry.IsDirectory() ? "[" + entry.longName + "]" : entry.longName;
}

std::string SizeText(const CardEntry& entry) {
    return entry.IsDirectory() ? kDirSize : common::Printf("%d", entry.size);
}

std::string DateTimeText(const CardEntry& entry) {
    return common::Printf(kDateTimeFormat, (entry.date >> 9) + kFatYearBase, (entry.date >> 5) & 15,
                          entry.date & 31, entry.time >> 11, (entry.time >> 5) & 63);
}

bool RowBefore(const CardEntry& a, const CardEntry& b) {
    const int rankA = RowRank(a), rankB = RowRank(b);
    if (rankA != rankB) return rankA < rankB;
    const int names = CompareNames(a.longName, b.longName);
    // Names equal but for case or leading zeros: byte order keeps the order total.
    return names != 0 ? names < 0 : a.longName < b.longName;
}
