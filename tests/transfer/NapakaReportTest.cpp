#include "NapakaTables.h"
#include "PdfText.h"
#include "ReportTestApp.h"
#include "report/FNapaka.h"
#include "toolkit/Exceptions.h"
#include "toolkit/Field.h"
#include "transfer/PrenosNapaka.h"

#include <QApplication>
#include <QPrintPreviewDialog>
#include <QPrintPreviewWidget>
#include <QTimer>
#include <QWidget>
#include <algorithm>
#include <gtest/gtest.h>

using namespace zen;

namespace {

class NapakaReport : public ::testing::Test {
protected:
    void SetUp() override {
        test::ReportApp();
        RecreatePrenosNapaka(t_.Napaka());
    }
    std::filesystem::path Pdf() const { return t_.Home() / "napake.pdf"; }
    // The texts of the PDF, one word after another.
    std::vector<std::string> PdfWords() {
        std::vector<std::string> words;
        for (const auto& w : test::ReadPdfWords(Pdf())) {
            words.push_back(w.Text);
        }
        return words;
    }
    int ZapSt() { return t_.Napaka().FieldByName("ZapSt")->AsInteger(); }

    test::NapakaTables t_;
};

std::vector<std::string> ManyReasons(int count) {
    std::vector<std::string> reasons;
    for (int i = 1; i <= count; ++i) {
        reasons.push_back(NapakaArtikel("ART-" + std::to_string(i)));
    }
    return reasons;
}

} // namespace

TEST_F(NapakaReport, PdfListsTheErrorRowsInLoggingOrderAndLeavesTheTableOnItsFirstRow) {
    t_.LogEveryCustomer();
    TNapaka report(nullptr, &t_.Napaka());
    ASSERT_TRUE(report.ExportPdf(Pdf()));
    const auto words = test::ReadPdfWords(Pdf());
    auto top = [&](const std::string& text) {
        auto it = std::find_if(words.begin(), words.end(),
                               [&](const test::PdfWord& w) { return w.Text == text; });
        return it == words.end() ? -1.0 : it->Top;
    };
    // Each invoice number on the line of its reason, the lines in logging order.
    const double row1 = top("R-0001"), row2 = top("R-0002"), row3 = top("2024/00001");
    ASSERT_GT(row1, 0);
    EXPECT_LT(row1, row2);
    EXPECT_LT(row2, row3);
    EXPECT_DOUBLE_EQ(top("(Čebelarstvo"), row1);
    EXPECT_DOUBLE_EQ(top("(Šolski"), row2);
    EXPECT_DOUBLE_EQ(top("(Mlekarna"), row3);
    // The cut reason ends where the table cut it.
    EXPECT_DOUBLE_EQ(top("12)"), row2);
    EXPECT_EQ(std::count_if(words.begin(), words.end(),
                            [](const test::PdfWord& w) { return w.Text == "obstaja"; }),
              2);
    EXPECT_EQ(ZapSt(), 1);
}

TEST_F(NapakaReport, EmptyTableProducesNothing) {
    TNapaka report(nullptr, &t_.Napaka());
    EXPECT_FALSE(report.ExportPdf(Pdf()));
    EXPECT_FALSE(std::filesystem::exists(Pdf()));
    bool sawDialog = false;
    QTimer watch;
    QObject::connect(&watch, &QTimer::timeout, [&] {
        if (QWidget* modal = QApplication::activeModalWidget()) {
            sawDialog = true;
            modal->close();
        }
    });
    watch.start(10);
    EXPECT_FALSE(report.Show());
    QApplication::processEvents();
    EXPECT_FALSE(sawDialog);
}

TEST_F(NapakaReport, OnlyTheLastRunsErrorsAreReported) {
    t_.Log({NapakaStranka("Prvi"), NapakaStranka("Drugi")});
    RecreatePrenosNapaka(t_.Napaka());
    t_.Log({NapakaPlacnik("Tretji")});
    TNapaka report(nullptr, &t_.Napaka());
    ASSERT_TRUE(report.ExportPdf(Pdf()));
    const auto words = PdfWords();
    EXPECT_EQ(std::count(words.begin(), words.end(), "(Tretji)"), 1);
    EXPECT_EQ(std::count(words.begin(), words.end(), "(Prvi)"), 0);
    EXPECT_EQ(std::count(words.begin(), words.end(), "(Drugi)"), 0);
}

TEST_F(NapakaReport, ShowOpensThePreviewAndReturnsWhenItIsClosed) {
    t_.Log(ManyReasons(50));
    t_.Napaka().Last();
    TNapaka report(nullptr, &t_.Napaka());

    // Another window's timer keeps ticking while the preview is open.
    int ticks = 0;
    QTimer ticker;
    QObject::connect(&ticker, &QTimer::timeout, [&] { ++ticks; });
    ticker.start(5);

    int ticksAtOpen = -1;
    int pages = -1;
    double zoom = 0;
    int zapStWhileOpen = -1;
    QTimer closer;
    QObject::connect(&closer, &QTimer::timeout, [&] {
        auto* preview = qobject_cast<QPrintPreviewDialog*>(QApplication::activeModalWidget());
        if (!preview) {
            return;
        }
        if (ticksAtOpen < 0) {
            ticksAtOpen = ticks;
            zapStWhileOpen = ZapSt();
        } else if (ticks - ticksAtOpen >= 3) {
            if (auto* widget = preview->findChild<QPrintPreviewWidget*>()) {
                pages = widget->pageCount();
                zoom = widget->zoomFactor();
            }
            preview->reject();
        }
    });
    closer.start(10);
    // Should the preview never close, end the test rather than hang it.
    QTimer::singleShot(20000, [] {
        if (QWidget* modal = QApplication::activeModalWidget()) {
            modal->close();
        }
    });

    EXPECT_TRUE(report.Show());
    EXPECT_GE(ticksAtOpen, 0) << "no preview was opened";
    EXPECT_GE(ticks - ticksAtOpen, 3);
    EXPECT_EQ(pages, 2);
    EXPECT_DOUBLE_EQ(zoom, 1.0);
    EXPECT_EQ(zapStWhileOpen, 1);
    EXPECT_EQ(QApplication::activeModalWidget(), nullptr);
}

TEST_F(NapakaReport, ReportWithoutAnOpenTableRaises) {
    TNapaka report(nullptr, &t_.Napaka());
    EXPECT_EQ(TNapaka::Instance(), &report);
    EXPECT_EQ(report.DataSet(), &t_.Napaka());
    t_.Log({NapakaStranka("A")});
    t_.Napaka().Close();
    EXPECT_THROW(report.Show(), EInvalidOperation);
    EXPECT_THROW(report.ExportPdf(Pdf()), EInvalidOperation);
    EXPECT_FALSE(std::filesystem::exists(Pdf()));
    // The table going first leaves the report without one, not with a dangling pointer.
    t_.DestroyNapaka();
    EXPECT_EQ(report.DataSet(), nullptr);
    EXPECT_THROW(report.ExportPdf(Pdf()), EInvalidOperation);
    EXPECT_FALSE(std::filesystem::exists(Pdf()));
}
