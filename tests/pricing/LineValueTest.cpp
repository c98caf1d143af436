#include "pricing/LineValue.h"
#include "LogReader.h"
#include "MemDataSet.h"
#include "StatementFixture.h"
#include "dataset/ODSI.h"
#include "dbutil/StdProc.h"
#include "support/TestSupport.h"

#include <gtest/gtest.h>

#include <cstdint>

using namespace zen;

static auto* const odbcEnv = zen::test::RegisterOdbcTestEnv();

namespace {

Currency M(double v) {
    return Currency::FromDouble(v);
}

struct Line {
    double q = 1, c = 0, rb = 0, dv = 0, tr = 0, tp = 0;
};

struct Totals {
    Currency value, vat, excise, discount, payable;
    bool operator==(const Totals&) const = default;
};

std::ostream& operator<<(std::ostream& os, const Totals& t) {
    return os << "V " << t.value.ToString() << " T " << t.vat.ToString() << " E "
              << t.excise.ToString() << " A " << t.discount.ToString() << " P "
              << t.payable.ToString();
}

Totals T(double v, double vat, double e, double a, double p) {
    return {M(v), M(vat), M(e), M(a), M(p)};
}

void Add(TDataSet& param, Totals& t, const Line& l) {
    CalcVredPromPoz(param, t.value, t.vat, M(99), l.q, M(l.c), l.rb, l.dv, M(l.tr), l.tp, t.excise,
                    t.discount, t.payable);
}

// The parameters row with the given basis ("M" retail, else net), in memory.
class MemParam {
public:
    explicit MemParam(const std::string& basis) {
        ds_.FieldDefs().Add("Id", ftInteger);
        ds_.FieldDefs().Add("OsnZaIzrProdCene", ftString, 1);
        ds_.Open();
        ds_.Append();
        ds_.FieldByName("Id")->SetAsInteger(1);
        ds_.FieldByName("OsnZaIzrProdCene")->SetAsString(basis);
        ds_.Post();
    }
    TDataSet& DataSet() { return ds_; }

private:
    test::TMemDataSet ds_;
};

class LineValueTest : public ::testing::Test {
protected:
    void SetUp() override { SetRoundStep(0.01); }
    void TearDown() override { SetRoundStep(savedStep_); }

    // The totals of one line added to zero totals.
    Totals One(const std::string& basis, const Line& l) {
        MemParam p(basis);
        Totals t;
        Add(p.DataSet(), t, l);
        return t;
    }

    test::TempHome home_;
    double savedStep_ = RoundStep();
};

} // namespace

TEST_F(LineValueTest, NetBasis) {
    // V 30.00, A 3.00, E 0, T 5.40: payable 32.40.
    EXPECT_EQ(One("", {.q = 3, .c = 10, .rb = 10, .dv = 20}), T(30, 5.40, 0, 3, 32.40));
    // A per-unit excise counts once per unit and carries VAT: E 1.50, T (27 + 1.5) x 20 %.
    EXPECT_EQ(One("V", {.q = 3, .c = 10, .rb = 10, .dv = 20, .tr = 0.5}),
              T(30, 5.70, 1.50, 3, 34.20));
    // An excise rate is taken of the discounted value.
    EXPECT_EQ(One("", {.q = 2, .c = 10, .rb = 50, .dv = 10, .tp = 5}),
              T(20, 1.05, 0.50, 10, 11.55));
    // Each amount is rounded to the step before the next is taken from it.
    EXPECT_EQ(One("", {.q = 1, .c = 0.333, .rb = 10, .dv = 22}), T(0.33, 0.07, 0, 0.03, 0.37));
    EXPECT_EQ(One("", {.q = 0, .c = 10, .rb = 10, .dv = 20, .tr = 0.5, .tp = 5}), Totals{});
    EXPECT_TRUE(test::ReadExceptionLog().empty());
}

TEST_F(LineValueTest, RetailBasisTakesTheAmountsOutOfTheGross) {
    // G 12.00, N 10.00: T 2.00, V 10.00, payable 12.00.
    EXPECT_EQ(One("M", {.q = 1, .c = 10, .dv = 20}), T(10, 2, 0, 0, 12));
    // Without VAT there is no VAT amount; the discount is computed from the gross 9.00.
    EXPECT_EQ(One("M", {.q = 1, .c = 10, .rb = 10, .dv = 0}), T(10, 0, 0, 1, 9));
    // The excise per unit enters the gross once per unit: X 31.50, G 37.80, E 1.50, and
    // the line's payable amount is its gross.
    EXPECT_EQ(One("M", {.q = 3, .c = 10, .dv = 20, .tr = 0.5}), T(28.50, 7.80, 1.50, 0, 37.80));
    // With a discount and an excise rate: N 18.00, X 18.90, G 22.68, T 4.68, A 2.00, E 0.90.
    EXPECT_EQ(One("M", {.q = 2, .c = 10, .rb = 10, .dv = 20, .tp = 5}),
              T(19.10, 4.68, 0.90, 2, 22.68));
    EXPECT_TRUE(test::ReadExceptionLog().empty());
}

