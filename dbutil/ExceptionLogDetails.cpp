#include "dbutil/ExceptionLogDetails.h"

#include "dataset/wwOEDataSet.h"
#include "odbc/Hstmt.h"

#include <functional>

namespace zen {

namespace {

constexpr const char* kLineEnd = "\r\n";

// Appends what `part` builds, or nothing when building it fails: the log row is worth
// more than the part.
void AddPart(std::string& text, const std::function<std::string()>& part) {
    try {
        text += part();
    } catch (...) {
    }
}

std::string ConnectionLine(const THdbc* hdbc) {
    return std::string("hDbc --> ") + (hdbc ? hdbc->Name() : std::string()) + kLineEnd;
}

} // namespace

std::string SenderDetails(const TObject* sender) {
    std::string text;
    if (auto* ds = dynamic_cast<const TwwOEDataSet*>(sender)) {
        AddPart(text, [ds] {
            return "DatabaseName --> " + ds->DatabaseName() + kLineEnd + "TableName --> " +
                   ds->TableName() + kLineEnd;
        });
        AddPart(text, [ds] { return ConnectionLine(ds->Hdbc()); });
        AddPart(text, [ds] {
            std::string sql = "SQL -->";
            const TStringList& lines = ds->SQL();
            for (int i = 0; i < lines.Count(); ++i) {
                sql += " " + lines[i];
            }
            return sql + kLineEnd;
        });
    } else if (auto* stmt = dynamic_cast<const THstmt*>(sender)) {
        AddPart(text, [stmt] { return ConnectionLine(stmt->Hdbc()); });
        AddPart(text, [stmt] { return "SQL --> " + stmt->SQL() + kLineEnd; });
    }
    return text;
}

} // namespace zen
