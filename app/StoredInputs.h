#pragma once
// The four run inputs kept in the settings file "Tevrin.INI", section "Zendrato", from one
// start to the next. The window restores them into its fields; a run without a window takes
// them for the options it was not given.

#include <string>

namespace zen {

struct TStoredInputs {
    std::string PoslDog;  // "PoslDog", empty when missing
    std::string Alias;    // "Alias", "Lorvath" when missing
    std::string Referent; // "Referent", empty when missing
    std::string Path;     // "Path", empty when missing
};

// Reads them from the process's settings file (OpenSettingsFile first).
TStoredInputs ReadStoredInputs();
// Writes them back.
void WriteStoredInputs(const TStoredInputs& inputs);

} // namespace zen
