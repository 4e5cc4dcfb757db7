#include "tests/card/card_files.h"

#include <fcntl.h>
#include <sys/stat.h>

#include <fstream>
#include <set>
#include <sstream>
#include <stdexcept>

namespace vt5test {

namespace fs = std::filesystem;

SysTime utc(int year, unsigned month, unsigned day, int hour, int minute, int second) {
    using namespace std::chrono;
    return SysTime(sys_days(std::chrono::year(year) / month / day) + hours(hour) + minutes(minute) +
                   seconds(second));
}

void setModified(const fs::path& path, SysTime modified) {
    auto secs = std::chrono::duration_cast<std::chrono::seconds>(modified.time_since_epoch());
    timespec times[2] = {{static_cast<time_t>(secs.count()), 0},
                         {static_cast<time_t>(secs.count()), 0}};
    if (::utimensat(AT_FDCWD, path.c_str(), times, 0) != 0)
        throw std::runtime_error("cannot set the time of " + path.string());
}

void writeHostFile(const fs::path& path, const std::string& content, SysTime modified) {
    fs::create_directories(path.parent_path());
    {
        std::ofstream out(path, std::ios::binary | std::ios::trunc);
        out << content;
    }
    setModified(path, modified);
}

std::string readHostFile(const fs::path& path) {
    std::ifstream in(path, std::ios::binary);
    std::ostringstream s;
    s << in.rdbuf();
    return s.str();
}

std::string folderNames(const fs::path& folder) {
    std::set<std::string> names;
    for (const auto& e : fs::directory_iterator(folder))
        names.insert(e.path().filename().string());
    std::string out;
    for (const std::string& n : names)
        out += (out.empty() ? "" : " ") + n;
    return out;
}

}  // namespace vt5test
