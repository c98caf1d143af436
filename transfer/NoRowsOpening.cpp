#include "transfer/NoRowsOpening.h"

#include "dataset/ODSI.h"
#include "toolkit/Text.h"

namespace zen {

namespace {

// The designed lines before the one that begins the ORDER BY clause, and the condition
// that no row meets. The designs of the run's datasets have no WHERE clause, and a lookup
// cuts its query's head at "WHERE" as it would at "ORDER BY".
std::vector<std::string> NoRowsQuery(const std::vector<std::string>& design) {
    std::vector<std::string> lines;
    for (const std::string& line : design) {
        const size_t start = line.find_first_not_of(" \t\r\n");
        if (start != std::string::npos && AsciiUpper(line.substr(start)).starts_with("ORDER BY")) {
            break;
        }
        lines.push_back(line);
    }
    lines.push_back("WHERE 1=0 ");
    return lines;
}

} // namespace

TNoRowsOpening::~TNoRowsOpening() {
    Restore();
}

void TNoRowsOpening::Open(TOEQuery& dataSet, bool receives) {
    opened_.push_back(&dataSet);
    if (receives) {
        receiving_.push_back(&dataSet);
    }
    dataSet.SetNarrowedSQL(NoRowsQuery(dataSet.DesignedSQL()));
    dataSet.Open();
}

void TNoRowsOpening::Reopen() {
    for (TOEQuery* dataSet : receiving_) {
        dataSet->Close();
        dataSet->Open();
    }
}

void TNoRowsOpening::Restore() noexcept {
    for (TOEQuery* dataSet : opened_) {
        // Closing may fail with the connection gone; the design goes back all the same, and
        // the failure that matters is the run's own.
        try {
            dataSet->Close();
        } catch (...) {
        }
        try {
            dataSet->RestoreDesign();
        } catch (...) {
        }
    }
    opened_.clear();
    receiving_.clear();
}

} // namespace zen
