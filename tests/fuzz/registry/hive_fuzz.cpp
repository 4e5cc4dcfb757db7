// Any bytes as a hive file: the parser must neither crash nor accept what it cannot write back
// as the same hive, and the 8-bit/UTF-16 conversion must give every byte string back.
#include <cstddef>
#include <cstdint>
#include <cstdlib>
#include <string_view>

#include "platform/registry/reg_text.h"
#include "platform/registry/utf16.h"

using namespace platform::registry;

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    const std::string_view bytes(reinterpret_cast<const char*>(data), size);
    if (fromUtf16(toUtf16(bytes)) != bytes) std::abort();

    Hive hive;
    if (!parseHive(bytes, hive)) return 0;
    const std::string written = formatHive(hive);
    Hive reread;
    if (!parseHive(written, reread) || !(reread == hive)) std::abort();
    if (formatHive(reread) != written) std::abort();
    return 0;
}
