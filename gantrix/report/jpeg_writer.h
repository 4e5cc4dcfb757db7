#pragma once

#include <cstdint>
#include <memory>
#include <string>

#include "common/bitmap_rect.h"

namespace report {

// Writes a JPEG file row by row from canvas pixels that hold red, green, blue in memory order
// (0x00BBGGRR). The file stores R, G, B components without colour transform (Adobe marker, no
// JFIF header), progressive with optimised Huffman tables.
class JpegWriter {
public:
    JpegWriter();
    ~JpegWriter();
    JpegWriter(const JpegWriter&) = delete;
    JpegWriter& operator=(const JpegWriter&) = delete;

    // Creates the file and starts the stream; -1 when the file cannot be created or the encoder
    // refuses the size. A file still open is finished first.
    int Open(const std::string& path, int width, int height, int quality);
    // Starts a stream into memory instead; Finish leaves the bytes in out (also the bytes of
    // a stream that failed, as a file would have kept them).
    int OpenMemory(std::string& out, int width, int height, int quality);
    // One row of width pixels, top row first; -1 once the encoder has failed.
    int WriteRow(const uint32_t* pixels);
    // Completes the stream and closes the file; -1 when anything failed since Open (too few
    // rows, a write error), in which case the file is incomplete.
    int Finish();

private:
    int Start(int width, int height, int quality);

    struct Encoder;
    std::unique_ptr<Encoder> encoder_;
};

// Writes the whole canvas; 0 or -1 as above.
int WriteJpeg(const std::string& path, const CBitmapRect& bitmap, int quality);
// Encodes the whole canvas into bytes, the same bytes WriteJpeg puts into its file; 0 or -1.
int EncodeJpeg(std::string& bytes, const CBitmapRect& bitmap, int quality);

}  // namespace report
