#include "NapakaTables.h"

#include "toolkit/Field.h"
#include "transfer/PrenosNapaka.h"

namespace zen::test {

NapakaTables::NapakaTables()
    : napaka_(std::make_unique<TTable>()), rac_(std::make_unique<TTable>()) {
    SetupPrenosNapaka(*napaka_);
    rac_->SetTableName((std::filesystem::path(NAPAKA_TEST_DATA) / "napake.dbf").string());
}

NapakaTables::~NapakaTables() = default;

void NapakaTables::LogEveryCustomer() {
    rac_->Open();
    for (rac_->First(); !rac_->Eof(); rac_->Next()) {
        FillNapaka(*napaka_, *rac_, NapakaStranka(rac_->FieldByName("Stranka")->AsString()));
    }
    rac_->Close();
}

void NapakaTables::Log(const std::vector<std::string>& reasons) {
    rac_->Open();
    rac_->First();
    for (const std::string& reason : reasons) {
        FillNapaka(*napaka_, *rac_, reason);
    }
    rac_->Close();
}

std::vector<NapakaTables::Row> NapakaTables::Rows() {
    std::vector<Row> rows;
    for (napaka_->First(); !napaka_->Eof(); napaka_->Next()) {
        rows.push_back({napaka_->FieldByName("ZapSt")->AsInteger(),
                        napaka_->FieldByName("StRac")->AsString(),
                        napaka_->FieldByName("Napaka")->AsString()});
    }
    return rows;
}

} // namespace zen::test
