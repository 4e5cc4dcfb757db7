#pragma once

#include <optional>

#include "hcsim/boot/boot_loader_family.h"
#include "hcsim/boot/image_info.h"
#include "tests/hcsim/hc_fixture.h"

namespace hcsim::test {

// An HC in BOOT mode spoken to in raw command messages of the update family: commands are
// built here with counters of their own, answers taken apart into their entries.
class BootFixture : public HcFixture {
public:
    void plugBoot(HcConfig config = {});

    // Sends command `code` with parameter entries already laid out (id and value bytes), and
    // with a bulk entry and data when `bulk` is given; the answer's bytes.
    Bytes command(uint8_t code, const Bytes& params, const std::optional<Bytes>& bulk = {});
    // The value of the entry `id` in an answer of type 0; nothing when it is not there.
    static std::optional<Bytes> entry(const Bytes& answer, uint8_t id);
    // The bulk data that an answer announced and carried (0xFC, 0xFD).
    static Bytes bulkOf(const Bytes& answer);

    // The update family's commands; each returns the one status byte answered (-1: none).
    Bytes info() { return command(0xF7, {0x10}); }
    bool uploadStart(uint16_t word);
    int programmingStart();
    int readiness();
    int chunk(const Bytes& data);
    int finish();
    // Readiness after the erase: waits it out.
    int readyAfterErase();
    // Upload start, programming start, readiness and the image in 4096-byte chunks; the
    // statuses of the chunks.
    std::vector<int> upload(const Bytes& image,
                            uint16_t startWord = boot::BootLoaderFamily::kStartWord);

    // 0xF4: pass-through of a camera command; the status byte and the reply.
    struct CameraReply {
        int status = -1;
        Bytes data;
    };
    CameraReply camera(uint8_t code, uint8_t param, const Bytes& data = {});
    // Boot start, with the wait for the camera's answer; its status byte.
    int cameraStart();
    Bytes cameraRelease() { return command(0xF4, {0xC0}); }

    uint8_t counter_ = 0;
};

// An image for the HC (or, with target 'C', the camera) of `size` bytes.
Bytes hcImage(uint16_t version, size_t size, uint16_t flags = 0x2040,
              const char* description = "Test firmware");
Bytes cameraImage(uint16_t version, size_t size);

}  // namespace hcsim::test
