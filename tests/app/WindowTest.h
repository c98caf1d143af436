#pragma once
// What the window tests share: the application object, and the five inputs of the main
// window as an operator types them before "Prenos".

#include "app/DateEdit.h"
#include "app/FMain.h"
#include "app/ZenApplication.h"
#include "toolkit/DateTime.h"

#include <QLineEdit>
#include <filesystem>
#include <string>

namespace zen::test {

// The application object of a window test, with the arguments it keeps.
struct TestApp {
    int argc = 1;
    char arg0[10] = "app_tests";
    char* argv[2] = {arg0, nullptr};
    TZenApplication app{argc, argv};
};

inline void TypeInputs(TMain& w, const char* event, const char* clerk, const std::string& dsn,
                       const std::filesystem::path& file) {
    w.fPoslDog->setText(event);
    w.fReferent->setText(clerk);
    w.fAlias->setText(QString::fromStdString(dsn));
    w.fPath->setText(QString::fromStdString(file.string()));
    w.fDatum->setText(QString::fromStdString(DateToStr(EncodeDate(2026, 12, 6))));
}

} // namespace zen::test
