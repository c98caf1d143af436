#pragma once
// The program run as a child process by a test, its standard error read line by line.

#include <fcntl.h>
#include <poll.h>
#include <signal.h>
#include <sys/wait.h>
#include <unistd.h>

#include <cerrno>
#include <cstring>
#include <filesystem>
#include <stdexcept>
#include <string>
#include <vector>

namespace zen::test {

// The program as a child whose standard error the test reads through a pipe of one page:
// a child that gets ahead of the reader blocks on it, so it cannot finish unseen.
class TChild {
public:
    // With `bothOutputs` its standard output goes to the same pipe (a dry run lists its
    // invoices there).
    TChild(const std::filesystem::path& dir, const std::vector<std::string>& args,
           bool bothOutputs = false) {
        int fds[2];
        if (pipe2(fds, O_CLOEXEC) != 0) {
            throw std::runtime_error(std::strerror(errno));
        }
        fcntl(fds[0], F_SETPIPE_SZ, 4096);
        pid_ = fork();
        if (pid_ == 0) {
            if (chdir(dir.c_str()) != 0) {
                _exit(127);
            }
            int null = open("/dev/null", O_RDWR);
            dup2(null, 0);
            dup2(bothOutputs ? fds[1] : null, 1);
            dup2(fds[1], 2);
            unsetenv("DISPLAY");
            unsetenv("WAYLAND_DISPLAY");
            setenv("LC_ALL", "sl_SI.UTF-8", 1);
            std::vector<char*> argv = {const_cast<char*>(ZENDRATO_BIN)};
            for (const std::string& a : args) {
                argv.push_back(const_cast<char*>(a.c_str()));
            }
            argv.push_back(nullptr);
            execv(ZENDRATO_BIN, argv.data());
            _exit(127);
        }
        close(fds[1]);
        fd_ = fds[0];
    }
    ~TChild() {
        if (pid_ > 0) {
            End(true);
        }
        close(fd_);
    }

    // The next line of its standard error; false at its end or after a minute of silence.
    bool ReadLine(std::string& line) {
        for (;;) {
            if (size_t nl = buffer_.find('\n'); nl != std::string::npos) {
                line = buffer_.substr(0, nl);
                buffer_.erase(0, nl + 1);
                return true;
            }
            pollfd p{fd_, POLLIN, 0};
            if (poll(&p, 1, 60000) <= 0) {
                return false;
            }
            char chunk[512];
            ssize_t n = read(fd_, chunk, sizeof chunk);
            if (n <= 0) {
                return false;
            }
            buffer_.append(chunk, size_t(n));
        }
    }
    pid_t Pid() const { return pid_; }
    // Everything it still writes, up to its end.
    std::string Rest() {
        std::string all;
        for (std::string line; ReadLine(line);) {
            all += line + "\n";
        }
        return all;
    }
    // Reads what it has written so far, without waiting, so that it never blocks on the pipe.
    void Drain() {
        char chunk[4096];
        for (pollfd p{fd_, POLLIN, 0}; poll(&p, 1, 0) > 0 && (p.revents & POLLIN);) {
            ssize_t n = read(fd_, chunk, sizeof chunk);
            if (n <= 0) {
                return;
            }
            buffer_.append(chunk, size_t(n));
        }
    }
    // Whether it has ended by itself, reaped with its wait status then.
    bool Ended(int& status) {
        if (pid_ > 0 && waitpid(pid_, &status, WNOHANG) == pid_) {
            pid_ = -1;
            return true;
        }
        return false;
    }
    // Reaps it, killed first (SIGKILL) or not; the wait status.
    int End(bool kill) {
        if (pid_ <= 0) {
            return 0;
        }
        if (kill) {
            ::kill(pid_, SIGKILL);
        }
        int status = 0;
        waitpid(pid_, &status, 0);
        pid_ = -1;
        return status;
    }

private:
    pid_t pid_ = -1;
    int fd_ = -1;
    std::string buffer_;
};

} // namespace zen::test
