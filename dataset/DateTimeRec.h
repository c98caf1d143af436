#pragma once
// Date-time values between the toolkit's native form and the statement's date-time record.

#include "odbc/HstmtTypes.h"
#include "toolkit/DateTime.h"
#include "toolkit/FieldTypes.h"

namespace zen {

// The record of a value of that field type: a date leaves the time zero, a time has the
// date of day zero (30 December 1899).
TDateTimeRec RecOfDateTime(TFieldType type, TDateTime value);
// A record as a date-time; an impossible date or time counts as zero.
TDateTime DateTimeOfRec(const TDateTimeRec& ts);

} // namespace zen
