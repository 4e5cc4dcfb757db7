// The libftdi1 path over the emulated FT230X (umockdev): a 2 MB SD card download and upload, a
// 1 MiB HC firmware upload in BOOT mode, one short exchange, and what an open link costs while
// nothing happens. The chip's serial line runs at 3,000,000 baud (300,000 bytes/s, 8N1);
// link_fraction is the share of it a transfer reaches. urbs_per_s counts the bulk transfers the PC
// sends the chip: on a real chip each one costs a USB round trip, so it is the figure that carries
// over; cpu_share (CPU seconds of this process per wall second) also counts libusb waiting on the
// emulated device file, which is always ready, so it overstates what a real chip costs.

#include <benchmark/benchmark.h>
#include <time.h>

#include <chrono>
#include <cstdlib>
#include <fstream>
#include <memory>
#include <string>
#include <thread>
#include <vector>

#include "hcsim/boot/boot_loader_family.h"
#include "hcsim/boot/image_info.h"
#include "hcsim/ft230x/emulated_ft230x.h"
#include "tests/support/bus_fixture.h"
#include "vt5api/api/vt5api.h"
#include "vt5api/commands/display.h"
#include "vt5api/commands/file_system.h"
#include "vt5api/commands/identity.h"
#include "vt5api/commands/update.h"

namespace {

constexpr int32_t kFileSize = 2'000'000;
constexpr double kLinkBytesPerSecond = 300'000.0;

double cpuSeconds() {
    timespec t{};
    clock_gettime(CLOCK_PROCESS_CPUTIME_ID, &t);
    return static_cast<double>(t.tv_sec) + static_cast<double>(t.tv_nsec) * 1e-9;
}

struct Setup {
    explicit Setup(hcsim::HcMode mode = hcsim::HcMode::Firmware) {
        ::setenv("VT5_USB_BACKENDS", "ftdi", 1);
        std::vector<char> data(kFileSize, 'v');
        std::ofstream(card.file("BIG.BIN"), std::ios::binary).write(data.data(), kFileSize);
        hcsim::ft230x::Ft230xConfig config;
        config.hc.serial = "BENCH001";
        config.hc.cardDir = card.path();
        config.hc.startMode = mode;
        chip = std::make_unique<hcsim::ft230x::EmulatedFt230x>(testbed, config);
        opened = VT5_Open(&api, "BENCH001", nullptr, 0, nullptr);
    }
    ~Setup() { VT5_Close(&api); }

