#pragma once
// Catalog queries over an ODBC connection.

#include "odbc/Catalog.h"
