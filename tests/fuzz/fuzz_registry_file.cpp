// Any bytes as the registry stand-in (HKEY_LOCAL_MACHINE.reg). Either the file is refused
// as damaged, by ERegistryException and nothing else, or every key and value it names
// reads, and survives being written back: after each value has been written again under
// its own key, each reads as before. A new value under the login's key, with a name and a
// text made of any bytes, then reads back exactly while every other value stays, and
// reading the SQL login from the file never faults.

#include "FuzzHome.h"
#include "app/Registry.h"
#include "app/SignOn.h"
#include "toolkit/Text.h"

#include <charconv>
#include <cstddef>
#include <cstdint>
#include <fstream>
#include <string>
#include <string_view>
#include <vector>

namespace {

struct Entry {
    std::string key, name, value;
};

// A value name as the file writes it: "\\", "\=", "\n", "\r" and "\xHH" escapes.
bool Unescaped(std::string_view s, std::string& out) {
    out.clear();
    for (size_t i = 0; i < s.size(); ++i) {
        if (s[i] != '\\') {
            out += s[i];
        } else if (++i == s.size()) {
            return false;
        } else if (s[i] == 'n' || s[i] == 'r') {
            out += s[i] == 'n' ? '\n' : '\r';
        } else if (s[i] == 'x' && i + 2 < s.size()) {
            unsigned v = 0;
            std::from_chars(s.data() + i + 1, s.data() + i + 3, v, 16);
            out += static_cast<char>(v);
            i += 2;
        } else {
            out += s[i];
        }
    }
    return true;
}

// Every value name of the file under the key line above it, the first 16 only (each is
// read and written back through the file).
std::vector<Entry> Candidates(std::string_view text) {
    std::vector<Entry> out;
    std::string key;
    size_t start = 0;
    while (start < text.size() && out.size() < 16) {
        size_t end = text.find('\n', start);
        std::string_view line = text.substr(start, end == text.npos ? text.npos : end - start);
        if (!line.empty() && line.back() == '\r') {
            line.remove_suffix(1);
        }
        if (line.size() >= 2 && line.front() == '[' && line.back() == ']') {
            key = line.substr(1, line.size() - 2);
        } else {
            size_t eq = 0;
            while (eq < line.size() && line[eq] != '=') {
                eq += line[eq] == '\\' ? 2 : 1;
            }
            std::string name;
            if (!key.empty() && eq < line.size() && Unescaped(line.substr(0, eq), name)) {
                out.push_back({key, name, {}});
            }
        }
        if (end == text.npos) {
            break;
        }
        start = end + 1;
    }
    return out;
}

// The values that read; false when the file is refused.
bool ReadAll(std::vector<Entry>& entries, std::vector<bool>& present) {
    zen::TRegistry r;
    r.SetRootKey(zen::TRootKey::LocalMachine);
    present.assign(entries.size(), false);
    try {
        for (size_t i = 0; i < entries.size(); ++i) {
            if (r.OpenKey("\\" + entries[i].key, false) && r.ValueExists(entries[i].name)) {
                entries[i].value = r.ReadString(entries[i].name);
                present[i] = true;
            }
        }
        return true;
    } catch (const zen::ERegistryException&) {
        return false;
    }
}

void Write(const std::string& key, const std::string& name, const std::string& value) {
    zen::TRegistry r;
    r.SetRootKey(zen::TRootKey::LocalMachine);
    if (!r.OpenKey("\\" + key, true)) {
        __builtin_trap(); // a key that reads cannot be opened for writing
    }
    r.WriteString(name, value);
}

} // namespace

extern "C" int LLVMFuzzerInitialize(int*, char***) {
    zen::fuzz::MakeHome();
    return 0;
}

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    const std::string_view text(reinterpret_cast<const char*>(data), size);
    zen::TRegistry root;
    root.SetRootKey(zen::TRootKey::LocalMachine);
    std::ofstream(root.FilePath(), std::ios::binary | std::ios::trunc)
        .write(text.data(), text.size());

    std::vector<Entry> entries = Candidates(text);
    std::vector<bool> present;
    const bool readable = ReadAll(entries, present);
    // A file that a lookup refused is refused by every change too.
    zen::TRegistry probe;
    probe.SetRootKey(zen::TRootKey::LocalMachine);
    if (!probe.OpenKey(zen::kLoginKeyPath, true)) {
        std::string user, password;
        if (zen::ReadSqlLogin(user, password)) {
            __builtin_trap(); // a login read from a file that cannot be opened
        }
        return 0;
    }
    if (!readable) {
        __builtin_trap(); // the file was written although a read had refused it
    }

    std::vector<Entry> kept;
    for (size_t i = 0; i < entries.size(); ++i) {
        if (present[i]) {
            kept.push_back(entries[i]);
            Write(entries[i].key, entries[i].name, entries[i].value);
        }
    }
    std::vector<Entry> again = kept;
    if (!ReadAll(again, present)) {
        __builtin_trap(); // the file no longer reads after writing back what it held
    }
    for (size_t i = 0; i < kept.size(); ++i) {
        if (!present[i] || again[i].value != kept[i].value) {
            __builtin_trap(); // the round trip lost or changed a value
        }
    }

    // Any bytes as a value name and text: the name from the first bytes.
    const std::string name(text.substr(0, size % 7));
    const std::string value(text);
    Write(zen::kLoginKeyPath, name, value);
    std::vector<Entry> added{{zen::kLoginKeyPath, name, {}}};
    if (!ReadAll(added, present) || !present[0] || added[0].value != value) {
        __builtin_trap(); // a stored value did not read back
    }
    again = kept;
    ReadAll(again, present);
    for (size_t i = 0; i < kept.size(); ++i) {
        bool replaced =
            zen::SameName(kept[i].key, zen::kLoginKeyPath) && zen::SameName(kept[i].name, name);
        if (!present[i] || (!replaced && again[i].value != kept[i].value)) {
            __builtin_trap(); // storing one value changed another
        }
    }
    std::string user, password;
    zen::ReadSqlLogin(user, password);
    return 0;
}