    vt5test::TempDir card;
    hcsim::ft230x::Testbed testbed;
    std::unique_ptr<hcsim::ft230x::EmulatedFt230x> chip;
    CVT5Api api;
    int32_t opened = -1;
};

bool download(CVT5Api& api, std::vector<uint8_t>& buffer) {
    if (VT5cmd_FS_Open(&api, "/BIG.BIN", VT5_FS_OPEN_READ, nullptr) != VT5_OK) return false;
    int64_t total = 0;
    for (;;) {
        int32_t got = 0;
        if (VT5cmd_FS_Read(&api, buffer.data(), 65536, &got, nullptr) != VT5_OK) return false;
        total += got;
        if (got < 65536) break;
    }
    return VT5cmd_FS_Close(&api, nullptr) == VT5_OK && total == kFileSize;
}

bool upload(CVT5Api& api, const std::vector<uint8_t>& data) {
    if (VT5cmd_FS_Open(&api, "/UP.BIN", VT5_FS_OPEN_WRITE_NEW, nullptr) != VT5_OK) return false;
    for (int32_t done = 0; done < kFileSize; done += 65536) {
        int32_t piece = std::min(65536, kFileSize - done);
        if (VT5cmd_FS_Write(&api, data.data() + done, piece, nullptr, nullptr) != VT5_OK)
            return false;
    }
    return VT5cmd_FS_Close(&api, nullptr) == VT5_OK;
}

void transfer(benchmark::State& state, bool isDownload) {
    Setup s;
    if (s.opened != VT5_OK) return state.SkipWithError("open failed");
    std::vector<uint8_t> buffer(kFileSize);
    double seconds = 0;
    for (auto _ : state) {
        auto start = std::chrono::steady_clock::now();
        bool ok = isDownload ? download(s.api, buffer) : upload(s.api, buffer);
        seconds += std::chrono::duration<double>(std::chrono::steady_clock::now() - start).count();
        if (!ok) return state.SkipWithError("transfer failed");
    }
    double bytes = static_cast<double>(state.iterations()) * kFileSize;
    state.SetBytesProcessed(static_cast<int64_t>(bytes));
    state.counters["link_fraction"] = bytes / seconds / kLinkBytesPerSecond;
}

void BM_Download(benchmark::State& state) {
    transfer(state, true);
}
void BM_Upload(benchmark::State& state) {
    transfer(state, false);
}
BENCHMARK(BM_Download)->Iterations(1)->UseRealTime()->Unit(benchmark::kSecond);
BENCHMARK(BM_Upload)->Iterations(1)->UseRealTime()->Unit(benchmark::kSecond);

// A 1 MiB HC firmware image into the HC in BOOT mode, in the chunks vt5-flash sends. Argument:
// the boot loader's erase time in ms (0: the link alone; 200: as the simulated HC erases).
void BM_FirmwareUpload(benchmark::State& state) {
    using hcsim::boot::BootLoaderFamily;
    constexpr size_t kImage = 1 << 20;
    Setup s(hcsim::HcMode::Boot);
    if (s.opened != VT5_OK) return state.SkipWithError("open failed");
    const auto eraseMs = std::chrono::milliseconds(state.range(0));
    s.chip->hc().with(
        [eraseMs](hcsim::HcDevice& d) { d.family<BootLoaderFamily>()->setEraseTime(eraseMs); });
    hcsim::boot::ImageSpec wanted;
    wanted.version = 0x0200;
    wanted.startWord = BootLoaderFamily::kStartWord;
    wanted.description = "Benchmark image";
    wanted.size = kImage;
    const std::vector<uint8_t> image = hcsim::boot::makeImage(wanted);
    double seconds = 0;
    for (auto _ : state) {
        auto start = std::chrono::steady_clock::now();
        if (VT5cmd_UPD_UploadHC(&s.api, image.data(), static_cast<int32_t>(image.size()),
                                BootLoaderFamily::kStartWord) != VT5_OK)
            return state.SkipWithError("upload failed");
        seconds += std::chrono::duration<double>(std::chrono::steady_clock::now() - start).count();
    }
    double bytes = static_cast<double>(state.iterations()) * static_cast<double>(image.size());
    state.SetBytesProcessed(static_cast<int64_t>(bytes));
    state.counters["link_fraction"] = bytes / seconds / kLinkBytesPerSecond;
}
BENCHMARK(BM_FirmwareUpload)
    ->Arg(0)
    ->Arg(200)
    ->Iterations(1)
    ->UseRealTime()
    ->Unit(benchmark::kSecond);

// One command and its answer (the hardware ID): bounded below by the chip's 2 ms latency timer.
void BM_ShortExchange(benchmark::State& state) {
    Setup s;
    if (s.opened != VT5_OK) return state.SkipWithError("open failed");
    for (auto _ : state) {
        uint8_t id = 0;
        if (VT5cmd_GetHardwareID(&s.api, &id) != VT5_OK) return state.SkipWithError("exchange");
    }
}
BENCHMARK(BM_ShortExchange)->UseRealTime()->Unit(benchmark::kMillisecond);

// An open link for two seconds: idle, or asked for display updates 30 times a second as
// Panelcast does.
void idle(benchmark::State& state, bool display) {
    Setup s;
    if (s.opened != VT5_OK) return state.SkipWithError("open failed");
    double cpu = 0, wall = 0;
    uint64_t urbs = 0;
    std::vector<uint16_t> frame(240 * 320);
    for (auto _ : state) {
        uint64_t urbs0 = s.chip->urbsReaped();
        double cpu0 = cpuSeconds();
        auto start = std::chrono::steady_clock::now();
        auto end = start + std::chrono::seconds(2);
        int frames = 0;
        while (std::chrono::steady_clock::now() < end) {
            if (display) {
                if (VT5cmd_ReadDisplay(&s.api, frame.data(), nullptr, frames == 0) != VT5_OK)
                    return state.SkipWithError("display");
                ++frames;
                std::this_thread::sleep_until(start + std::chrono::milliseconds(33 * frames));
            } else {
                std::this_thread::sleep_until(end);
            }
        }
        wall += std::chrono::duration<double>(std::chrono::steady_clock::now() - start).count();
        cpu += cpuSeconds() - cpu0;
        urbs += s.chip->urbsReaped() - urbs0;
    }
    state.counters["cpu_share"] = cpu / wall;
    state.counters["urbs_per_s"] = static_cast<double>(urbs) / wall;
}

void BM_IdleLink(benchmark::State& state) {
    idle(state, false);
}
void BM_DisplayAt30Fps(benchmark::State& state) {
    idle(state, true);
}
BENCHMARK(BM_IdleLink)->Iterations(1)->UseRealTime()->Unit(benchmark::kSecond);
BENCHMARK(BM_DisplayAt30Fps)->Iterations(1)->UseRealTime()->Unit(benchmark::kSecond);

}  // namespace

int main(int argc, char** argv) {
    if (!hcsim::ft230x::runUnderPreload(argc, argv)) return 1;
    benchmark::Initialize(&argc, argv);
    benchmark::RunSpecifiedBenchmarks();
    benchmark::Shutdown();
    return 0;
}
