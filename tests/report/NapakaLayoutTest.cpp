#include "report/NapakaLayout.h"

#include <gtest/gtest.h>

using namespace zen::napaka;

namespace {

constexpr double kLetterPrintable = 279.4 - 2 * kMargin;

std::vector<double> Rows(int count, double height = kDetailHeight) {
    return std::vector<double>(static_cast<size_t>(count), height);
}

// Every row once and in order, bands stacked without gaps or overlaps, none past the page
// (unless a page holds a single band that is taller than the page itself).
void ExpectSound(const std::vector<TPage>& pages, double pageHeight, int rows) {
    int next = 0;
    for (size_t p = 0; p < pages.size(); ++p) {
        const TPage& page = pages[p];
        ASSERT_FALSE(page.empty());
        EXPECT_EQ(page.front().Band, p == 0 ? TBand::Title : TBand::ColumnHeader) << p;
        double y = 0;
        int details = 0;
        for (const TPlacedBand& b : page) {
            EXPECT_NEAR(b.Top, y, 1e-9);
            y += b.Height;
            if (b.Band == TBand::Detail) {
                EXPECT_EQ(b.Row, next++);
                ++details;
            }
        }
        if (details > 1) {
            EXPECT_LE(y, pageHeight + 1e-6) << "page " << p;
        }
    }
    EXPECT_EQ(next, rows);
    EXPECT_EQ(pages.back().back().Band, TBand::Summary);
}

} // namespace

TEST(NapakaLayout, FiftyRowsOnLetterTakeTwoPages) {
    const auto pages = PlanPages(kLetterPrintable, Rows(50));
    ASSERT_EQ(pages.size(), 2u);
    ExpectSound(pages, kLetterPrintable, 50);
    EXPECT_EQ(pages[0][1].Band, TBand::ColumnHeader);
    // 47 detail bands fit under the title and the header, 49 under a header alone.
    EXPECT_EQ(pages[0].size(), 2u + 47u);
    EXPECT_EQ(pages[1].size(), 1u + 3u + 1u);
    EXPECT_EQ(PlanPages(kLetterPrintable, Rows(47 + 49)).size(), 2u);
    EXPECT_EQ(PlanPages(kLetterPrintable, Rows(47 + 50)).size(), 3u);
}

TEST(NapakaLayout, SummaryMovesToANewPageOnlyWhenItDoesNotFit) {
    const double top = kTitleHeight + kHeaderHeight + 2 * kDetailHeight;
    // Exactly full: the sums must not push the summary over.
    EXPECT_EQ(PlanPages(top + kSummaryHeight, Rows(2)).size(), 1u);
    const auto pages = PlanPages(top + kSummaryHeight - 0.01, Rows(2));
    ASSERT_EQ(pages.size(), 2u);
    ASSERT_EQ(pages[1].size(), 2u);
    EXPECT_EQ(pages[1][0].Band, TBand::ColumnHeader);
    EXPECT_EQ(pages[1][1].Band, TBand::Summary);
}

TEST(NapakaLayout, TallRowsAndTinyPagesStillPlaceEveryRowOnce) {
    std::vector<double> heights = Rows(5);
    heights[2] = 500; // taller than any page
    const auto pages = PlanPages(kLetterPrintable, heights);
    ExpectSound(pages, kLetterPrintable, 5);
    // A page too small for even one row still takes one per page.
    const auto tiny = PlanPages(5, Rows(4));
    ExpectSound(tiny, 5, 4);
    EXPECT_EQ(tiny.size(), 5u);
}
