#include "tests/registry/registry_fixture.h"

#include <stdlib.h>

#include <fstream>

namespace platform::registry::test {

namespace fs = std::filesystem;

void RegistryTest::SetUp() {
    std::string pattern = (fs::temp_directory_path() / "vt5-registry-XXXXXX").string();
    ASSERT_NE(::mkdtemp(pattern.data()), nullptr);
    folder_ = pattern;
    hive_ = folder_ / "registry.reg";
    ::setenv("VT5_REGISTRY", hive_.c_str(), 1);
}

void RegistryTest::TearDown() {
    ::unsetenv("VT5_REGISTRY");
    std::error_code ec;
    fs::permissions(folder_, fs::perms::owner_all, fs::perm_options::add, ec);
    fs::remove_all(folder_, ec);
}

std::string RegistryTest::readHive() const {
    return readFile(hive_);
}
void RegistryTest::writeHive(std::string_view text) const {
    writeFile(hive_, text);
}

std::string readFile(const fs::path& path) {
    std::ifstream in(path, std::ios::binary | std::ios::ate);
    std::string text(in ? static_cast<std::size_t>(in.tellg()) : 0, '\0');
    in.seekg(0);
    in.read(text.data(), static_cast<std::streamsize>(text.size()));
    return text;
}

void writeFile(const fs::path& path, std::string_view text) {
    std::ofstream out(path, std::ios::binary | std::ios::trunc);
    out.write(text.data(), static_cast<std::streamsize>(text.size()));
}

Queried query(const Key& key, std::string_view name) {
    Queried q;
    std::uint32_t size = 0;
    q.status = key.queryValue(name, &q.type, nullptr, &size);
    if (q.status != ERROR_SUCCESS) return q;
    q.data.resize(size);
    q.status = key.queryValue(name, nullptr, q.data.data(), &size);
    q.data.resize(size);
    return q;
}

}  // namespace platform::registry::test
