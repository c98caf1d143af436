// The statement's row write-back operations. They are filled in together with the datasets'
// editing; until then a write-back is refused with a clear error, never skipped silently.

#include "odbc/Hstmt.h"

namespace zen {

void THstmt::InsertRow() {
    throw EODBCExpress("Row write-back is not available on statement " + Name() + ".");
}
void THstmt::UpdateRow(SQLULEN) {
    throw EODBCExpress("Row write-back is not available on statement " + Name() + ".");
}
void THstmt::DeleteRow(SQLULEN) {
    throw EODBCExpress("Row write-back is not available on statement " + Name() + ".");
}
void THstmt::RefreshRow(SQLULEN) {
    throw EODBCExpress("Row write-back is not available on statement " + Name() + ".");
}

} // namespace zen
