// Line prices over the price rules of a real database, on both drivers. Every case writes
// its parameters row, price list and document, then opens the datasets as the main window
// has them and prices one line appended to PrometPoz (not posted).

#include "pricing/LinePrice.h"
#include "LogReader.h"
#include "MemDataSet.h"
#include "StatementFixture.h"
#include "dataset/ODSI.h"
#include "dbutil/StdProc.h"

#include <gtest/gtest.h>

#include <memory>
#include <optional>

using namespace zen;
using namespace zen::test;

static auto* const odbcEnv = RegisterOdbcTestEnv();

namespace {

// One pricing: the rules in force and the line to price.
struct Scenario {
    std::string mode = "S"; // NacIzrRabata: "S" added, anything else chained
    std::string kosovnica = {}, cenRazred = "12,5", nabaCena = {};
    std::vector<std::string> priceList = {}; // value lists of SubjektCenik rows
    std::string docTable = "Promet";         // "" for a document defined by SQL text
    std::string docClass = "1";
    std::string partner = "Kupec";
    std::string direction = "I";
    std::string ident = "ART";
    double kolicina = 3;
    bool quantityOnly = false;
};

// What the line holds after pricing.
struct Priced {
    double cena, rabat, prodCena;
    bool operator==(const Priced&) const = default;
};

std::ostream& operator<<(std::ostream& os, const Priced& p) {
    return os << "Cena " << p.cena << " Rabat " << p.rabat << " ProdCena " << p.prodCena;
}

// The values a line holds before it is priced, to tell an unchanged line.
constexpr Priced kPreset{5, 7, 3};

std::string Quoted(const std::string& text) {
    return text.empty() ? "NULL" : SqlQuoted(text);
}

class LinePriceTest : public StatementFixture {
protected:
    void SetUp() override {
        StatementFixture::SetUp();
        if (HasFatalFailure()) {
            return;
        }
        SetRoundStep(0.01);
        const std::string ms = "INSERT INTO Ms (Ident, Klasif, Formula, Popust, MPCena, VPCena, "
                               "VPCena2, Sestavnica, CenaDob, Rabat, NabaCena, ProdCena, Valuta, "
                               "ValutaDob) VALUES ";
        const std::string subj = "INSERT INTO Subjekt (Naziv, TipPartnerjaO, Rabat, NacIzrCene, "
                                 "TipPartnerjaI, DobRabat, DobNacIzrCene) VALUES ";
        Exec({ms + "('ART', 'KL', NULL, 10, 100, 50, 40, 10, 20, 25, 15, 60, 'EUR', 'USD')",
              ms + "('NIC', 'KL2', NULL, 0, 100, 0, 0, 0, 0, 0, 0, 1, NULL, NULL)",
              ms + "('NOMP', 'KL2', NULL, 0, 0, 0, 0, 0, 0, 0, 0, 2, NULL, NULL)",
              ms + "('FORM', 'KL2', 'FN', 0, 0, 50, 0, 0, 0, 0, 0, 4, NULL, NULL)",
              ms + "('FKOL', 'KL2', 'FK', 0, 0, 50, 0, 0, 0, 0, 0, 5, NULL, NULL)",
              ms + "('FCN', 'KL2', 'FC', 0, 0, 0, 0, 0, 20, 0, 0, 6, NULL, NULL)",
              ms + "('FBAD', 'KL2', 'XX', 0, 0, 0, 0, 0, 0, 0, 0, 7, NULL, NULL)",
              subj + "('Kupec', 'TIPO', 5, '0', 'TIPI', 4, '0')",
              subj + "('Kupec1', NULL, 0, '1', NULL, 0, NULL)",
              subj + "('Kupec2', NULL, 0, '2', NULL, 0, NULL)",
              subj + "('Nic', NULL, 0, NULL, NULL, 0, NULL)",
              subj + "('100% Net', NULL, 0, NULL, NULL, 0, NULL)",
              subj + "('Dobavitelj', NULL, 0, NULL, 'TIPI', 4, '0')",
              subj + "('Dobavitelj2', NULL, 0, NULL, NULL, 4, '2')",
              "INSERT INTO MsFormula (Sifra, Formula) VALUES ('FN', '#VPCENA1#+1')",
              "INSERT INTO MsFormula (Sifra, Formula) VALUES ('FK', '#kolicina#*2')",
              "INSERT INTO MsFormula (Sifra, Formula) VALUES ('FC', '#CENA#+#NABACENA#')",
              "INSERT INTO MsFormula (Sifra, Formula) VALUES ('FP', '#POGCENA#*0,9')",
              "INSERT INTO MsFormula (Sifra, Formula) VALUES ('FZ', '#BNABACENA#')"});
    }
    void TearDown() override {
        CloseAll();
        SetRoundStep(savedStep_);
        StatementFixture::TearDown();
    }

