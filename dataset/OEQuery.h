#pragma once
// Datasets defined by an SQL text kept as a list of lines. Every change of the list sets
// the statement's text at once (each line followed by a line break) and so closes an open
// dataset; the caller opens it again.

#include "dataset/OEDataSet.h"
#include "toolkit/Strings.h"

#include <optional>
#include <string>
#include <vector>

namespace zen {

class TCustomOEQuery : public TCustomOEDataSet {
public:
    explicit TCustomOEQuery(TComponent* owner = nullptr);
    const char* ClassName() const noexcept override { return "TCustomOEQuery"; }

    TStringList& SQL() { return sql_; }
    const TStringList& SQL() const { return sql_; }
    void SetSQL(const std::vector<std::string>& lines) { sql_.Assign(lines); }

    // A lookup or a run narrows the query it was designed with (to a key, to no rows) and
    // later gives the design back. The design is kept apart meanwhile, so that every
    // narrowed text is built from it and giving it back is an assignment.
    // The query as designed: the lines kept by SetNarrowedSQL, else the SQL itself.
    const std::vector<std::string>& DesignedSQL() const {
        return design_ ? *design_ : sql_.Lines();
    }
    // Sets a text narrowed from the design, keeping the design; a change of the SQL made
    // any other way becomes the design.
    void SetNarrowedSQL(const std::vector<std::string>& lines);
    bool Narrowed() const noexcept { return design_.has_value(); }
    // Gives the design back (which closes the dataset, as every change of the SQL does).
    void RestoreDesign();

private:
    TStringList sql_;
    std::optional<std::vector<std::string>> design_;
    bool narrowing_ = false;
};

class TOEQuery : public TCustomOEQuery {
public:
    using TCustomOEQuery::TCustomOEQuery;
    const char* ClassName() const noexcept override { return "TOEQuery"; }
};

} // namespace zen
