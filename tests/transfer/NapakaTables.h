#pragma once
// The error table and the transfer file of the error-table tests, in a private home.

#include "localtable/Table.h"
#include "support/TestSupport.h"

#include <memory>
#include <string>
#include <vector>

namespace zen::test {

class NapakaTables {
public:
    NapakaTables();
    ~NapakaTables();

    TTable& Napaka() { return *napaka_; }
    TTable& Rac() { return *rac_; }
    // Drops the error table object (as if its owner freed it).
    void DestroyNapaka() { napaka_.reset(); }

    // Logs the Stranka reason for each record of the checked-in transfer file, in order.
    void LogEveryCustomer();
    // Logs the reasons, each with the invoice number of the transfer file's first record.
    void Log(const std::vector<std::string>& reasons);
    // (ZapSt, StRac, Napaka) of every row in the table's order.
    struct Row {
        int ZapSt;
        std::string StRac;
        std::string Napaka;
    };
    std::vector<Row> Rows();

    const std::filesystem::path& Home() const { return home_.Path(); }

private:
    TempHome home_;
    std::unique_ptr<TTable> napaka_;
    std::unique_ptr<TTable> rac_;
};

} // namespace zen::test
