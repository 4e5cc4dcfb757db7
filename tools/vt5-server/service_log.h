#pragma once

// vt5-server's messages on standard error. Under systemd, whose journal reads the stream, each
// line starts with its syslog priority ("<6>...") and the journal adds the program's name;
// on a terminal or in a file each line starts with "vt5-server: " instead.

#include <string>

namespace service {

enum class Priority { kError = 3, kWarning = 4, kNotice = 5, kInfo = 6 };

class ServiceLog {
public:
    // Decides the form once: the journal's when $JOURNAL_STREAM names standard error.
    ServiceLog();
    void Write(Priority priority, const std::string& text) const;
    bool toJournal() const { return journal_; }

private:
    bool journal_ = false;
};

}  // namespace service
