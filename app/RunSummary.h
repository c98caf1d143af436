#pragma once
// The line the window shows after each run, beside its progress bar: how many invoices the
// run wrote, which, and how many records failed, or that the run stopped after some of them.

#include <cstdint>
#include <string>

namespace zen {

enum class TRunEnd {
    Finished,    // to its end, with or without failed records
    NotDone,     // ended by an input check or the operator before anything was written
    Interrupted, // ended by a failure
};

// What a run in the window did, as its interface saw it.
struct TRunSummary {
    TRunEnd End = TRunEnd::Finished;
    int Invoices = 0;      // invoices committed
    std::string FirstKey;  // the document key of the first of them
    std::string LastKey;   // and of the last
    int FailedRecords = 0; // rows of the error table
    bool DryRun = false;   // "Preizkus": the invoices were rolled back, not committed
};

// Of the Slovene number forms: 0 for 1 (and 101, ...), 1 for 2, 2 for 3 and 4, 3 for the rest
// (the last two digits decide, so 11 to 14 take the last).
int SloveneNumberForm(int64_t n);

// "Zapisanih 8 računov (26IR00042–26IR00049), 3 zapisi z napakami", or after a failure
// "Prenos: zapisanih 5 računov (…), nato prekinjeno"; forms by the numbers. A run that did
// not start says so. A dry run: "Preizkus: zapisanih bi bilo 8 računov (…), 3 zapisi z
// napakami; v bazi ni nič zapisano".
std::string RunSummaryLine(const TRunSummary& run);

} // namespace zen