TEST_F(LineValueTest, FullDiscountOnTheRetailBasisGivesNoDiscountAmount) {
    EXPECT_EQ(One("M", {.q = 2, .c = 10, .rb = 100, .dv = 20}), Totals{});
    // Only the excise is left: G 1.20 is all VAT and excise.
    EXPECT_EQ(One("M", {.q = 2, .c = 10, .rb = 100, .dv = 20, .tr = 0.5}), T(-1, 1.20, 1, 0, 1.20));
    EXPECT_TRUE(test::ReadExceptionLog().empty());
}

TEST_F(LineValueTest, TotalsAccumulateOverLines) {
    MemParam p("");
    Totals t = T(100, 20, 1, 5, 116);
    Add(p.DataSet(), t, {.q = 3, .c = 10, .rb = 10, .dv = 20});
    Add(p.DataSet(), t, {.q = 1, .c = 5, .dv = 20});
    EXPECT_EQ(t, T(135, 26.40, 1, 8, 154.40));
}

TEST_F(LineValueTest, AFailureIsLoggedAndLeavesEveryTotalAsItWas) {
    const Totals start = T(100, 20, 1, 5, 116);
    {
        // A VAT rate so large that the VAT amount is out of range, after the value, the
        // discount and the excise were computed.
        MemParam p("");
        Totals t = start;
        Add(p.DataSet(), t, {.q = 1, .c = 10, .dv = 1e18, .tr = 1});
        EXPECT_EQ(t, start);
    }
    {
        // The last total overflows while the others would fit.
        MemParam p("");
        Totals t = start;
        t.payable = Currency::FromRaw(INT64_MAX - 10);
        Totals before = t;
        Add(p.DataSet(), t, {.q = 1, .c = 10});
        EXPECT_EQ(t, before);
    }
    {
        // A parameters dataset without the setting.
        test::TMemDataSet bare;
        bare.FieldDefs().Add("Id", ftInteger);
        bare.Open();
        Totals t = start;
        Add(bare, t, {.q = 1, .c = 10});
        EXPECT_EQ(t, start);
    }
    auto rows = test::ReadExceptionLog();
    ASSERT_EQ(rows.size(), 3u);
    for (const auto& r : rows) {
        EXPECT_EQ(r.operation, "CalcVredPromPoz");
        EXPECT_EQ(r.senderName, "TApplication");
    }
    EXPECT_EQ(rows[0].exceptObject, "EOverflow");
    EXPECT_EQ(rows[1].exceptObject, "EOverflow");
    EXPECT_EQ(rows[2].exceptObject, "EDatabaseError");
}

namespace {

// The same over the parameters row of a real database, as the transfer reads it.
class LineValueDb : public test::StatementFixture {
protected:
    void SetUp() override {
        StatementFixture::SetUp();
        SetRoundStep(0.01);
    }
    void TearDown() override {
        param_.reset();
        SetRoundStep(savedStep_);
        StatementFixture::TearDown();
    }
    TDataSet& Param(const std::string& basis) {
        Exec({"DELETE FROM Param",
              "INSERT INTO Param (Id, RoundT, OsnZaIzrProdCene) VALUES (1, 0.01, " + basis + ")"});
        param_ = std::make_unique<TOEQuery>();
        param_->SetHdbc(db.get());
        param_->SetSQL({"SELECT * FROM Param "});
        param_->Open();
        return *param_;
    }

    test::TempHome home_;
    double savedStep_ = RoundStep();
    std::unique_ptr<TOEQuery> param_;
};

} // namespace

TEST_P(LineValueDb, TheBasisComesFromTheParametersRow) {
    const Line line{.q = 3, .c = 10, .rb = 10, .dv = 20, .tr = 0.5};
    Totals net, retail, unset;
    Add(Param("'V'"), net, line);
    Add(Param("'M'"), retail, line);
    Add(Param("NULL"), unset, line);
    EXPECT_EQ(net, T(30, 5.70, 1.50, 3, 34.20));
    // X 28.50, G 34.20, N 27.00, T 7.20, A 3.00, E 1.50.
    EXPECT_EQ(retail, T(28.50, 7.20, 1.50, 3, 34.20));
    EXPECT_EQ(unset, net);
    EXPECT_TRUE(test::ReadExceptionLog().empty());
}

ZEN_INSTANTIATE_FOR_DRIVERS(LineValueDb);
