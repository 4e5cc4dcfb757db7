#include "tests/support/terminal_run.h"

#include <fcntl.h>
#include <poll.h>
#include <signal.h>
#include <sys/wait.h>
#include <termios.h>
#include <unistd.h>

#include <chrono>
#include <cstdlib>
#include <stdexcept>

namespace vt5test {

RunResult runOnTerminal(const std::vector<std::string>& argv, int timeoutMs) {
    int master = ::posix_openpt(O_RDWR | O_NOCTTY | O_CLOEXEC);
    if (master < 0 || ::grantpt(master) != 0 || ::unlockpt(master) != 0)
        throw std::runtime_error("no pseudo-terminal");
    const std::string slaveName = ::ptsname(master);
    std::vector<std::string> command = programCommand(argv);
    std::vector<char*> args;
    for (std::string& a : command)
        args.push_back(a.data());
    args.push_back(nullptr);
    int err[2];
    if (::pipe2(err, O_CLOEXEC) != 0) throw std::runtime_error("pipe failed");
    pid_t pid = ::fork();
    if (pid < 0) throw std::runtime_error("fork failed");
    if (pid == 0) {
        ::setsid();
        int slave = ::open(slaveName.c_str(), O_RDWR);
        termios t{};
        if (slave < 0 || ::tcgetattr(slave, &t) != 0) ::_exit(127);
        t.c_oflag &= ~tcflag_t(OPOST);
        ::tcsetattr(slave, TCSANOW, &t);
        int null = ::open("/dev/null", O_RDONLY);
        ::dup2(null, 0);
        ::dup2(slave, 1);
        ::dup2(err[1], 2);
        ::execv(args[0], args.data());
        ::_exit(127);
    }
    ::close(err[1]);

    return collectUntilExit(pid, master, err[0], timeoutMs);
}

}  // namespace vt5test
