#pragma once
// The demo an office can try before touching its own database, made by the program alone
// (`zendrato --demo`, the window's "Demo…"): in the home's folder "demo" a SQLite Tevrin
// database of a small provider (partners, articles, tax rates, price lists and formulas),
// two transfer files of its billing records (with the billing system's prices and without),
// and the user data source that reaches the database.

#include <filesystem>
#include <iosfwd>
#include <string>

namespace zen {

inline constexpr const char* kDemoDataSource = "ZendratoDemo";
inline constexpr const char* kDemoEvent = "IR";
inline constexpr const char* kDemoClerk = "01";

struct TDemo {
    std::filesystem::path Folder;
    std::filesystem::path Database;
    std::filesystem::path File;              // with prices
    std::filesystem::path FileWithoutPrices; // priced by the database's rules
};

// Makes the demo anew (a database made earlier is replaced whole, never half) and writes
// its data source; EInOutError, EDatabaseError or EConvertError, in Slovene, when it
// cannot.
TDemo MakeDemo();

// What was made and how to try it: a transfer and its undo, from the command line.
std::string DemoText(const TDemo& demo);

// `zendrato --demo`: makes the demo, signs on to it once, and says so on `out`. Exit status
// 0 made and reachable, 2 not (the reason on `err`).
int RunDemo(std::ostream& out, std::ostream& err);

} // namespace zen
