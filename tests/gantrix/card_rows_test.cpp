// The card list's rows: which entries are listed, their texts and their order.
#include <gtest/gtest.h>

#include <algorithm>

#include "gantrix/app/card_browser/card_entry.h"

namespace {

CardEntry Entry(const std::string& name, uint8_t attributes = VT5_FS_ATTR_ARCHIVE,
                int32_t size = 0) {
    CardEntry e;
    e.longName = name;
    e.attributes = attributes;
    e.size = size;
    return e;
}

constexpr uint8_t kDir = VT5_FS_ATTR_DIRECTORY;

TEST(CardRows, HiddenSystemVolumeAndTheDotFolderAreNotListed) {
    const struct {
        const char* name;
        uint8_t attributes;
        bool listed;
    } cases[] = {
        {"LOG.TXT", VT5_FS_ATTR_ARCHIVE, true},
        {"RO.TXT", VT5_FS_ATTR_READ_ONLY, true},
        {".hidden", VT5_FS_ATTR_HIDDEN | VT5_FS_ATTR_ARCHIVE, false},
        {"SYS", VT5_FS_ATTR_SYSTEM, false},
        {"VELTRA5", VT5_FS_ATTR_VOLUME, false},
        {".", kDir, false},
        {"..", kDir, true},
        {"LOGS", kDir, true},
    };
    for (const auto& c : cases)
        EXPECT_EQ(IsListed(Entry(c.name, c.attributes)), c.listed) << c.name;
}

TEST(CardRows, TextsOfFilesAndFolders) {
    CardEntry file = Entry("vt5_log_0307.txt", VT5_FS_ATTR_ARCHIVE, 92708);
    file.date = uint16_t((2021 - 1980) << 9 | 3 << 5 | 7);
    file.time = uint16_t(21 << 11 | 5 << 5 | 16);
    EXPECT_EQ(RowText(file), "vt5_log_0307.txt");
    EXPECT_EQ(SizeText(file), "92708");
    EXPECT_EQ(DateTimeText(file), "2021.03.07  21:05");

    CardEntry folder = Entry("LOGS", kDir);
    folder.date = uint16_t(0 << 9 | 1 << 5 | 1);
    folder.time = 0;
    EXPECT_EQ(RowText(folder), "[LOGS]");
    EXPECT_EQ(SizeText(folder), "<DIR>  ");
    EXPECT_EQ(DateTimeText(folder), "1980.01.01  0:00");
}

TEST(CardRows, WhatMayBeDeletedAndDownloaded) {
    EXPECT_TRUE(Entry("A.TXT", VT5_FS_ATTR_ARCHIVE).IsPlainFile());
    EXPECT_TRUE(Entry("A.TXT", 0).IsPlainFile());
    EXPECT_FALSE(Entry("A.TXT", VT5_FS_ATTR_READ_ONLY).IsPlainFile());
    EXPECT_FALSE(Entry("LOGS", kDir).IsPlainFile());
    EXPECT_TRUE(Entry("A.TXT", VT5_FS_ATTR_READ_ONLY).IsDownloadable());
    EXPECT_FALSE(Entry("LOGS", kDir).IsDownloadable());
    EXPECT_FALSE(Entry("VELTRA5", VT5_FS_ATTR_VOLUME).IsDownloadable());
}

TEST(CardRows, DotDotThenFoldersThenFilesByNameAndNumber) {
    std::vector<CardEntry> rows = {
        Entry("log_10.txt"), Entry("Zeta", kDir),  Entry("LOG_9.TXT"),
        Entry("..", kDir),   Entry("alpha", kDir), Entry("log_010.txt"),
        Entry("b.txt"),      Entry("A.txt"),       Entry("2021", kDir),
    };
    std::sort(rows.begin(), rows.end(), RowBefore);
    std::vector<std::string> names;
    for (const CardEntry& e : rows)
        names.push_back(e.longName);
    EXPECT_EQ(names, (std::vector<std::string>{"..", "2021", "alpha", "Zeta", "A.txt", "b.txt",
                                               "LOG_9.TXT", "log_010.txt", "log_10.txt"}));
}

}  // namespace
