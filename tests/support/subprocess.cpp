#include "tests/support/subprocess.h"

#include <poll.h>
#include <signal.h>
#include <sys/wait.h>
#include <unistd.h>

#include <chrono>
#include <cstdlib>
#include <cstring>
#include <fstream>
#include <stdexcept>

namespace vt5test {

namespace {

// In the child after fork: runs the program (argv from programCommand), or ends with 127 as a
// shell would.
[[noreturn]] void execArgv(std::vector<char*>& args) {
    ::execv(args[0], args.data());
    ::_exit(127);
}

std::vector<char*> argPointers(std::vector<std::string>& argv) {
    std::vector<char*> args;
    for (std::string& a : argv)
        args.push_back(a.data());
    args.push_back(nullptr);
    return args;
}

// The machine an ELF program is built for (its e_machine), or 0 for any other file.
unsigned elfMachine(const std::string& path) {
    unsigned char header[20] = {};
    std::ifstream file(path, std::ios::binary);
    if (!file.read(reinterpret_cast<char*>(header), sizeof header)) return 0;
    const unsigned char magic[4] = {0x7f, 'E', 'L', 'F'};
    if (std::memcmp(header, magic, sizeof magic) != 0) return 0;
    return header[18] | header[19] << 8u;  // both machines here are little-endian
}

}  // namespace

std::vector<std::string> programCommand(const std::vector<std::string>& argv) {
    std::vector<std::string> command;
    // Only the build's own programs, not the machine's (a shell, a script).
    const char* emulator = ::getenv("VT5_TEST_EMULATOR");
    if (emulator && *emulator && !argv.empty() &&
        elfMachine(argv[0]) == elfMachine("/proc/self/exe"))
        command.emplace_back(emulator);
    command.insert(command.end(), argv.begin(), argv.end());
    return command;
}

Subprocess::Subprocess(const std::vector<std::string>& argv, bool stderrToo) {
    std::vector<std::string> command = programCommand(argv);
    std::vector<char*> args = argPointers(command);
    int fds[2];
    if (::pipe(fds) != 0) throw std::runtime_error("pipe failed");
    pid_ = ::fork();
    if (pid_ < 0) throw std::runtime_error("fork failed");
    if (pid_ == 0) {
        ::dup2(fds[1], 1);
        if (stderrToo) ::dup2(fds[1], 2);
        ::close(fds[0]);
        ::close(fds[1]);
        execArgv(args);
    }
    ::close(fds[1]);
    out_ = fds[0];
}

Subprocess::~Subprocess() {
    if (!reaped_) {
        kill(SIGKILL);
        wait();
    }
    if (out_ >= 0) ::close(out_);
}

bool Subprocess::readLine(std::string& line, int timeoutMs) {
    auto deadline = std::chrono::steady_clock::now() + std::chrono::milliseconds(timeoutMs);
    for (;;) {
        auto nl = pending_.find('\n');
        if (nl != std::string::npos) {
            line = pending_.substr(0, nl);
            pending_.erase(0, nl + 1);
            return true;
        }
        auto left = std::chrono::duration_cast<std::chrono::milliseconds>(
                        deadline - std::chrono::steady_clock::now())
                        .count();
        if (left <= 0) return false;
        pollfd p{out_, POLLIN, 0};
        if (::poll(&p, 1, static_cast<int>(left)) <= 0) return false;
        char buf[512];
        ssize_t n = ::read(out_, buf, sizeof buf);
        if (n <= 0) return false;
        pending_.append(buf, static_cast<size_t>(n));
    }
}

bool Subprocess::waitFor(const std::string& text, int timeoutMs) {
    std::string line;
    while (readLine(line, timeoutMs))
        if (line.find(text) != std::string::npos) return true;
    return false;
}

void Subprocess::kill(int signal) {
    if (!reaped_ && pid_ > 0) ::kill(pid_, signal);
}

int Subprocess::wait() {
    if (reaped_) return -1;
    int status = 0;
    if (::waitpid(pid_, &status, 0) != pid_) return -1;
    reaped_ = true;
    return status;
}

int run(const std::vector<std::string>& argv, std::string& output) {
    Subprocess p(argv);
    std::string line;
    output.clear();
    while (p.readLine(line, 60000))
        output += line + "\n";
    int status = p.wait();
    return WIFEXITED(status) ? WEXITSTATUS(status) : -1;
}

RunResult runProgram(const std::vector<std::string>& argv, const std::string& input,
                     int timeoutMs) {
    std::vector<std::string> command = programCommand(argv);
    std::vector<char*> args = argPointers(command);
    int in[2], out[2], err[2];
    if (::pipe(in) != 0 || ::pipe(out) != 0 || ::pipe(err) != 0)
        throw std::runtime_error("pipe failed");
    pid_t pid = ::fork();
    if (pid < 0) throw std::runtime_error("fork failed");
    if (pid == 0) {
        ::dup2(in[0], 0);
        ::dup2(out[1], 1);
        ::dup2(err[1], 2);
        for (int fd : {in[0], in[1], out[0], out[1], err[0], err[1]})
            ::close(fd);
        execArgv(args);
    }
    ::close(in[0]);
    ::close(out[1]);
    ::close(err[1]);
    // The input is small: what does not fit into the pipe at once is not needed by any test.
    ::signal(SIGPIPE, SIG_IGN);
    if (!input.empty()) (void)!::write(in[1], input.data(), input.size());
    ::close(in[1]);

    return collectUntilExit(pid, out[0], err[0], timeoutMs);
}

RunResult collectUntilExit(pid_t pid, int outFd, int errFd, int timeoutMs) {
    RunResult result;
    auto deadline = std::chrono::steady_clock::now() + std::chrono::milliseconds(timeoutMs);
    pollfd fds[2] = {{outFd, POLLIN, 0}, {errFd, POLLIN, 0}};
    std::string* sinks[2] = {&result.out, &result.err};
    int open = 2;
    bool timedOut = false;
    while (open > 0) {
        auto left = std::chrono::duration_cast<std::chrono::milliseconds>(
                        deadline - std::chrono::steady_clock::now())
                        .count();
        if (left <= 0) {
            timedOut = true;
            break;
        }
        if (::poll(fds, 2, static_cast<int>(left)) <= 0) continue;
        for (int i = 0; i < 2; ++i) {
            if (fds[i].fd < 0 || !(fds[i].revents & (POLLIN | POLLHUP | POLLERR))) continue;
            char buf[4096];
            ssize_t n = ::read(fds[i].fd, buf, sizeof buf);
            if (n > 0) {
                sinks[i]->append(buf, static_cast<size_t>(n));
            } else {
                // A terminal ends with EIO once the program and its children are gone.
                ::close(fds[i].fd);
                fds[i].fd = -1;
                --open;
            }
        }
    }
    for (pollfd& p : fds)
        if (p.fd >= 0) ::close(p.fd);
    if (timedOut) ::kill(pid, SIGKILL);
    int status = 0;
    ::waitpid(pid, &status, 0);
    result.status = !timedOut && WIFEXITED(status) ? WEXITSTATUS(status) : -1;
    return result;
}

}  // namespace vt5test
