#pragma once
// The bands of the transfer error report "Napake prenosa" and how they fall onto pages.
// Every measure is in millimetres; a band's positions are from the band's top-left corner,
// a placed band's top is from the top of the page's printable area.

#include <string>
#include <vector>

namespace zen {

// One error row as the report prints it.
struct TNapakaRow {
    std::string StRac;
    std::string Napaka;
};

// The rows as the reports print them: a notice of the run (the file's prices unreadable),
// when there is one, first, then the error rows, then the run's control totals when given;
// the two without an invoice number.
std::vector<TNapakaRow> WithRunTexts(std::vector<TNapakaRow> rows, const std::string& notice,
                                     const std::string& totals);

namespace napaka {

inline constexpr double kMargin = 10.0;
// The bands' width, over which the title is centred and the rules run.
inline constexpr double kBandWidth = 190.5;

inline constexpr double kTitleHeight = 10.58;
inline constexpr double kTitleTop = 1.06;
inline constexpr double kTitlePoints = 18.0;

inline constexpr double kHeaderHeight = 8.73;
inline constexpr double kHeaderRuleTop = 0.79;
inline constexpr double kHeaderRule2Top = 7.14;
inline constexpr double kLabelTop = 2.12;
inline constexpr double kStRacLabelLeft = 2.12;
inline constexpr double kNapakaLabelLeft = 25.4;

inline constexpr double kDetailHeight = 5.03;
inline constexpr double kFieldHeight = 4.5;
// The field boxes sit in the middle of their band.
inline constexpr double kFieldTop = (kDetailHeight - kFieldHeight) / 2;
inline constexpr double kStRacLeft = 2.38;
inline constexpr double kStRacWidth = 21.17;
inline constexpr double kNapakaLeft = 25.4;
inline constexpr double kNapakaWidth = 163.51;

inline constexpr double kSummaryHeight = 3.18;
inline constexpr double kSummaryRuleTop = 0.79;

// A rule is a line shape this high with its line through the middle.
inline constexpr double kRuleHeight = 1.06;
inline constexpr double kRulePen = 0.25;
inline constexpr double kTextPoints = 10.0;

inline constexpr const char* kTitle = "Napake prenosa";
inline constexpr const char* kStRacLabel = "Račun št.";
inline constexpr const char* kNapakaLabel = "Napaka";

enum class TBand { Title, ColumnHeader, Detail, Summary };

struct TPlacedBand {
    TBand Band;
    double Top;
    double Height;
    int Row; // index of the error row for a detail band, -1 otherwise
};

using TPage = std::vector<TPlacedBand>;

// Lays the bands out top to bottom: the title on the first page only, the column header at
// the top of every page, one detail band per row in order, the summary after the last.
// rowHeights holds each detail band's height. A band that does not fit under what a page
// already holds goes to the next page; a page takes at least one detail band however small
// it is, so that every row is placed exactly once whatever the paper.
std::vector<TPage> PlanPages(double pageHeight, const std::vector<double>& rowHeights);

} // namespace napaka
} // namespace zen
