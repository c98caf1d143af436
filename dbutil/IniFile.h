#pragma once
// Profile files with the semantics of the Windows profile functions: section and key names
// compare without regard to case, values are kept as written, and every other section,
// key and comment line of the file survives a write.

#include <filesystem>
#include <memory>
#include <string>

namespace zen {

class TIniFile {
public:
    explicit TIniFile(std::filesystem::path path);
    const std::filesystem::path& FileName() const { return path_; }

    // The value, or `defaultValue` when the file, the section or the key is missing or the
    // file cannot be read (as the profile functions do), a file refused by the home's rules
    // (HomeFile.h) included: a pipe, device or folder in its place is never waited on.
    std::string ReadString(const std::string& section, const std::string& key,
                           const std::string& defaultValue) const;
    // Rewrites the file through a temporary file and a rename, so that a failed write
    // leaves the old file whole; the file is its owner's alone (0600), as a file of the
    // home directory. EInOutError when the file cannot be read, refused or written, or the
    // value cannot be stored on one line.
    void WriteString(const std::string& section, const std::string& key, const std::string& value);

private:
    std::filesystem::path path_;
};

// The settings file "Tevrin.INI" in the home directory that stands in for the Windows
// directory. OpenSettingsFile() creates the process's one settings object (the main
// window does this first thing) and the home directory; when the home cannot be created
// it raises EInOutError, and the object is there all the same (reads give the defaults,
// writes fail). SettingsFile() raises EInOutError before the object is made.
void OpenSettingsFile(const std::string& name = "Tevrin.INI");
TIniFile& SettingsFile();

} // namespace zen
