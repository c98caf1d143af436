#pragma once
// A list of text lines that tells its owner of every change, as SQL texts and other
// line-wise properties need: each Add, Clear or assignment is one change.

#include <functional>
#include <string>
#include <vector>

#include "toolkit/Component.h"

namespace zen {

class TStringList : public TPersistent {
public:
    TStringList() = default;
    TStringList(const TStringList&) = delete;
    TStringList& operator=(const TStringList&) = delete;
    const char* ClassName() const noexcept override { return "TStringList"; }

    int Count() const { return static_cast<int>(lines_.size()); }
    // EListError "List index out of bounds (i)" outside 0..Count-1.
    const std::string& Strings(int i) const;
    const std::string& operator[](int i) const { return Strings(i); }
    void SetStrings(int i, const std::string& line);
    const std::vector<std::string>& Lines() const { return lines_; }
    std::vector<std::string>::const_iterator begin() const { return lines_.begin(); }
    std::vector<std::string>::const_iterator end() const { return lines_.end(); }

    // Returns the index of the new line.
    int Add(const std::string& line);
    void Insert(int i, const std::string& line);
    void Delete(int i);
    void Clear();
    // Every line followed by a carriage return and line feed.
    std::string Text() const;
    // Splits at line feeds, carriage return and line feed, or lone carriage returns; a
    // final line break adds no empty line.
    void SetText(const std::string& text);
    void Assign(const std::vector<std::string>& lines);
    void Assign(const TStringList& other) { Assign(other.lines_); }

    // Changes made between BeginUpdate and the matching EndUpdate are told as one, at the
    // end (and only when there was one).
    void BeginUpdate() { ++updateCount_; }
    void EndUpdate();

    // Fired after every change.
    std::function<void(TStringList&)> OnChange;

private:
    void Changed();
    void CheckIndex(int i, int limit) const;

    std::vector<std::string> lines_;
    int updateCount_ = 0;
    bool pending_ = false;
};

} // namespace zen
