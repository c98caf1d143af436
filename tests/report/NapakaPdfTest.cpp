#include "report/NapakaPdf.h"
#include "PdfText.h"
#include "ReportTestApp.h"
#include "report/NapakaLayout.h"
#include "report/NapakaPainter.h"
#include "support/TestSupport.h"
#include "toolkit/Exceptions.h"
#include "transfer/PrenosNapaka.h"

#include <QFontInfo>
#include <QFontMetricsF>
#include <QPdfWriter>

#include <algorithm>
#include <fstream>
#include <gtest/gtest.h>

using namespace zen;
using test::PdfWord;

namespace {

constexpr double kTolerance = 0.5; // mm

std::vector<TNapakaRow> NumberedRows(int count) {
    std::vector<TNapakaRow> rows;
    for (int i = 1; i <= count; ++i) {
        rows.push_back({"R-" + std::to_string(1000 + i),
                        "Stranka (Kupec" + std::to_string(i) + ") ne obstaja !"});
    }
    return rows;
}

const PdfWord* Find(const std::vector<PdfWord>& words, const std::string& text, int page = 0) {
    auto it = std::find_if(words.begin(), words.end(), [&](const PdfWord& w) {
        return w.Text == text && (page == 0 || w.Page == page);
    });
    return it == words.end() ? nullptr : &*it;
}

int CountOf(const std::vector<PdfWord>& words, const std::string& text) {
    return static_cast<int>(std::count_if(words.begin(), words.end(),
                                          [&](const PdfWord& w) { return w.Text == text; }));
}

class NapakaPdf : public ::testing::Test {
protected:
    void SetUp() override { test::ReportApp(); }
    std::filesystem::path Pdf() const { return home_.Path() / "napake.pdf"; }
    std::vector<PdfWord> Write(const std::vector<TNapakaRow>& rows) {
        WriteNapakaPdf(rows, Pdf());
        return test::ReadPdfWords(Pdf());
    }
    test::TempHome home_;
};

} // namespace

TEST_F(NapakaPdf, TitleLabelsAndRowsWithSloveneLettersInLoggingOrder) {
    const auto words = Write({{"R-2", "Stranka (Čebelarstvo Žužek) ne obstaja !"},
                              {"R-1", "Plačnik (Šola) ne obstaja !"},
                              {"R-3", "Artikel (ŠČŽ-čšž) ne obstaja !"}});
    EXPECT_EQ(test::PdfPageCount(Pdf()), 1);
    EXPECT_NE(test::RunCommand("pdfinfo '" + Pdf().string() + "'").find("612 x 792 pts (letter)"),
              std::string::npos);
    ASSERT_TRUE(Find(words, "Napake"));
    ASSERT_TRUE(Find(words, "prenosa"));
    ASSERT_TRUE(Find(words, "Račun"));
    ASSERT_TRUE(Find(words, "št."));
    ASSERT_TRUE(Find(words, "Napaka"));
    for (const char* w : {"(Čebelarstvo", "Žužek)", "Plačnik", "(Šola)", "(ŠČŽ-čšž)"}) {
        EXPECT_TRUE(Find(words, w)) << w;
    }
    // Logging order, not sorted by invoice number: each row lower than the one before.
    const PdfWord* r2 = Find(words, "R-2");
    const PdfWord* r1 = Find(words, "R-1");
    const PdfWord* r3 = Find(words, "R-3");
    ASSERT_TRUE(r1 && r2 && r3);
    EXPECT_LT(r2->Top, r1->Top);
    EXPECT_LT(r1->Top, r3->Top);
    EXPECT_NEAR(r1->Top - r2->Top, napaka::kDetailHeight, 0.05);
    // Each reason on the line of its own invoice number.
    EXPECT_NEAR(Find(words, "Plačnik")->Top, r1->Top, 0.05);
}

