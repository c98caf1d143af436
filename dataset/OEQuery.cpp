#include "dataset/OEQuery.h"

namespace zen {

TCustomOEQuery::TCustomOEQuery(TComponent* owner) : TCustomOEDataSet(owner) {
    sql_.OnChange = [this](TStringList& lines) { SetSQLText(lines.Text()); };
}

} // namespace zen
