#include "app/StoredInputs.h"

#include "dbutil/StdProc.h"

namespace zen {

namespace {

constexpr const char* kSection = "Zendrato";

} // namespace

TStoredInputs ReadStoredInputs() {
    TStoredInputs in;
    in.PoslDog = GetStringFromIniFile(kSection, "PoslDog", "");
    in.Alias = GetStringFromIniFile(kSection, "Alias", "Lorvath");
    in.Referent = GetStringFromIniFile(kSection, "Referent", "");
    in.Path = GetStringFromIniFile(kSection, "Path", "");
    return in;
}

void WriteStoredInputs(const TStoredInputs& inputs) {
    WriteStringToIniFile(kSection, "PoslDog", inputs.PoslDog);
    WriteStringToIniFile(kSection, "Alias", inputs.Alias);
    WriteStringToIniFile(kSection, "Referent", inputs.Referent);
    WriteStringToIniFile(kSection, "Path", inputs.Path);
}

} // namespace zen
