#include "dataset/OEQuery.h"

namespace zen {

TCustomOEQuery::TCustomOEQuery(TComponent* owner) : TCustomOEDataSet(owner) {
    sql_.OnChange = [this](TStringList& lines) {
        if (!narrowing_) {
            design_.reset();
        }
        SetSQLText(lines.Text());
    };
}

void TCustomOEQuery::SetNarrowedSQL(const std::vector<std::string>& lines) {
    if (!design_) {
        design_ = sql_.Lines();
    }
    narrowing_ = true;
    try {
        sql_.Assign(lines);
    } catch (...) {
        narrowing_ = false;
        throw;
    }
    narrowing_ = false;
}

void TCustomOEQuery::RestoreDesign() {
    if (design_) {
        std::vector<std::string> design = std::move(*design_);
        SetSQL(design); // a change made otherwise: the design is the SQL again
    }
}

} // namespace zen
