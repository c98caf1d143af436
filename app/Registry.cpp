#include "app/Registry.h"

#include "toolkit/FileReplace.h"
#include "toolkit/Home.h"
#include "toolkit/HomeFile.h"
#include "toolkit/Text.h"

#include <algorithm>
#include <cctype>
#include <charconv>
#include <sstream>

namespace zen {

namespace {

std::string JoinPath(const std::vector<std::string>& parts) {
    std::string s;
    for (const std::string& p : parts) {
        s += (s.empty() ? "" : "\\") + p;
    }
    return s;
}

// A key name may hold anything but the separator and control characters (which could not
// stand on a header line).
bool ValidKeyName(const std::string& name) {
    if (name.empty()) {
        return false;
    }
    for (unsigned char c : name) {
        if (c == '\\' || c < 0x20 || c == 0x7f) {
            return false;
        }
    }
    return true;
}

std::string Escape(const std::string& s) {
    static const char hex[] = "0123456789ABCDEF";
    std::string out;
    for (unsigned char c : s) {
        if (c == '\\') {
            out += "\\\\";
        } else if (c == '=') {
            out += "\\=";
        } else if (c == '\n') {
            out += "\\n";
        } else if (c == '\r') {
            out += "\\r";
        } else if (c < 0x20 || c == 0x7f || c == '[' || c == ';' || c == '#') {
            // Control characters, and the characters that would make a line read as a
            // header or a comment.
            out += "\\x";
            out += hex[c >> 4];
            out += hex[c & 15];
        } else {
            out += static_cast<char>(c);
        }
    }
    return out;
}

struct RegKey {
    std::vector<std::string> path;
    std::vector<std::pair<std::string, std::string>> values;

    // Sets a value, replacing one of the same name (without regard to case).
    void Set(const std::string& name, const std::string& value) {
        bool replaced = false;
        for (auto& nv : values) {
            if (SameName(nv.first, name)) {
                nv.second = value;
                replaced = true;
            }
        }
        if (!replaced) {
            values.emplace_back(name, value);
        }
    }
};

// One root key's file, read whole and written whole.
class RegFile {
public:
    explicit RegFile(std::filesystem::path path) : path_(std::move(path)) { Load(); }

    RegKey* Find(const std::vector<std::string>& path) {
        for (RegKey& k : keys_) {
            if (k.path.size() == path.size() &&
                std::equal(path.begin(), path.end(), k.path.begin(), SameName)) {
                return &k;
            }
        }
        return nullptr;
    }
    // Creates the key and the keys above it; true when anything was added.
    bool Create(const std::vector<std::string>& path) {
        bool added = false;
        for (size_t n = 1; n <= path.size(); ++n) {
            std::vector<std::string> prefix(path.begin(), path.begin() + static_cast<long>(n));
            if (!Find(prefix)) {
                keys_.push_back({prefix, {}});
                added = true;
            }
        }
        return added;
    }
    void Save() const;

private:
    void Load();
    [[noreturn]] void Malformed(int line, const char* why) const {
        throw ERegistryException("Datoteka registra " + path_.string() +
                                 " je poškodovana v vrstici " + std::to_string(line) + ": " + why +
                                 ".");
    }
    static bool Unescape(const std::string& s, size_t from, size_t to, std::string& out);

