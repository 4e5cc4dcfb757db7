#include "flashwell/firmware/firmware_file.h"

#include <cstdio>
#include <cstring>
#include <filesystem>
#include <memory>
#include <new>

namespace {

constexpr uint8_t kHeader[6] = {0x56, 0x54, 0x35, 0x66, 0x77, 0x00};
constexpr size_t kFixedFields = 2 + 2 + 2 + 40 + 4;  // after the section id

// Where the bytes come from: a file or memory. Read returns how many it could give.
class ByteSource {
public:
    virtual ~ByteSource() = default;
    virtual size_t Read(void* to, size_t count) = 0;
};

class FileSource final : public ByteSource {
public:
    explicit FileSource(std::FILE* file) : file_(file) {}
    size_t Read(void* to, size_t count) override { return std::fread(to, 1, count, file_.get()); }

private:
    struct Closer {
        void operator()(std::FILE* f) const { std::fclose(f); }
    };
    std::unique_ptr<std::FILE, Closer> file_;
};

class MemorySource final : public ByteSource {
public:
    MemorySource(const uint8_t* data, size_t size) : data_(data), size_(size) {}
    size_t Read(void* to, size_t count) override {
        size_t n = std::min(count, size_ - used_);
        if (n) std::memcpy(to, data_ + used_, n);
        used_ += n;
        return n;
    }

private:
    const uint8_t* data_;
    size_t size_;
    size_t used_ = 0;
};

uint16_t Le16(const uint8_t* p) {
    return static_cast<uint16_t>(p[0] | p[1] << 8);
}

uint32_t Le32(const uint8_t* p) {
    return uint32_t(p[0]) | uint32_t(p[1]) << 8 | uint32_t(p[2]) << 16 | uint32_t(p[3]) << 24;
}

// One section after its id; the image in `image` on success.
int ReadSection(ByteSource& in, const uint8_t id[2], FirmwareImage& image) {
    uint8_t fields[kFixedFields];
    if (in.Read(fields, kFixedFields) != kFixedFields) return kFirmwareReadError;
    image.sectionId[0] = static_cast<char>(id[0]);
    image.sectionId[1] = static_cast<char>(id[1]);
    image.version = Le16(fields);
    image.flags = Le16(fields + 2);
    image.startWord = Le16(fields + 4);
    std::memcpy(image.description, fields + 6, 40);
    image.description[40] = '\0';
    image.payloadSize = Le32(fields + 46);
    if (image.payloadSize >= kFirmwarePayloadLimit) return kFirmwareWrongContents;
    try {
        image.payload.resize(image.payloadSize);
    } catch (const std::bad_alloc&) {
        return kFirmwareOutOfMemory;
    }
    if (in.Read(image.payload.data(), image.payloadSize) != image.payloadSize)
        return kFirmwareWrongContents;
    return kFirmwareLoaded;
}

int Load(ByteSource& in, LoadedFirmware& firmware) {
    uint8_t header[sizeof kHeader];
    if (in.Read(header, sizeof header) != sizeof header) return kFirmwareReadError;
    if (std::memcmp(header, kHeader, sizeof header) != 0) return kFirmwareWrongContents;
    for (;;) {
        uint8_t id[2];
        size_t got = in.Read(id, 2);
        if (got == 0) return kFirmwareLoaded;
        if (got == 1) return kFirmwareReadError;
        FirmwareImage image;
        if (int result = ReadSection(in, id, image); result != kFirmwareLoaded) return result;
        if (std::memcmp(id, "HC", 2) == 0)
            firmware.hc = std::move(image);
        else if (std::memcmp(id, "CA", 2) == 0)
            firmware.camera = std::move(image);
    }
}

}  // namespace

int LoadFirmwareFile(const std::string& path, LoadedFirmware& firmware) {
    firmware.Clear();
    std::error_code ec;
    if (std::filesystem::is_directory(path, ec)) return kFirmwareCantOpen;
    std::FILE* file = std::fopen(path.c_str(), "rb");
    if (!file) return kFirmwareCantOpen;
    FileSource in(file);
    return Load(in, firmware);
}

int LoadFirmwareData(const uint8_t* data, size_t size, LoadedFirmware& firmware) {
    firmware.Clear();
    MemorySource in(data, data ? size : 0);
    return Load(in, firmware);
}

const char* FirmwareLoadText(int result) {
    switch (result) {
        case kFirmwareLoaded:
            return "";
        case kFirmwareCantOpen:
            return "can't open/find file";
        case kFirmwareReadError:
            return "file reading error";
        case kFirmwareWrongContents:
            return "wrong file contents";
        case kFirmwareOutOfMemory:
            return "out of memory";
        default:
            return "";
    }
}
