#pragma once
// Replacing a small file as a whole, so that a crash or a full disk leaves either the old
// file or the new one, never a mixture.

#include <filesystem>
#include <string>
#include <sys/types.h>

namespace zen {

// Writes `text` to a temporary file beside `path`, syncs it to the disk, renames it over
// `path` and syncs the directory. The new file gets `mode` (less the umask). EInOutError
// "Cannot write <path>: <reason>" on failure; the old file is then untouched.
void ReplaceFile(const std::filesystem::path& path, const std::string& text, mode_t mode);

} // namespace zen
