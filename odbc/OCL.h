#pragma once
// The ODBC handle components: environment, connection, statement.

#include "odbc/DriverRec.h"
#include "odbc/Hbase.h"
#include "odbc/Hdbc.h"
#include "odbc/Henv.h"
#include "odbc/Hstmt.h"
#include "odbc/OCLError.h"