    std::unique_ptr<TOEQuery> Designed(const std::string& name,
                                       const std::vector<std::string>& sql) {
        auto q = std::make_unique<TOEQuery>();
        q->SetName(name);
        q->SetHdbc(db.get());
        q->SetSQL(sql);
        return q;
    }

    // Writes the scenario's rules and document (every dataset closed: SQLite lets no
    // other connection write while one reads), then opens the datasets and appends the
    // line with the preset values.
    void Prepare(const Scenario& s) {
        CloseAll();
        std::vector<std::string> sql{
            "DELETE FROM Param", "DELETE FROM SubjektCenik", "DELETE FROM Promet",
            "INSERT INTO Param (Id, RoundT, NacIzrRabata, FormulaKosovnica, FormulaCenRazred, "
            "FormulaNabaCena) VALUES (1, 0.01, " +
                Quoted(s.mode) + ", " + Quoted(s.kosovnica) + ", " + Quoted(s.cenRazred) + ", " +
                Quoted(s.nabaCena) + ")",
            "INSERT INTO Promet (Kljuc, Prejemnik, Izdajatelj, CenRazred) VALUES ('D1', " +
                SqlQuoted(s.partner) + ", " + SqlQuoted(s.partner) + ", " + Quoted(s.docClass) +
                ")"};
        for (const std::string& row : s.priceList) {
            sql.push_back("INSERT INTO SubjektCenik (Subjekt, Ident, PreIzd, Formula, Vrsta, "
                          "Cena) VALUES (" +
                          row + ")");
        }
        Exec(sql);

        ms_ = Designed("tbLookMS", {"SELECT * FROM Ms ", "ORDER BY IDENT "});
        cenik_ = Designed("tbLookSubjCenik",
                          {"SELECT * FROM SubjektCenik ", "ORDER BY SUBJEKT,IDENT,PREIZD "});
        form_ = Designed("tbLookMsForm", {"SELECT * FROM MsFormula ", "ORDER BY SIFRA "});
        param_ = Designed("tbParameter", {"SELECT * FROM Param "});
        param_->Open();
        document_ = Designed("tbPromet", {"SELECT * FROM Promet "});
        if (!s.docTable.empty()) {
            document_->SetTableName(s.docTable);
        }
        document_->Open();
        partner_ =
            Designed("tbSubjekt", {"SELECT * FROM Subjekt WHERE Naziv = " + SqlQuoted(s.partner)});
        partner_->Open();
        line_ = Designed("tbPrometPoz", {"SELECT * FROM PrometPoz "});
        line_->SetRequestLive(true);
        line_->Open();
        line_->Append();
        line_->FieldByName("Kljuc")->SetAsString("D1");
        line_->FieldByName("Ident")->SetAsString(s.ident);
        line_->FieldByName("Kolicina")->SetAsFloat(s.kolicina);
        Preset(*line_);
    }
    static void Preset(TDataSet& line) {
        line.FieldByName("Cena")->SetAsFloat(kPreset.cena);
        line.FieldByName("Rabat")->SetAsFloat(kPreset.rabat);
        line.FieldByName("ProdCena")->SetAsFloat(kPreset.prodCena);
    }
    TPricingDataSets DataSets() { return {*ms_, *cenik_, *form_, *param_}; }
    void Price(const Scenario& s, TDataSet& line) {
        IzrCenePoz(DataSets(), *document_, line, *partner_, s.quantityOnly, s.direction);
    }
    static Priced Read(TDataSet& line) {
        return {line.FieldByName("Cena")->AsFloat(), line.FieldByName("Rabat")->AsFloat(),
                line.FieldByName("ProdCena")->AsFloat()};
    }
    Priced Run(const Scenario& s) {
        Prepare(s);
        Price(s, *line_);
        EXPECT_EQ(line_->State(), dsInsert);
        Priced p = Read(*line_);
        CloseAll();
        return p;
    }
    void CloseAll() {
        for (auto* q : {&line_, &partner_, &document_, &param_, &form_, &cenik_, &ms_}) {
            q->reset();
        }
    }
    // Scenarios with the price they give, each checked with its index in the trace.
    void Check(const std::vector<std::pair<Scenario, Priced>>& cases) {
        for (size_t i = 0; i < cases.size(); ++i) {
            SCOPED_TRACE("case " + std::to_string(i));
            Priced got = Run(cases[i].first);
            EXPECT_NEAR(got.cena, cases[i].second.cena, 1e-9) << got;
            EXPECT_NEAR(got.rabat, cases[i].second.rabat, 1e-9) << got;
            EXPECT_EQ(got.prodCena, cases[i].second.prodCena) << got;
        }
        EXPECT_TRUE(ReadExceptionLog().empty());
    }