TEST_F(NapakaPdf, ElementsSitAtTheirMillimetrePositions) {
    const auto words = Write(NumberedRows(2));
    using namespace napaka;
    const double left = kMargin;
    const double headerTop = kMargin + kTitleHeight;
    const double detailTop = headerTop + kHeaderHeight;

    const PdfWord* racun = Find(words, "Račun");
    const PdfWord* label = Find(words, "Napaka");
    const PdfWord* strac = Find(words, "R-1001");
    const PdfWord* reason = Find(words, "Stranka");
    ASSERT_TRUE(racun && label && strac && reason);
    EXPECT_NEAR(racun->Left, left + kStRacLabelLeft, kTolerance);
    EXPECT_NEAR(label->Left, left + kNapakaLabelLeft, kTolerance);
    EXPECT_NEAR(strac->Left, left + kStRacLeft, kTolerance);
    EXPECT_NEAR(reason->Left, left + kNapakaLeft, kTolerance);

    // Text boxes start at the element's top (poppler's box is ascent to descent).
    EXPECT_NEAR(racun->Top, headerTop + kLabelTop, kTolerance);
    EXPECT_NEAR(strac->Top, detailTop + kFieldTop, kTolerance);
    EXPECT_NEAR(Find(words, "R-1002")->Top, detailTop + kDetailHeight + kFieldTop, kTolerance);

    // The title is centred over the band, near the top of the first page.
    const PdfWord* t1 = Find(words, "Napake");
    const PdfWord* t2 = Find(words, "prenosa");
    ASSERT_TRUE(t1 && t2);
    EXPECT_NEAR((t1->Left + t2->Right) / 2, left + kBandWidth / 2, kTolerance);
    EXPECT_NEAR(t1->Top, kMargin + kTitleTop, kTolerance);
    // 18 pt against 10 pt.
    EXPECT_GT(t1->Bottom - t1->Top, 1.6 * (racun->Bottom - racun->Top));
}

TEST_F(NapakaPdf, FiftyRowsFlowOntoASecondPageWithTheHeaderRepeated) {
    const auto words = Write(NumberedRows(50));
    const int pages = test::PdfPageCount(Pdf());
    ASSERT_GE(pages, 2);
    for (int i = 1; i <= 50; ++i) {
        EXPECT_EQ(CountOf(words, "R-" + std::to_string(1000 + i)), 1) << i;
        EXPECT_EQ(CountOf(words, "(Kupec" + std::to_string(i) + ")"), 1) << i;
    }
    // Title once; column header on every page.
    EXPECT_EQ(CountOf(words, "prenosa"), 1);
    EXPECT_EQ(CountOf(words, "Račun"), pages);
    for (int p = 1; p <= pages; ++p) {
        ASSERT_TRUE(Find(words, "Račun", p)) << "page " << p;
    }
    // Rows keep their order across the break and none runs past the bottom margin.
    const PdfWord* prev = nullptr;
    for (int i = 1; i <= 50; ++i) {
        const PdfWord* w = Find(words, "R-" + std::to_string(1000 + i));
        EXPECT_LE(w->Bottom, napaka::kMargin + 259.4) << i;
        if (prev) {
            EXPECT_TRUE(w->Page > prev->Page || (w->Page == prev->Page && w->Top > prev->Top)) << i;
        }
        prev = w;
    }
    // The second page starts with the header, then the next row right below it.
    const PdfWord* firstOnPage2 = nullptr;
    for (const PdfWord& w : words) {
        if (w.Page == 2 && w.Text.rfind("R-", 0) == 0) {
            firstOnPage2 = &w;
            break;
        }
    }
    ASSERT_TRUE(firstOnPage2);
    EXPECT_NEAR(firstOnPage2->Top, napaka::kMargin + napaka::kHeaderHeight + napaka::kFieldTop,
                kTolerance);
}

TEST_F(NapakaPdf, TextTooLongForItsFieldIsWrappedNotLost) {
    // Ten wide letters are wider than the invoice-number column; a fifty-letter reason of
    // wide letters is wider than the reason column.
    const std::string wide(10, 'W');
    const std::string reason = "Artikel (" + std::string(38, 'M') + ") ne obstaja !";
    const auto words = Write({{wide, reason}, {"R-2", "Artikel (X) ne obstaja !"}});
    const double nextRow = Find(words, "R-2")->Top;
    std::string stRac, napaka;
    double lowest = 0;
    for (const PdfWord& w : words) {
        if (w.Top >= nextRow ||
            w.Top < napaka::kMargin + napaka::kTitleHeight + napaka::kHeaderHeight) {
            continue;
        }
        lowest = std::max(lowest, w.Bottom);
        if (w.Left < napaka::kMargin + napaka::kNapakaLeft - kTolerance) {
            stRac += w.Text;
            EXPECT_LE(w.Right, napaka::kMargin + napaka::kNapakaLeft) << "runs into the reason";
        } else {
            napaka += w.Text;
            EXPECT_LE(w.Right, napaka::kMargin + napaka::kNapakaLeft + napaka::kNapakaWidth);
        }
    }
    std::string expected = reason;
    std::erase(expected, ' ');
    EXPECT_EQ(stRac, wide);
    EXPECT_EQ(napaka, expected);
    // The next row starts below the wrapped lines.
    EXPECT_GT(Find(words, "R-2")->Top, lowest);
}

