// vt5-card: the HC's SD card from the command line: list, copy to and from this computer,
// delete; directly over USB or through an API server.

#include <fcntl.h>
#include <sys/stat.h>

#include <cerrno>
#include <csignal>
#include <cstdio>
#include <cstring>
#include <filesystem>
#include <string>
#include <vector>

#include "tools/cli/command_line.h"
#include "tools/cli/hc_connection.h"
#include "tools/cli/terminal_text.h"
#include "tools/vt5-card/card_address.h"
#include "tools/vt5-card/card_client.h"
#include "tools/vt5-card/card_transfer.h"

namespace {

namespace fs = std::filesystem;
using card::CardClient;
using card::CardItem;

constexpr uint64_t kMaxFatFile = 0xFFFFFFFFull;
constexpr int kInterrupted = 130;

volatile std::sig_atomic_t stopRequested = 0;

void OnSignal(int signal) {
    stopRequested = 1;
    std::signal(signal, SIG_DFL);  // a second one ends the program at once
}

// The card folder's entries without "." and "..".
std::vector<CardItem> Visible(const std::vector<CardItem>& items) {
    std::vector<CardItem> out;
    for (const CardItem& i : items)
        if (!i.isDotEntry()) out.push_back(i);
    return out;
}

int List(CardClient& client, const std::vector<std::string>& args) {
    std::string path = card::CardPath(args.empty() ? "/" : args[0]);
    CardItem item;
    if (int status = client.Lookup(path, item, "no such file or folder on the card: "))
        return status;
    std::vector<CardItem> items{item};
    if (item.isDirectory() && !client.List(path, items)) return 1;
    for (CardItem i : Visible(items)) {
        // Names are the card's: on a terminal, their control characters are shown escaped.
        i.shortName = cli::ForTerminal(stdout, i.shortName);
        i.longName = cli::ForTerminal(stdout, i.longName);
        std::printf("%s\n", card::ListingLine(i).c_str());
    }
    return 0;
}

// One file to download, or a folder to make.
struct Download {
    std::string cardPath;
    CardItem item;
    fs::path localDir;
};

// Adds what a card folder holds, its folders with everything in them, below localDir.
bool PlanFolder(CardClient& client, const std::string& folder, const fs::path& localDir,
                std::vector<Download>& plan) {
    std::vector<CardItem> items;
    if (!client.List(folder, items)) return false;
    for (const CardItem& i : Visible(items)) {
        if (i.isVolumeLabel()) continue;
        if (!card::SafeLocalName(i.longName)) {
            client.Fail("the card names an entry \"" + i.longName +
                        "\", which is no file name here");
            return false;
        }
        std::string path = card::JoinCardPath(folder, i.longName);
        plan.push_back({path, i, localDir});
        if (i.isDirectory() && !PlanFolder(client, path, localDir / i.longName, plan)) return false;
    }
    return true;
}

void SetModified(const fs::path& path, std::chrono::system_clock::time_point t) {
    auto secs = std::chrono::duration_cast<std::chrono::seconds>(t.time_since_epoch());
    timespec times[2] = {{static_cast<time_t>(secs.count()), 0},
                         {static_cast<time_t>(secs.count()), 0}};
    ::utimensat(AT_FDCWD, path.c_str(), times, 0);
}

int Get(CardClient& client, const std::vector<std::string>& args, const fs::path& localDir) {
    std::vector<Download> plan;
    for (const std::string& arg : args) {
        std::string path = card::CardPath(arg);
        CardItem item;
        if (int status = client.Lookup(path, item, "no such file or folder on the card: "))
            return status;
        if (path != "/") plan.push_back({path, item, localDir});
        fs::path below = path == "/" ? localDir : localDir / item.longName;
        if (item.isDirectory() && !PlanFolder(client, path, below, plan)) return 1;
    }
    uint64_t total = 0;
    for (const Download& d : plan)
        total += d.item.isDirectory() ? 0 : d.item.size;
    card::Transfers transfers(client, total, stopRequested);
    for (const Download& d : plan) {
        fs::path folder = d.item.isDirectory() ? d.localDir / d.item.longName : d.localDir;
        std::error_code ec;
        fs::create_directories(folder, ec);
        if (ec) {
            transfers.Finish();
            return client.Fail("cannot create " + folder.string() + ": " + ec.message());
        }
        if (!d.item.isDirectory() && !transfers.Download(d.cardPath, d.item, d.localDir))
            return transfers.cancelled() ? kInterrupted : 1;
    }
    // Folders take their card times last: what was written into them changed theirs.
    for (auto d = plan.rbegin(); d != plan.rend(); ++d)
        if (d->item.isDirectory())
            SetModified(d->localDir / d->item.longName, card::CardTime(d->item));
    return 0;
}

int Put(CardClient& client, std::vector<std::string> args) {
    // The last argument is the card folder when it is no local file (put copies files only,
    // so a local folder of that name is no source either).
    std::string folder = "/";
    std::error_code ec;
    if (args.size() >= 2 && !fs::is_regular_file(args.back(), ec)) {
        folder = card::CardPath(args.back());
        args.pop_back();
    }
    CardItem item;
    if (int status = client.Lookup(folder, item, "no such folder on the card: ")) return status;
    if (!item.isDirectory()) return client.Fail("no folder on the card: " + folder);
    // Files a FAT card cannot hold are named and left out; the others go on.
    int status = 0;
    std::vector<fs::path> files;
    uint64_t total = 0;
    for (const std::string& arg : args) {
        struct stat st {};
        if (::stat(arg.c_str(), &st) != 0) {
            status = client.Fail("cannot read " + arg + ": " + std::strerror(errno));
        } else if (!S_ISREG(st.st_mode)) {
            status = client.Fail(arg + " is no file (put copies files)");
        } else if (static_cast<uint64_t>(st.st_size) > kMaxFatFile) {
            status = client.Fail(arg + " is too large for the card (" +
                                 std::to_string(st.st_size >> 20) +
                                 " MiB; a FAT card holds files below 4 GiB)");
        } else {
            files.push_back(arg);
            total += static_cast<uint64_t>(st.st_size);
        }
    }
    card::Transfers transfers(client, total, stopRequested);
    for (const fs::path& f : files)
        if (!transfers.Upload(f, folder)) return transfers.cancelled() ? kInterrupted : 1;
    return status;
}

int Remove(CardClient& client, const std::vector<std::string>& args) {
    int status = 0;
    for (const std::string& arg : args) {
        std::string path = card::CardPath(arg);
        CardItem item;
        if (client.Lookup(path, item, "no such file or folder on the card: ")) {
            status = 1;
            continue;
        }
        int32_t fsStatus = 0;
        int32_t result = VT5_OK;
        {
            card::CardAddress address(client, path);
            if (!address.ok()) {
                status = 1;
                continue;
            }
            result = VT5cmd_FS_Delete(&client.api(), address.text(), &fsStatus);
        }
        if (result != VT5_OK) status = client.Report("Deleting " + path, result, fsStatus);
    }
    return status;
}

}  // namespace

