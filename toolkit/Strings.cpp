#include "toolkit/Strings.h"

#include "toolkit/Exceptions.h"

namespace zen {

void TStringList::CheckIndex(int i, int limit) const {
    if (i < 0 || i > limit) {
        throw EListError("List index out of bounds (" + std::to_string(i) + ")");
    }
}

const std::string& TStringList::Strings(int i) const {
    CheckIndex(i, Count() - 1);
    return lines_[static_cast<size_t>(i)];
}

void TStringList::SetStrings(int i, const std::string& line) {
    CheckIndex(i, Count() - 1);
    lines_[static_cast<size_t>(i)] = line;
    Changed();
}

int TStringList::Add(const std::string& line) {
    lines_.push_back(line);
    Changed();
    return Count() - 1;
}

void TStringList::Insert(int i, const std::string& line) {
    CheckIndex(i, Count());
    lines_.insert(lines_.begin() + i, line);
    Changed();
}

void TStringList::Delete(int i) {
    CheckIndex(i, Count() - 1);
    lines_.erase(lines_.begin() + i);
    Changed();
}

void TStringList::Clear() {
    lines_.clear();
    Changed();
}

std::string TStringList::Text() const {
    std::string text;
    for (const std::string& line : lines_) {
        text += line;
        text += "\r\n";
    }
    return text;
}

void TStringList::SetText(const std::string& text) {
    std::vector<std::string> lines;
    size_t start = 0;
    while (start < text.size()) {
        size_t end = text.find_first_of("\r\n", start);
        if (end == std::string::npos) {
            lines.push_back(text.substr(start));
            break;
        }
        lines.push_back(text.substr(start, end - start));
        start = end + (text[end] == '\r' && end + 1 < text.size() && text[end + 1] == '\n' ? 2 : 1);
    }
    Assign(lines);
}

void TStringList::Assign(const std::vector<std::string>& lines) {
    lines_ = lines;
    Changed();
}

void TStringList::EndUpdate() {
    if (updateCount_ > 0 && --updateCount_ == 0 && pending_) {
        pending_ = false;
        Changed();
    }
}

void TStringList::Changed() {
    if (updateCount_ > 0) {
        pending_ = true;
        return;
    }
    if (OnChange) {
        OnChange(*this);
    }
}

} // namespace zen
