// `zendrato --transfer` killed (SIGKILL) in the middle of its invoices, on both drivers: no
// invoice is left half-written, the journal names the invoices that were committed (all
// but at most the one whose commit the kill followed), the same file is then refused, and
// a forced run transfers it whole.

#include "FaultFixture.h"

#include <fcntl.h>
#include <gtest/gtest.h>
#include <poll.h>
#include <signal.h>
#include <sys/wait.h>
#include <unistd.h>

#include <cstdio>
#include <cstring>

namespace zen::test {
namespace {

constexpr int kPayers = 80;

// The program as a child whose standard error the test reads through a pipe of one page:
// a child that gets ahead of the reader blocks on it, so it cannot finish unseen.
class TChild {
public:
    TChild(const std::filesystem::path& dir, const std::vector<std::string>& args) {
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
            dup2(null, 1);
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
    // Reaps it, killed first (SIGKILL) or not; the wait status.
    int End(bool kill) {
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

using BatchKillTest = FaultFixture;

std::vector<std::string> Args(const TTransferOptions& o, bool force) {
    std::vector<std::string> args = {"--transfer", "--date",  "2026-12-20", "--event",
                                     o.PoslDog,    "--clerk", o.Referent,   "--dsn",
                                     o.DataSource, "--file",  o.Path};
    if (force) {
        args.push_back("--force");
    }
    return args;
}

TEST_P(BatchKillTest, AKilledRunLeavesWholeInvoicesAndTheJournalRefusesTheFile) {
    ResetDatabase(kPayers);
    WriteFile(kPayers);
    const std::string hash = TransferFileHash(options.Path);
    int written = 0;
    {
        TChild child(home.Path(), Args(options, false));
        for (std::string line; written < 5 && child.ReadLine(line);) {
            written += line.rfind("Zapisano: ", 0) == 0;
        }
        ASSERT_EQ(written, 5) << "the run wrote fewer invoices than expected before it ended";
        int status = child.End(true);
        ASSERT_TRUE(WIFSIGNALED(status) && WTERMSIG(status) == SIGKILL)
            << "the run ended before the kill";
    }

    // What the database holds: whole invoices, numbered from the first without a gap.
    EXPECT_EQ(PartialInvoices(), kWhole);
    const int headers = std::stoi(Scalar("SELECT COUNT(*) FROM Promet"));
    EXPECT_GE(headers, written);
    EXPECT_LT(headers, kPayers) << "the kill came after the last invoice";
    EXPECT_EQ(Scalar("SELECT MAX(Kljuc) FROM Promet"), Key(headers));

    // What the journal holds: every one of those invoices in order, and at most one more,
    // written as pending before a commit that the kill may have cut off.
    std::vector<TTransferRun> runs = JournalRuns(hash);
    ASSERT_EQ(runs.size(), 1u);
    EXPECT_EQ(runs[0].Status, TTransferRunStatus::Running);
    std::vector<std::string> keys = JournalKeys(hash);
    ASSERT_GE(keys.size(), size_t(headers));
    ASSERT_LE(keys.size(), size_t(headers) + 1);
    for (size_t i = 0; i < keys.size(); ++i) {
        EXPECT_EQ(keys[i], Key(int(i) + 1));
    }

    // The same file again is refused and writes nothing; forced, it is transferred whole.
    std::string err;
    int status = 0;
    {
        TChild again(home.Path(), Args(options, false));
        for (std::string line; again.ReadLine(line);) {
            err += line + "\n";
        }
        status = again.End(false);
    }
    EXPECT_TRUE(WIFEXITED(status) && WEXITSTATUS(status) == 2) << err;
    EXPECT_NE(err.find("Datoteka je bila že delno prenesena"), std::string::npos) << err;
    EXPECT_NE(err.find("--force"), std::string::npos) << err;
    EXPECT_EQ(Scalar("SELECT COUNT(*) FROM Promet"), std::to_string(headers));
    // That run settled the pending key against the database: the journal now names
    // exactly the invoices that are there.
    keys = JournalKeys(hash);
    ASSERT_EQ(keys.size(), size_t(headers));

    int forced = 0;
    {
        TChild child(home.Path(), Args(options, true));
        for (std::string line; child.ReadLine(line);) {
            forced += line.rfind("Zapisano: ", 0) == 0;
        }
        status = child.End(false);
    }
    EXPECT_TRUE(WIFEXITED(status) && WEXITSTATUS(status) == 0);
    EXPECT_EQ(forced, kPayers);
    EXPECT_EQ(Scalar("SELECT COUNT(*) FROM Promet"), std::to_string(headers + kPayers));
    EXPECT_EQ(PartialInvoices(), kWhole);
}

INSTANTIATE_TEST_SUITE_P(Drivers, BatchKillTest, ::testing::ValuesIn(OdbcTestEnv::Drivers()),
                         [](const auto& info) { return OdbcTestEnv::Label(info.param); });

} // namespace
} // namespace zen::test
