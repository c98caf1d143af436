#pragma once
// Datasets defined by an SQL text kept as a list of lines. Every change of the list sets
// the statement's text at once (each line followed by a line break) and so closes an open
// dataset; the caller opens it again.

#include "dataset/OEDataSet.h"
#include "toolkit/Strings.h"

namespace zen {

class TCustomOEQuery : public TCustomOEDataSet {
public:
    explicit TCustomOEQuery(TComponent* owner = nullptr);
    const char* ClassName() const noexcept override { return "TCustomOEQuery"; }

    TStringList& SQL() { return sql_; }
    const TStringList& SQL() const { return sql_; }
    void SetSQL(const std::vector<std::string>& lines) { sql_.Assign(lines); }

private:
    TStringList sql_;
};

class TOEQuery : public TCustomOEQuery {
public:
    using TCustomOEQuery::TCustomOEQuery;
    const char* ClassName() const noexcept override { return "TOEQuery"; }
};

} // namespace zen