    TempHome home_;
    double savedStep_ = RoundStep();
    std::unique_ptr<TOEQuery> ms_, cenik_, form_, param_, document_, partner_, line_;
};

} // namespace

TEST_P(LinePriceTest, DiscountsAreAddedOrChained) {
    // Article 10 %, partner 5 %, and a discount row of the price list of 3 %.
    const std::string discountRow = "'Kupec', 'ART', 'P', NULL, 'R', 3";
    Check({
        {{.priceList = {discountRow}}, {12.5, 18, 60}},
        {{.mode = "V", .priceList = {discountRow}}, {12.5, 17.065, 60}},
        {{.mode = "", .priceList = {discountRow}}, {12.5, 17.065, 60}},
        // A document defined by SQL text names no partner column: no price list.
        {{.priceList = {discountRow}, .docTable = ""}, {12.5, 15, 60}},
        {{.mode = "V", .priceList = {discountRow}, .docTable = ""}, {12.5, 14.5, 60}},
        // "IK": the partner's discount stays out, and the component price is the price
        // (10 / 3 rounded to the step). A Promet document searches its list only for "I".
        {{.kosovnica = "#SESTAVNICA#/3", .priceList = {discountRow}, .direction = "IK"},
         {3.33, 10, 60}},
        {{.mode = "V", .kosovnica = "#sestavnica#/3", .direction = "IK"}, {3.33, 10, 60}},
    });
}

TEST_P(LinePriceTest, PartnerPriceMethods) {
    Check({
        // Method 1: the retail price with the equivalent discount.
        {{.mode = "V", .cenRazred = "80", .partner = "Kupec1", .ident = "NIC"}, {100, 20, 1}},
        {{.mode = "V", .cenRazred = "80", .partner = "Kupec1"}, {100, 28, 60}},
        {{.cenRazred = "80", .partner = "Kupec1"}, {100, 30, 60}},
        // ... and without a retail price nothing changes.
        {{.cenRazred = "80", .partner = "Kupec1", .ident = "NOMP"}, {80, 0, 2}},
        // Method 2: the discount goes into the price.
        {{.cenRazred = "80", .partner = "Kupec2"}, {72, 0, 60}},
        {{.mode = "V", .cenRazred = "33,33", .partner = "Kupec2"}, {29.997, 0, 60}},
        // Method 1 where the ratio is not a whole number of ten-thousandths: the price and
        // the discount still give the net price back.
        {{.mode = "V", .cenRazred = "33,335", .partner = "Kupec1", .ident = "NIC"},
         {100, 66.665, 1}},
    });
}