    std::filesystem::path path_;
    std::vector<RegKey> keys_;
};

bool RegFile::Unescape(const std::string& s, size_t from, size_t to, std::string& out) {
    out.clear();
    for (size_t i = from; i < to; ++i) {
        if (s[i] != '\\') {
            out += s[i];
            continue;
        }
        if (++i >= to) {
            return false;
        }
        switch (s[i]) {
        case '\\':
            out += '\\';
            break;
        case '=':
            out += '=';
            break;
        case 'n':
            out += '\n';
            break;
        case 'r':
            out += '\r';
            break;
        case 'x': {
            unsigned value = 0;
            if (to - i < 3 || std::from_chars(&s[i + 1], &s[i + 3], value, 16).ptr != &s[i + 3]) {
                return false;
            }
            out += static_cast<char>(value);
            i += 2;
            break;
        }
        default:
            return false;
        }
    }
    return true;
}

void RegFile::Load() {
    // A file written before it was kept private (or copied in by hand) is made so now.
    std::string text;
    try {
        if (!ReadHomeFile(path_, text)) {
            return; // no file yet: an empty root
        }
    } catch (const EInOutError& e) {
        throw ERegistryException(e.Message()); // the registry's failures are of its own kind
    }
    std::istringstream in(text);
    std::string line;
    int number = 0;
    RegKey* current = nullptr;
    while (std::getline(in, line)) {
        ++number;
        if (!line.empty() && line.back() == '\r') {
            line.pop_back();
        }
        if (line.empty() || line[0] == ';' || line[0] == '#') {
            continue;
        }
        if (line[0] == '[') {
            if (line.back() != ']') {
                Malformed(number, "vrstica ključa se mora končati z »]«");
            }
            std::vector<std::string> path;
            std::string inner = line.substr(1, line.size() - 2);
            std::stringstream parts(inner);
            for (std::string part; std::getline(parts, part, '\\');) {
                if (!ValidKeyName(part)) {
                    Malformed(number, "ime ključa je prazno ali neveljavno");
                }
                path.push_back(part);
            }
            if (path.empty()) {
                Malformed(number, "pot ključa je prazna");
            }
            Create(path);
            current = Find(path);
            continue;
        }
        if (!current) {
            Malformed(number, "vrednost stoji pred prvim ključem");
        }
        size_t eq = std::string::npos;
        for (size_t i = 0; i < line.size(); ++i) {
            if (line[i] == '\\') {
                ++i;
            } else if (line[i] == '=') {
                eq = i;
                break;
            }
        }
        std::string name, value;
        if (eq == std::string::npos || !Unescape(line, 0, eq, name) ||
            !Unescape(line, eq + 1, line.size(), value)) {
            Malformed(number, "vrstica ni vrednost (ime=vrednost)");
        }
        current->Set(name, value);
    }
}

void RegFile::Save() const {
    std::string text = "; Zendrato registry stand-in. Keys in brackets, values as name=value.\n";
    for (const RegKey& k : keys_) {
        text += "\n[" + JoinPath(k.path) + "]\n";
        for (const auto& nv : k.values) {
            text += Escape(nv.first) + "=" + Escape(nv.second) + "\n";
        }
    }
    // Owner only: the file holds the SQL password, and the scrambling is no secret.
    try {
        ReplaceFile(path_, text, TFileAccess::Owner);
    } catch (const EInOutError& e) {
        throw ERegistryException(e.Message() + ".");
    }
}

} // namespace

void TRegistry::SetRootKey(TRootKey root) {
    if (root != root_) {
        CloseKey();
        root_ = root;
    }
}

std::filesystem::path TRegistry::FilePath() const {
    return ZendratoHome() /
           (root_ == TRootKey::LocalMachine ? "HKEY_LOCAL_MACHINE.reg" : "HKEY_CURRENT_USER.reg");
}

std::string TRegistry::CurrentPath() const {
    return JoinPath(current_);
}

std::vector<std::string> TRegistry::Resolve(const std::string& key) const {
    std::vector<std::string> path;
    if (key.empty() || key[0] != '\\') {
        path = current_;
    }
    std::stringstream parts(key);
    for (std::string part; std::getline(parts, part, '\\');) {
        if (part.empty()) {
            continue;
        }
        if (!ValidKeyName(part)) {
            throw ERegistryException("Invalid registry key name \"" + part + "\".");
        }
        path.push_back(part);
    }
    return path;
}

bool TRegistry::OpenKey(const std::string& key, bool canCreate) {
    try {
        std::vector<std::string> path = Resolve(key);
        if (!path.empty()) {
            RegFile file(FilePath());
            if (!file.Find(path)) {
                if (!canCreate) {
                    return false;
                }
                file.Create(path);
                file.Save();
            }
        }
        current_ = path;
        open_ = true;
        return true;
    } catch (const std::exception&) {
        return false;
    }
}

bool TRegistry::CreateKey(const std::string& key) {
    try {
        std::vector<std::string> path = Resolve(key);
        if (path.empty()) {
            return true;
        }
        RegFile file(FilePath());
        if (file.Create(path)) {
            file.Save();
        }
        return true;
    } catch (const std::exception&) {
        return false;
    }
}

bool TRegistry::KeyExists(const std::string& key) {
    try {
        std::vector<std::string> path = Resolve(key);
        return path.empty() || RegFile(FilePath()).Find(path) != nullptr;
    } catch (const std::exception&) {
        return false;
    }
}

bool TRegistry::ValueExists(const std::string& name) {
    if (!open_) {
        throw ERegistryException("No registry key is open.");
    }
    RegFile file(FilePath());
    RegKey* k = file.Find(current_);
    if (!k) {
        return false;
    }
    for (const auto& nv : k->values) {
        if (SameName(nv.first, name)) {
            return true;
        }
    }
    return false;
}

std::string TRegistry::ReadString(const std::string& name) {
    if (!open_) {
        throw ERegistryException("No registry key is open.");
    }
    RegFile file(FilePath());
    if (RegKey* k = file.Find(current_)) {
        for (const auto& nv : k->values) {
            if (SameName(nv.first, name)) {
                return nv.second;
            }
        }
    }
    throw ERegistryException("Registry value \"" + name + "\" does not exist in \"" +
                             CurrentPath() + "\".");
}

void TRegistry::WriteString(const std::string& name, const std::string& value) {
    if (!open_ || current_.empty()) {
        throw ERegistryException("No registry key is open.");
    }
    WriteValues(current_, {{name, value}});
}

void TRegistry::WriteValues(const std::string& key,
                            const std::vector<std::pair<std::string, std::string>>& values) {
    const std::vector<std::string> path = Resolve(key);
    if (path.empty()) {
        throw ERegistryException("Vrednosti ni mogoče zapisati v koren registra.");
    }
    WriteValues(path, values);
}

void TRegistry::WriteValues(const std::vector<std::string>& path,
                            const std::vector<std::pair<std::string, std::string>>& values) {
    RegFile file(FilePath());
    file.Create(path);
    RegKey* k = file.Find(path);
    for (const auto& [name, value] : values) {
        k->Set(name, value);
    }
    file.Save();
}

TRegistry& Registry() {
    static TRegistry registry;
    return registry;
}

} // namespace zen
