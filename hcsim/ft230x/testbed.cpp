#include "hcsim/ft230x/testbed.h"

#include <umockdev.h>
#include <unistd.h>

#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <fstream>
#include <string>
#include <vector>

namespace hcsim::ft230x {

Testbed::Testbed() : testbed_(umockdev_testbed_new()) {}

Testbed::~Testbed() {
    g_object_unref(testbed_);
}

std::string Testbed::root() const {
    gchar* dir = umockdev_testbed_get_root_dir(testbed_);
    std::string root = dir;
    g_free(dir);
    return root;
}

namespace {

bool preloaded() {
    std::ifstream maps("/proc/self/maps");
    std::string line;
    while (std::getline(maps, line))
        if (line.find("libumockdev-preload") != std::string::npos) return true;
    return false;
}

}  // namespace

bool runUnderPreload(int argc, char** argv) {
    if (preloaded()) return true;
    const char* marker = "VT5_UMOCKDEV_PRELOADED";
    if (std::getenv(marker)) {
        std::fprintf(stderr, "umockdev's preload library did not load (%s)\n",
                     std::getenv("LD_PRELOAD") ? std::getenv("LD_PRELOAD") : "");
        return false;
    }
    std::string preload = "libumockdev-preload.so.0";
    if (const char* old = std::getenv("LD_PRELOAD"); old && *old) preload += std::string(":") + old;
    ::setenv("LD_PRELOAD", preload.c_str(), 1);
    ::setenv(marker, "1", 1);
    std::vector<char*> args(argv, argv + argc);
    args.push_back(nullptr);
    ::execv("/proc/self/exe", args.data());
    std::fprintf(stderr, "cannot start %s again under umockdev: %s\n", argv[0],
                 std::strerror(errno));
    return false;
}

}  // namespace hcsim::ft230x