TEST_P(LinePriceTest, PriceListSearchedByPartnerThenTypeAndByArticleThenClass) {
    const std::string byName = "'Kupec', 'ART', 'P', NULL, 'C', 7";
    const std::string byNameClass = "'Kupec', 'KL', 'P', NULL, 'C', 8";
    const std::string byType = "'TIPO', 'ART', 'P', NULL, 'C', 9";
    const std::string byTypeClass = "'TIPO', 'KL', 'P', NULL, 'C', 10";
    // Rows of the other side and of other partners never win.
    const std::string otherSide = "'Kupec', 'ART', 'N', NULL, 'C', 99";
    const std::string otherPartner = "'100 Mbit', 'ART', 'P', NULL, 'C', 98";
    Check({
        {{.priceList = {byName, byNameClass, byType, byTypeClass, otherSide}}, {7, 15, 60}},
        {{.priceList = {byNameClass, byType, byTypeClass, otherSide}}, {8, 15, 60}},
        {{.priceList = {byType, byTypeClass, otherSide}}, {9, 15, 60}},
        {{.priceList = {byTypeClass, otherSide}}, {10, 15, 60}},
        {{.priceList = {otherSide, otherPartner}}, {12.5, 15, 60}},
        // A partner name with "%" is a name, not a pattern.
        {{.priceList = {otherPartner}, .partner = "100% Net"}, {12.5, 10, 60}},
        // A row's formula outranks its price, and the article's formula...
        {{.priceList = {"'Kupec', 'ART', 'P', 'FP', 'C', 10"}}, {9, 15, 60}},
        {{.priceList = {"'Kupec', 'FORM', 'P', 'FP', 'C', 10"}, .ident = "FORM"}, {9, 5, 4}},
        {{.priceList = {}, .ident = "FORM"}, {51, 5, 4}},
        // ... unless it gives no price: then the row's price stands.
        {{.priceList = {"'Kupec', 'NIC', 'P', 'FZ', 'C', 7"}, .ident = "NIC"}, {7, 5, 1}},
        // The supplier side reads the issuer's list rows of side "N" and its own terms.
        {{.priceList = {otherSide, byName}, .direction = "P"}, {99, 4, 60}},
        {{.priceList = {"'TIPI', 'KL', 'N', NULL, 'C', 12", byName},
          .partner = "Dobavitelj",
          .direction = "P"},
         {12, 4, 60}},
        {{.priceList = {"'Dobavitelj2', 'ART', 'N', NULL, 'C', 11"},
          .partner = "Dobavitelj2",
          .direction = "P"},
         {10.56, 0, 60}},
    });
}

TEST_P(LinePriceTest, ParameterAndNamedFormulas) {
    Check({
        // The price class: "0" and empty stand for "1"; only the first character counts.
        {{.cenRazred = "#CENRAZRED#*10", .docClass = "0", .partner = "Nic", .ident = "NIC"},
         {10, 0, 1}},
        {{.cenRazred = "#CENRAZRED#*10", .docClass = "", .partner = "Nic", .ident = "NIC"},
         {10, 0, 1}},
        {{.cenRazred = "#CENRAZRED#*10", .docClass = "23", .partner = "Nic", .ident = "NIC"},
         {20, 0, 1}},
        // The class price sees the rounded component price.
        {{.kosovnica = "#SESTAVNICA#/3", .cenRazred = "#KOSOVNICA#*2", .partner = "Nic"},
         {6.66, 10, 60}},
        // The purchase price from the supplier's price carries the article's supplier
        // discount (also through NNABACENA); the article discount stays out.
        {{.nabaCena = "#NABACENA#*1,1", .partner = "Dobavitelj", .direction = "P"}, {22, 29, 60}},
        {{.mode = "V", .nabaCena = "#NABACENA#*1,1", .partner = "Dobavitelj", .direction = "P"},
         {22, 28, 60}},
        {{.nabaCena = "#NNABACENA#", .partner = "Dobavitelj", .direction = "P"}, {20, 29, 60}},
        {{.nabaCena = "#VPCENA2#", .partner = "Dobavitelj", .direction = "P"}, {40, 4, 60}},
        // A named formula sees the class price and the purchase price.
        {{.nabaCena = "#NABACENA#*1,1", .partner = "Nic", .ident = "FCN"}, {34.5, 0, 6}},
        // A formula code that is not found is skipped.
        {{.partner = "Nic", .ident = "FBAD"}, {12.5, 0, 7}},
        // Neither side's fall-back for another direction.
        {{.partner = "Nic", .direction = "X"}, {0, 0, 60}},
    });
}

TEST_P(LinePriceTest, QuantityFormulasOnlyAndMissingArticles) {
    Check({
        // Only a formula that mentions the quantity prices the line; else it is left alone.
        {{.partner = "Nic", .ident = "FORM", .quantityOnly = true}, kPreset},
        {{.partner = "Nic", .ident = "ART", .quantityOnly = true}, kPreset},
        {{.partner = "Nic", .ident = "FKOL", .kolicina = 3, .quantityOnly = true}, {6, 0, 5}},
        {{.partner = "Nic", .ident = "FORM"}, {51, 0, 4}},
        // An article that is not found prices as zeros, and the line gets them.
        {{.cenRazred = "#MPCENA#*2", .partner = "Nic", .ident = "NIMA"}, {0, 0, 0}},
        {{.cenRazred = "#MPCENA#*2", .partner = "Kupec", .ident = "NIMA"}, {0, 5, 0}},
    });
}

