#pragma once
// Reads the exception log back for assertions.

#include <string>
#include <vector>

namespace zen::test {

struct LogRow {
    double cas = 0;
    std::string formName, controlName, senderName, objectName, operation, exceptObject;
    int buildNo = 0;
    std::string error, senderProp;
};

std::vector<LogRow> ReadExceptionLog();
std::vector<std::string> ExceptionLogColumns();

} // namespace zen::test
