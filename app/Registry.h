#pragma once
// The registry stand-in. Each root key is a text file in the home directory
// (HKEY_LOCAL_MACHINE -> "HKEY_LOCAL_MACHINE.reg"), holding keys as backslash paths and
// string values:
//
//     [SOFTWARE\Orvanel\SQL]
//     UserName=sa
//     Password=1F08A3
//
// Key and value names are compared case-insensitively, as on Windows. In names and values
// a backslash escapes "\\", "=" ("\="), line breaks ("\n", "\r") and other control
// characters ("\xHH"); everything else is stored as UTF-8 unchanged. Every change rewrites
// the file atomically (a temporary file renamed over it), so a crash never leaves it half
// written. The file holds the SQL password, so only its owner may read it: it is written
// with mode 0600, and an older file that others could read is tightened when it is read;
// one that another user owns or others may write, or anything but a regular file in its
// place, is refused (HomeFile.h).
// A file that cannot be parsed is never overwritten: reading it raises
// ERegistryException and so does every change.

#include "toolkit/Exceptions.h"

#include <filesystem>
#include <string>
#include <utility>
#include <vector>

namespace zen {

ZEN_EXCEPTION_CLASS(ERegistryException, Exception);

enum class TRootKey { CurrentUser, LocalMachine };

class TRegistry {
public:
    TRegistry() = default;

    TRootKey RootKey() const noexcept { return root_; }
    // Closes the open key when the root changes.
    void SetRootKey(TRootKey root);
    // The file that holds the root key's keys.
    std::filesystem::path FilePath() const;

    // Opens a key: a path starting with "\" from the root, otherwise below the key that is
    // open. With canCreate, missing keys are created (and the file written). False when the
    // key is missing and not created, or on any failure of the file.
    bool OpenKey(const std::string& key, bool canCreate);
    void CloseKey() noexcept {
        current_.clear();
        open_ = false;
    }
    bool HasOpenKey() const noexcept { return open_; }
    // The open key's full path ("" for the root itself).
    std::string CurrentPath() const;
    // Creates a key (relative paths as for OpenKey) without opening it.
    bool CreateKey(const std::string& key);
    bool KeyExists(const std::string& key);

    // Values of the open key; ERegistryException when no key is open or the file fails.
    bool ValueExists(const std::string& name);
    // ERegistryException when the value is missing.
    std::string ReadString(const std::string& name);
    void WriteString(const std::string& name, const std::string& value);
    // Writes values of a key (a path as for OpenKey; the key and those above it created when
    // missing) in one change of the file: a crash leaves all of them written or none.
    // ERegistryException saying why when the file cannot be read, is refused by the home's
    // rules, or cannot be written.
    void WriteValues(const std::string& key,
                     const std::vector<std::pair<std::string, std::string>>& values);

private:
    std::vector<std::string> Resolve(const std::string& key) const;
    void WriteValues(const std::vector<std::string>& path,
                     const std::vector<std::pair<std::string, std::string>>& values);

    TRootKey root_ = TRootKey::CurrentUser;
    std::vector<std::string> current_;
    bool open_ = false;
};

// The process's one registry object.
TRegistry& Registry();

} // namespace zen