TEST_P(LinePriceTest, TheArticleIsFoundByTheLinesIdentLiterally) {
    Prepare({.partner = "Nic"});
    // Already standing on the article through the designed query: the query stays.
    ms_->Open();
    for (ms_->First(); ms_->FieldByName("Ident")->AsString() != "ART"; ms_->Next()) {
    }
    Price({.partner = "Nic"}, *line_);
    EXPECT_EQ(ms_->SQL().Count(), 2);
    EXPECT_EQ(Read(*line_), (Priced{12.5, 10, 60}));
    // The lookup compares literally: an ident with "%" is not a pattern for "ART".
    line_->FieldByName("Ident")->SetAsString("AR%");
    Price({.partner = "Nic"}, *line_);
    EXPECT_EQ(ms_->SQL().Count(), 1);
    EXPECT_EQ(Read(*line_), (Priced{12.5, 0, 0}));
    EXPECT_TRUE(ReadExceptionLog().empty());
}

TEST_P(LinePriceTest, ALineInBrowseStateIsEditedAndOrderLinesNameTheirArticleElsewhere) {
    Exec({"DROP TABLE IF EXISTS NarocKos",
          "CREATE TABLE NarocKos (Ident VARCHAR(16), IdentPod VARCHAR(16), "
          "Kolicina DOUBLE PRECISION, Cena DOUBLE PRECISION, Rabat DOUBLE PRECISION, "
          "ProdCena DOUBLE PRECISION)"});
    Prepare({.partner = "Nic"});
    test::TMemDataSet mem;
    mem.FieldDefs().Add("Ident", ftString, 16);
    for (const char* name : {"Kolicina", "Cena", "Rabat", "ProdCena"}) {
        mem.FieldDefs().Add(name, ftFloat);
    }
    mem.Open();
    mem.Append();
    mem.FieldByName("Ident")->SetAsString("ART");
    mem.Post();
    Price({.partner = "Nic"}, mem);
    EXPECT_EQ(mem.State(), dsEdit);
    EXPECT_EQ(Read(mem), (Priced{12.5, 10, 60}));

    auto order = Designed("tbNarocKos", {});
    order->SetTableName("NarocKos");
    order->SetRequestLive(true);
    order->Open();
    order->Append();
    order->FieldByName("Ident")->SetAsString("NIC");
    order->FieldByName("IdentPod")->SetAsString("ART");
    Price({.partner = "Nic"}, *order);
    EXPECT_EQ(Read(*order), (Priced{12.5, 10, 60}));
    order.reset();
    CloseAll();
    Exec({"DROP TABLE NarocKos"});
    EXPECT_TRUE(ReadExceptionLog().empty());
}

TEST_P(LinePriceTest, FailuresAreLoggedWithTheDocumentAndLeaveTheLine) {
    // The partner lacks its terms: the decisions fail before anything is written.
    Prepare({.partner = "Nic"});
    partner_ = Designed("tbSubjekt", {"SELECT Naziv FROM Subjekt"});
    partner_->Open();
    Price({}, *line_);
    EXPECT_EQ(Read(*line_), kPreset);
    // The articles lack a column that the gathering reads.
    ms_ = Designed("tbLookMS", {"SELECT Ident, ProdCena FROM Ms ", "ORDER BY IDENT "});
    Price({}, *line_);
    EXPECT_EQ(Read(*line_), kPreset);
    CloseAll();

    std::vector<std::string> ops;
    for (const auto& r : ReadExceptionLog()) {
        ops.push_back(r.operation + " " + r.exceptObject + " " + r.senderName + " " + r.objectName);
    }
    EXPECT_EQ(ops, (std::vector<std::string>{"IzrCenePozC EDatabaseError TOEQuery tbPromet",
                                             "IzrCenePoz EDatabaseError TOEQuery tbPromet"}));
}

ZEN_INSTANTIATE_FOR_DRIVERS(LinePriceTest);
