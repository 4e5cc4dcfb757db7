#include "gantrix/report/jpeg_writer.h"

#include <csetjmp>
#include <cstdio>
#include <cstdlib>
#include <vector>

// clang-format off
#include <jpeglib.h>
// clang-format on

namespace report {

namespace {

// libjpeg reports a fatal error through error_exit, which must not return; it jumps back to
// the call that was in progress. Nothing with a destructor lives between the setjmp and the
// libjpeg call it guards.
struct ErrorManager {
    jpeg_error_mgr pub;
    std::jmp_buf jump;
};

[[noreturn]] void ErrorExit(j_common_ptr cinfo) {
    auto* manager = reinterpret_cast<ErrorManager*>(cinfo->err);
    std::longjmp(manager->jump, 1);
}

// Warnings (such as a corrupt-data note) are not worth a message on stderr.
void OutputMessage(j_common_ptr) {}

}  // namespace

struct JpegWriter::Encoder {
    jpeg_compress_struct cinfo{};
    ErrorManager errors{};
    std::FILE* file = nullptr;
    // A memory stream's buffer (open_memstream), copied to memoryOut when the file closes.
    char* memory = nullptr;
    size_t memorySize = 0;
    std::string* memoryOut = nullptr;
    bool created = false;
    bool failed = false;
    std::vector<JSAMPLE> scanline;

    Encoder() {
        cinfo.err = jpeg_std_error(&errors.pub);
        errors.pub.error_exit = ErrorExit;
        errors.pub.output_message = OutputMessage;
    }

    ~Encoder() { Release(); }

    void Release() {
        if (created) jpeg_destroy_compress(&cinfo);
        created = false;
        CloseFile();
    }

    // Closes the file; false when its last bytes could not be written.
    bool CloseFile() {
        const bool closed = file == nullptr || std::fclose(file) == 0;
        file = nullptr;
        if (memory != nullptr && memoryOut != nullptr) memoryOut->assign(memory, memorySize);
        std::free(memory);
        memory = nullptr;
        return closed;
    }

    bool Start(int width, int height, int quality) {
        if (setjmp(errors.jump) != 0) return false;
        jpeg_create_compress(&cinfo);
        created = true;
        jpeg_stdio_dest(&cinfo, file);
        cinfo.image_width = JDIMENSION(width);
        cinfo.image_height = JDIMENSION(height);
        cinfo.input_components = 3;
        cinfo.in_color_space = JCS_RGB;
        jpeg_set_defaults(&cinfo);
        // RGB in the file: libjpeg then writes an Adobe marker (transform 0) and no JFIF header.
        jpeg_set_colorspace(&cinfo, JCS_RGB);
        jpeg_set_quality(&cinfo, quality, TRUE);
        cinfo.optimize_coding = TRUE;
        jpeg_simple_progression(&cinfo);
        jpeg_start_compress(&cinfo, TRUE);
        return true;
    }

    bool Write(JSAMPROW row) {
        if (setjmp(errors.jump) != 0) return false;
        jpeg_write_scanlines(&cinfo, &row, 1);
        return true;
    }

    bool Complete() {
        if (setjmp(errors.jump) != 0) return false;
        jpeg_finish_compress(&cinfo);
        return true;
    }
};

JpegWriter::JpegWriter() = default;

JpegWriter::~JpegWriter() = default;

int JpegWriter::Open(const std::string& path, int width, int height, int quality) {
    if (encoder_) Finish();
    if (width <= 0 || height <= 0) return -1;
    encoder_ = std::make_unique<Encoder>();
    encoder_->file = std::fopen(path.c_str(), "wb");
    return Start(width, height, quality);
}

int JpegWriter::OpenMemory(std::string& out, int width, int height, int quality) {
    if (encoder_) Finish();
    out.clear();
    if (width <= 0 || height <= 0) return -1;
    encoder_ = std::make_unique<Encoder>();
    encoder_->memoryOut = &out;
    encoder_->file = open_memstream(&encoder_->memory, &encoder_->memorySize);
    return Start(width, height, quality);
}

int JpegWriter::Start(int width, int height, int quality) {
    if (encoder_->file == nullptr) {
        encoder_.reset();
        return -1;
    }
    encoder_->scanline.resize(size_t(width) * 3);
    if (!encoder_->Start(width, height, quality)) {
        encoder_.reset();
        return -1;
    }
    return 0;
}

int JpegWriter::WriteRow(const uint32_t* pixels) {
    if (!encoder_ || encoder_->failed) return -1;
    JSAMPLE* out = encoder_->scanline.data();
    const size_t width = encoder_->scanline.size() / 3;
    for (size_t x = 0; x < width; ++x) {
        const uint32_t p = pixels[x];
        *out++ = JSAMPLE(p & 0xFF);
        *out++ = JSAMPLE(p >> 8 & 0xFF);
        *out++ = JSAMPLE(p >> 16 & 0xFF);
    }
    if (!encoder_->Write(encoder_->scanline.data())) encoder_->failed = true;
    return encoder_->failed ? -1 : 0;
}

int JpegWriter::Finish() {
    if (!encoder_) return -1;
    bool ok = !encoder_->failed && encoder_->Complete();
    // A full disk shows only when the buffered bytes are flushed.
    if (ok && encoder_->file != nullptr) ok = std::fflush(encoder_->file) == 0;
    if (!encoder_->CloseFile()) ok = false;
    encoder_.reset();
    return ok ? 0 : -1;
}

namespace {

int WriteRows(JpegWriter& writer, const CBitmapRect& bitmap) {
    for (int y = 0; y < bitmap.Height(); ++y) {
        const uint32_t* row = bitmap.Row(y);
        if (row == nullptr || writer.WriteRow(row) != 0) break;
    }
    return writer.Finish();
}

}  // namespace

int WriteJpeg(const std::string& path, const CBitmapRect& bitmap, int quality) {
    JpegWriter writer;
    if (writer.Open(path, bitmap.Width(), bitmap.Height(), quality) != 0) return -1;
    return WriteRows(writer, bitmap);
}

int EncodeJpeg(std::string& bytes, const CBitmapRect& bitmap, int quality) {
    JpegWriter writer;
    if (writer.OpenMemory(bytes, bitmap.Width(), bitmap.Height(), quality) != 0) return -1;
    return WriteRows(writer, bitmap);
}

}  // namespace report