int main(int argc, char** argv) {
    cli::CommandLine line(
        "vt5-card", "[--serial S | --server HOST[:PORT]] COMMAND [ARGUMENT]...",
        "The HC's SD card. Card paths start at the card's root; names match without regard\n"
        "to case, by their long or their short (8.3) name.\n"
        "  ls [CARDPATH]                  one line per entry (default: the root), tab-separated:\n"
        "                                 short name, size in bytes, date and time (UTC),\n"
        "                                 attributes RHSVDA (- for each one not set), long name\n"
        "  get CARDPATH... [-o LOCALDIR]  copies files, and folders with everything in them,\n"
        "                                 into LOCALDIR (default: here), keeping the card's times\n"
        "  put LOCALFILE... [CARDDIR]     copies files into the card folder (default: the root;\n"
        "                                 the last argument is the folder when it is no local\n"
        "                                 file)\n"
        "  rm CARDPATH...                 deletes files, and empty folders\n"
        "A file copied only in part is removed again (an older copy stays as it was).\n"
        "Exit status: 0 when all went well, 1 after a failure, 2 for a bad command line,\n"
        "130 when interrupted.\n",
        {{"--output", "-o", "LOCALDIR", "the folder that get copies into (default: .)"}}, true);
    if (auto status = line.Parse(argc, argv)) return *status;
    std::vector<std::string> args = line.Positional();
    if (args.empty()) return line.UsageError("a command is missing (ls, get, put or rm)");
    std::string command = args.front();
    args.erase(args.begin());
    if (command != "ls" && command != "get" && command != "put" && command != "rm")
        return line.UsageError("unknown command " + command);
    if (line.Has("--output") && command != "get") return line.UsageError("-o belongs to get");
    if (command == "ls" && args.size() > 1) return line.UsageError("ls takes one card path");
    if (command == "get" && args.empty())
        return line.UsageError("get needs at least one card path");
    if (command == "put" && args.empty())
        return line.UsageError("put needs at least one local file");
    if (command == "rm" && args.empty()) return line.UsageError("rm needs at least one card path");

    CVT5Api api;
    if (cli::OpenHc(line, api, "vt5-card") != VT5_OK) return 1;
    cli::HcSession session(api);
    std::signal(SIGINT, OnSignal);
    std::signal(SIGTERM, OnSignal);
    CardClient client(line, api);
    int status = 0;
    if (command == "ls")
        status = List(client, args);
    else if (command == "get")
        status = Get(client, args, line.Value("--output", "."));
    else if (command == "put")
        status = Put(client, args);
    else
        status = Remove(client, args);
    if (status == kInterrupted) std::fprintf(stderr, "vt5-card: interrupted\n");
    return status;
}
