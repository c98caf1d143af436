#include "report/NapakaLayout.h"

namespace zen {

std::vector<TNapakaRow> WithRunTexts(std::vector<TNapakaRow> rows, const std::string& notice,
                                     const std::string& totals) {
    if (!notice.empty()) {
        rows.insert(rows.begin(), TNapakaRow{std::string(), notice});
    }
    if (!totals.empty()) {
        rows.push_back(TNapakaRow{std::string(), totals});
    }
    return rows;
}

namespace napaka {

namespace {

// Rounding in the millimetre sums must not push a band that fits exactly onto a new page.
constexpr double kSlack = 1e-6;

class TPlanner {
public:
    explicit TPlanner(double pageHeight) : pageHeight_(pageHeight) {}

    void Place(TBand band, double height, int row = -1) {
        pages_.back().push_back({band, y_, height, row});
        y_ += height;
    }
    bool Fits(double height) const { return y_ + height <= pageHeight_ + kSlack; }
    void StartPage(bool first) {
        pages_.emplace_back();
        y_ = 0;
        if (first) {
            Place(TBand::Title, kTitleHeight);
        }
        Place(TBand::ColumnHeader, kHeaderHeight);
        detailsOnPage_ = 0;
    }
    void PlaceDetail(int row, double height) {
        if (detailsOnPage_ > 0 && !Fits(height)) {
            StartPage(false);
        }
        Place(TBand::Detail, height, row);
        ++detailsOnPage_;
    }
    void PlaceSummary() {
        if (!Fits(kSummaryHeight)) {
            StartPage(false);
        }
        Place(TBand::Summary, kSummaryHeight);
    }
    std::vector<TPage> Take() { return std::move(pages_); }

private:
    double pageHeight_;
    double y_ = 0;
    int detailsOnPage_ = 0;
    std::vector<TPage> pages_;
};

} // namespace

std::vector<TPage> PlanPages(double pageHeight, const std::vector<double>& rowHeights) {
    TPlanner planner(pageHeight);
    planner.StartPage(true);
    for (size_t i = 0; i < rowHeights.size(); ++i) {
        planner.PlaceDetail(static_cast<int>(i), rowHeights[i]);
    }
    planner.PlaceSummary();
    return planner.Take();
}

} // namespace napaka
} // namespace zen
