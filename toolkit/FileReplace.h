#pragma once
// Replacing a file as a whole, so that a crash or a full disk leaves either the old file or
// the new one, never a mixture.

#include <filesystem>
#include <string>

namespace zen {

// Who may read a file the program writes. Owner: its owner alone (0600 whatever the umask),
// the rule for everything in the home directory, which holds the SQL login. Umask: 0666 less
// the umask, for a file the user asks for elsewhere (a report), as any program would give it.
enum class TFileAccess { Owner, Umask };

// The access a file the user names gets: Owner in the home directory or below it, Umask
// elsewhere.
TFileAccess AccessFor(const std::filesystem::path& file);

// A new file being written beside `target` under a random name that no file and no symbolic
// link had: created exclusively, so that a link planted in a shared folder cannot turn the
// write onto another file. Commit() puts it in the target's place; a replacement not
// committed is removed with the object. EInOutError "<failure>: <reason>" on failure, the
// failure text being "Datoteke <target> ni mogoče zapisati" unless given; the target is then
// untouched.
class TReplacement {
public:
    TReplacement(const std::filesystem::path& target, TFileAccess access, std::string failure = {});
    ~TReplacement();
    TReplacement(const TReplacement&) = delete;
    TReplacement& operator=(const TReplacement&) = delete;

    // The open file, for writing; it stays the object's to close.
    int Descriptor() const { return fd_; }
    void Write(const std::string& text);
    // Syncs the file to the disk, renames it over the target and syncs the directory.
    void Commit();

private:
    [[noreturn]] void Fail(int err) const;

    std::filesystem::path target_;
    std::string failure_;
    std::filesystem::path temp_;
    int fd_ = -1;
};

// Writes `text` to `path` through a TReplacement.
void ReplaceFile(const std::filesystem::path& path, const std::string& text, TFileAccess access);

// Creates `path` empty and its owner's alone (0600 whatever the umask) when it is missing,
// never through a symbolic link; an existing file is left as it is. False when it cannot be
// created (errno says why).
bool CreateOwnerFile(const std::filesystem::path& path);

} // namespace zen
