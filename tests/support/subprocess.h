#pragma once

#include <sys/types.h>

#include <string>
#include <vector>

namespace vt5test {

// The command line that starts a program: as it stands, or, in a cross build's tests, a
// program of the build through the user-mode emulator that VT5_TEST_EMULATOR names (the
// emulator cannot start another program of the emulated machine by itself). Called before
// fork.
std::vector<std::string> programCommand(const std::vector<std::string>& argv);

// A program started for a test, with its standard output readable line by line; killed and
// reaped when the object ends.
class Subprocess {
public:
    // With stderrToo, the program's standard error is read as part of its output.
    explicit Subprocess(const std::vector<std::string>& argv, bool stderrToo = false);
    ~Subprocess();
    Subprocess(const Subprocess&) = delete;
    Subprocess& operator=(const Subprocess&) = delete;

    // The next line of standard output, waiting up to timeoutMs; false at the end or timeout.
    bool readLine(std::string& line, int timeoutMs = 10000);
    // Reads lines until one contains `text`; false when none did.
    bool waitFor(const std::string& text, int timeoutMs = 10000);
    void kill(int signal);
    // Waits for the end; the exit status as from waitpid, or -1.
    int wait();
    pid_t pid() const { return pid_; }

private:
    pid_t pid_ = -1;
    int out_ = -1;
    std::string pending_;
    bool reaped_ = false;
};

// Runs a program to its end; its standard output in `output`, the exit code as the result
// (-1 when it did not exit normally).
int run(const std::vector<std::string>& argv, std::string& output);

// What a program wrote and how it ended.
struct RunResult {
    int status = -1;  // exit code; -1 when it did not exit normally (or ran out of time)
    std::string out;  // standard output, every byte
    std::string err;  // standard error
};

// Runs a program to its end (killed after timeoutMs) with `input` on its standard input,
// keeping standard output and standard error apart.
RunResult runProgram(const std::vector<std::string>& argv, const std::string& input = {},
                     int timeoutMs = 120000);

// Reads a started program's standard output and standard error from outFd and errFd (both
// closed here) until both end, then waits for the program; killed after timeoutMs.
RunResult collectUntilExit(pid_t pid, int outFd, int errFd, int timeoutMs);

}  // namespace vt5test
