#pragma once
// One run at a time in a home directory. Two runs sharing a home would re-create each
// other's working and error tables under them and book one file's records under the other
// file's invoices, so every run (the window's, the batch mode's, a dry run) holds an
// exclusive lock on a file in the home from its preparation to its end. The lock is the
// kernel's (flock, and a lock of the open file that can be tested without taking it), so a
// process that dies leaves nothing behind that blocks the next run.

#include "toolkit/Exceptions.h"

#include <filesystem>
#include <string>

namespace zen {

// A run refused because another holds the home. Its message is for the operator and names
// the holder (process id and start time) when the lock file says who it is.
ZEN_EXCEPTION_CLASS(ERunLocked, Exception);

// The lock file in the home directory.
std::filesystem::path RunLockFile();

// Whether a run holds the home's lock at this moment, asked without taking any lock, so that
// asking never makes a starting run refuse. EInOutError when the lock file is refused
// (HomeFile.h).
bool RunInProgress(const std::filesystem::path& file = RunLockFile());

class TRunLock {
public:
    // Takes the lock at once or raises ERunLocked; EInOutError when the lock file cannot
    // be opened at all or is refused (HomeFile.h). `file` is for tests; the default is
    // RunLockFile().
    explicit TRunLock(const std::filesystem::path& file = RunLockFile());
    ~TRunLock();
    TRunLock(const TRunLock&) = delete;
    TRunLock& operator=(const TRunLock&) = delete;

private:
    int fd_ = -1;
};

} // namespace zen