// The report is measured in the font the package depends on. In it every label fits its
// place and the longest invoice number the error table keeps, of the widest digits, fits
// its field; a number wider still (another font, wide letters) stays on one line, condensed,
// never broken where it could be read as two.
TEST_F(NapakaPdf, LabelsAndInvoiceNumbersAreWholeInThePackagedFont) {
    const QFont font = ReportFont(napaka::kTextPoints);
    const QString family = QFontInfo(font).family();
    EXPECT_TRUE(family == "Liberation Sans" || family == "Arial") << family.toStdString();
    QPdfWriter device(QString::fromStdString(Pdf().string()));
    const double dotsPerMm = device.logicalDpiX() / 25.4;
    auto widthMm = [&](const QFont& f, const std::string& text) {
        return QFontMetricsF(f, &device).horizontalAdvance(QString::fromStdString(text)) /
               dotsPerMm;
    };
    EXPECT_LE(napaka::kStRacLabelLeft + widthMm(font, napaka::kStRacLabel),
              napaka::kNapakaLabelLeft);
    EXPECT_LE(napaka::kNapakaLabelLeft + widthMm(font, napaka::kNapakaLabel), napaka::kBandWidth);
    EXPECT_LE(widthMm(ReportFont(napaka::kTitlePoints), napaka::kTitle), napaka::kBandWidth);
    const std::vector<std::string> numbers = {"2611-00101", "8888888888", "0000000000",
                                              std::string(kNapakaStRacSize, 'W')};
    for (const std::string& n : {numbers[0], numbers[1], numbers[2]}) {
        ASSERT_EQ(n.size(), size_t(kNapakaStRacSize));
        EXPECT_LE(widthMm(font, n), napaka::kStRacWidth) << n;
    }

    std::vector<TNapakaRow> rows;
    for (const std::string& n : numbers) {
        rows.push_back({n, "Stranka (X) ne obstaja !"});
    }
    const auto words = Write(rows);
    for (const std::string& n : numbers) {
        const PdfWord* word = Find(words, n);
        ASSERT_NE(word, nullptr) << n << " is broken";
        EXPECT_LE(word->Right, napaka::kMargin + napaka::kNapakaLeft) << n;
        EXPECT_LT(word->Bottom - word->Top, 2 * napaka::kFieldHeight) << n;
    }
}

TEST_F(NapakaPdf, EmptyReportWritesNoFile) {
    EXPECT_THROW(WriteNapakaPdf({}, Pdf()), EInvalidOperation);
    EXPECT_FALSE(std::filesystem::exists(Pdf()));
}

TEST_F(NapakaPdf, FailedWriteLeavesTheOldFileAndNoLeftovers) {
    {
        std::ofstream old(Pdf());
        old << "old";
    }
    EXPECT_THROW(WriteNapakaPdf(NumberedRows(1), home_.Path() / "missing" / "napake.pdf"),
                 EInOutError);
    // A directory in the way of the new file: the rename fails after the pages are written.
    std::filesystem::create_directory(home_.Path() / "dir.pdf");
    std::filesystem::create_directory(home_.Path() / "dir.pdf" / "inside");
    EXPECT_THROW(WriteNapakaPdf(NumberedRows(1), home_.Path() / "dir.pdf"), EInOutError);
    EXPECT_TRUE(std::filesystem::is_directory(home_.Path() / "dir.pdf" / "inside"));

    std::vector<std::string> names;
    for (const auto& e : std::filesystem::directory_iterator(home_.Path())) {
        names.push_back(e.path().filename().string());
    }
    std::sort(names.begin(), names.end());
    EXPECT_EQ(names, (std::vector<std::string>{"dir.pdf", "napake.pdf"}));
    std::ifstream in(Pdf());
    std::string content((std::istreambuf_iterator<char>(in)), {});
    EXPECT_EQ(content, "old");

    WriteNapakaPdf(NumberedRows(1), Pdf());
    EXPECT_EQ(test::PdfPageCount(Pdf()), 1);
}
