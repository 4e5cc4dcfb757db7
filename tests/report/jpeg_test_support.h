#pragma once

#include <QImage>
#include <QImageReader>
#include <QString>

#include <cstdint>
#include <string>
#include <vector>

#include "tests/report/log_builder.h"

namespace report::testing {

// The markers of a JPEG file up to its first scan, read here rather than by the encoder's
// library, so that the file's layout is checked independently.
struct JpegLayout {
    bool valid = false;
    bool progressive = false;  // SOF2
    bool adobe = false;        // APP14 "Adobe"
    bool jfif = false;         // APP0 "JFIF"
    int width = 0;
    int height = 0;
    int components = 0;
};

inline JpegLayout ReadJpegLayout(const std::string& path) {
    const std::string b = ReadFileText(path);
    JpegLayout layout;
    if (b.size() < 4 || uint8_t(b[0]) != 0xFF || uint8_t(b[1]) != 0xD8) return layout;
    size_t i = 2;
    while (i + 4 <= b.size() && uint8_t(b[i]) == 0xFF) {
        const uint8_t marker = uint8_t(b[i + 1]);
        const size_t length = size_t(uint8_t(b[i + 2])) << 8 | uint8_t(b[i + 3]);
        const std::string body = b.substr(i + 4, length >= 2 ? length - 2 : 0);
        if (marker == 0xE0 && body.compare(0, 5, std::string("JFIF\0", 5)) == 0) layout.jfif = true;
        if (marker == 0xEE && body.compare(0, 5, "Adobe") == 0) layout.adobe = true;
        if ((marker == 0xC0 || marker == 0xC1 || marker == 0xC2) && body.size() >= 6) {
            layout.progressive = marker == 0xC2;
            layout.height = uint8_t(body[1]) << 8 | uint8_t(body[2]);
            layout.width = uint8_t(body[3]) << 8 | uint8_t(body[4]);
            layout.components = uint8_t(body[5]);
        }
        if (marker == 0xDA) {
            layout.valid = true;
            break;
        }
        i += 2 + length;
    }
    return layout;
}

// Decodes with Qt's image reader.
inline QImage DecodeJpeg(const std::string& path) {
    QImageReader reader(QString::fromStdString(path), "jpeg");
    return reader.read();
}

}  // namespace report::testing
