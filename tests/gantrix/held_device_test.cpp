// Who holds an HC's USB device: the process with the chip's device node open, found through
// sysfs and /proc, here in a tree of their own.

#include "gantrix/app/held_device.h"

#include <gtest/gtest.h>
#include <unistd.h>

#include <filesystem>
#include <fstream>
#include <vector>

#include "tests/support/bus_fixture.h"

namespace {

namespace fs = std::filesystem;

class NodeHolderTest : public ::testing::Test {
protected:
    NodeHolderTest() {
        roots.sys = (dir.path() / "sys").string();
        roots.proc = (dir.path() / "proc").string();
        roots.dev = (dir.path() / "dev").string();
        fs::create_directories(dir.path() / "dev/bus/usb/003");
        write(dir.path() / "dev/bus/usb/003/017", "");
        // An FTDI chip at bus 3, address 17, and a hub beside it.
        usbDevice("3-1.2", "DK0ABCDE", "3", "17");
        usbDevice("usb3", "0000:00:14.0", "3", "1");
    }

    void usbDevice(const std::string& name, const std::string& serial, const std::string& bus,
                   const std::string& address) {
        const fs::path device = dir.path() / "sys/bus/usb/devices" / name;
        write(device / "serial", serial + "\n");
        write(device / "busnum", bus + "\n");
        write(device / "devnum", address + "\n");
    }
    // A process with these files open.
    void process(int pid, const std::string& name, const std::vector<fs::path>& open) {
        const fs::path entry = dir.path() / "proc" / std::to_string(pid);
        write(entry / "comm", name + "\n");
        fs::create_directories(entry / "fd");
        int fd = 3;
        for (const fs::path& target : open)
            fs::create_symlink(target, entry / "fd" / std::to_string(fd++));
    }
    static void write(const fs::path& file, const std::string& text) {
        fs::create_directories(file.parent_path());
        std::ofstream(file) << text;
    }
    fs::path node() const { return dir.path() / "dev/bus/usb/003/017"; }

    vt5test::TempDir dir;
    SystemRoots roots;
};

TEST_F(NodeHolderTest, TheProcessWithTheChipsNodeOpenIsNamed) {
    process(1, "systemd", {dir.path() / "dev/null"});
    process(4242, "panelcast", {dir.path() / "dev/null", node()});
    write(dir.path() / "proc/self/comm", "not a process\n");
    const std::optional<HeldDevice> held = FindNodeHolder("DK0ABCDE", roots);
    ASSERT_TRUE(held);
    EXPECT_EQ(held->pid, 4242);
    EXPECT_EQ(held->program, "panelcast");
    EXPECT_EQ(held->serial, "DK0ABCDE");
    EXPECT_EQ(HeldDeviceText(*held),
              "The HandController DK0ABCDE is connected, but another program is using it: "
              "panelcast (process 4242). Close that program and retry.");
}

TEST_F(NodeHolderTest, NoHolderWhereNoneCanBeSeen) {
    struct Case {
        const char* what;
        const char* serial;
        bool selfHolds;  // only this process has the node open
    };
    const Case cases[] = {
        {"a chip nobody holds", "DK0ABCDE", false},
        {"a chip that is not plugged in", "DK0ZZZZZ", false},
        {"no serial", "", false},
        {"held by this very process", "DK0ABCDE", true},
    };
    process(1, "systemd", {dir.path() / "dev/null"});
    for (const Case& c : cases) {
        SCOPED_TRACE(c.what);
        const fs::path self = dir.path() / "proc" / std::to_string(::getpid());
        fs::remove_all(self);
        if (c.selfHolds) process(::getpid(), "gantrix", {node()});
        EXPECT_FALSE(FindNodeHolder(c.serial, roots));
    }
}

TEST(HeldDeviceText, WithoutAVisibleProgram) {
    EXPECT_EQ(HeldDeviceText({"HC000001", {}, 0}),
              "The HandController HC000001 is connected, but another program is using it. Close "
              "that program (or end its connection to the HandController) and retry.");
}

}  // namespace
