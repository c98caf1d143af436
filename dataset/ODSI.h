#pragma once
// The ODBC datasets: record sets over one ODBC statement each, which can be opened,
// navigated, searched, filtered and written back.

#include "dataset/DataSetHstmt.h"
#include "dataset/OEDataSet.h"
#include "dataset/OEQuery.h"
#include "dataset/wwOEDataSet.h"
