#include "app/RunSummary.h"

namespace zen {

int SloveneNumberForm(int64_t n) {
    const int64_t last = (n < 0 ? -n : n) % 100;
    return last == 1 ? 0 : last == 2 ? 1 : last == 3 || last == 4 ? 2 : 3;
}

namespace {

// "zapisanih 8 računov (first–last)" with the participle and noun in the number's form; in
// a dry run "zapisanih bi bilo 8 računov".
std::string WrittenInvoices(const TRunSummary& run) {
    static const char* const kWritten[] = {"zapisan", "zapisana", "zapisani", "zapisanih"};
    static const char* const kWouldBe[] = {" bi bil", " bi bila", " bi bili", " bi bilo"};
    static const char* const kInvoices[] = {"račun", "računa", "računi", "računov"};
    const int form = SloveneNumberForm(run.Invoices);
    std::string text = std::string(kWritten[form]) + (run.DryRun ? kWouldBe[form] : "") + " " +
                       std::to_string(run.Invoices) + " " + kInvoices[form];
    if (run.Invoices == 1) {
        text += " (" + run.FirstKey + ")";
    } else if (run.Invoices > 1) {
        text += " (" + run.FirstKey + "–" + run.LastKey + ")";
    }
    return text;
}

std::string FailedRecords(int n) {
    static const char* const kRecords[] = {"zapis z napako", "zapisa z napakama",
                                           "zapisi z napakami", "zapisov z napakami"};
    return std::to_string(n) + " " + kRecords[SloveneNumberForm(n)];
}

} // namespace

std::string RunSummaryLine(const TRunSummary& run) {
    if (run.DryRun) {
        if (run.End != TRunEnd::Finished) {
            return run.End == TRunEnd::NotDone ? "Preizkus ni izveden, v bazi ni nič zapisano"
                                               : "Preizkus je prekinjen, v bazi ni nič zapisano";
        }
        std::string text = "Preizkus: " + WrittenInvoices(run);
        if (run.FailedRecords > 0) {
            text += ", " + FailedRecords(run.FailedRecords);
        }
        return text + "; v bazi ni nič zapisano";
    }
    if (run.End == TRunEnd::NotDone) {
        return "Prenos ni izveden, noben račun ni zapisan";
    }
    if (run.End == TRunEnd::Interrupted) {
        return run.Invoices == 0 ? "Prenos je prekinjen, noben račun ni zapisan"
                                 : "Prenos: " + WrittenInvoices(run) + ", nato prekinjeno";
    }
    std::string text = WrittenInvoices(run);
    text[0] = 'Z';
    if (run.FailedRecords > 0) {
        text += ", " + FailedRecords(run.FailedRecords);
    }
    return text;
}

} // namespace zen
