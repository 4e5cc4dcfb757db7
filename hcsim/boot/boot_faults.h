#pragma once

#include <cstdint>
#include <optional>
#include <string>
#include <vector>

namespace hcsim::boot {

// Faults of the boot loader and of the camera behind it, for the next commands they concern;
// each applies `times` times (default 1) and is then used up. Text form (after "fault"):
//   busy [N]                     readiness answered 102 (busy)
//   no-room [N]                  readiness answered 239 (no room)
//   chunk STATUS [N]             image data answered STATUS, whatever became of the data
//   refuse-start [N]             upload start answered without its parameter
//   programming STATUS [N]       programming start answered STATUS (nothing erased)
//   fw-status STATUS [N]         firmware information reports STATUS
//   no-fw-info [N]               firmware information answered without its parameter
//   power-off-after CHUNKS       switched off (announced) in place of answering the CHUNKS-th
//                                image data from now, part of it programmed
//   camera-start STATUS [N]      camera boot start answered STATUS (the camera stays out)
//   camera-chunk STATUS [N]      the camera answers image data with STATUS
//   camera-refuse-upload [N]     the camera refuses its upload start
//   camera-fw-status STATUS [N]  the camera's firmware information reports STATUS
//   camera-line [N]              a pass-through whose reply fails the line's check (status 1)
//   camera-silent [N]            a pass-through the camera does not answer (status 3)
class BootFaults {
public:
    enum class Kind {
        Busy,
        NoRoom,
        Chunk,
        RefuseStart,
        Programming,
        FwStatus,
        NoFwInfo,
        CameraStart,
        CameraChunk,
        CameraRefuseUpload,
        CameraFwStatus,
        CameraLine,
        CameraSilent,
    };

    void add(Kind kind, uint8_t value = 0, int times = 1);
    // Uses up one fault of the kind: its value, or nothing when none is pending.
    std::optional<uint8_t> take(Kind kind);
    void powerOffAfter(int chunks) { powerOffIn_ = chunks; }
    // Counts one image-data chunk; true when the HC is to switch off in its place.
    bool takePowerOff();
    void clear();
    size_t size() const { return pending_.size() + (powerOffIn_ > 0 ? 1 : 0); }

    // Parses the words after "fault"; nothing when the kind is not one of these, else "" when
    // added or the reason it was not.
    std::optional<std::string> parse(const std::vector<std::string>& words);
    static const char* help();

private:
    struct Pending {
        Kind kind;
        uint8_t value;
        int left;
    };
    std::vector<Pending> pending_;
    int powerOffIn_ = 0;
};

}  // namespace hcsim::boot
