#pragma once
// What the window tests share: the application object, and the five inputs of the main
// window as an operator types them before "Prenos".

#include "app/DateEdit.h"
#include "app/FMain.h"
#include "app/ZenApplication.h"
#include "toolkit/DateTime.h"

#include <QHeaderView>
#include <QLineEdit>
#include <QTableWidget>
#include <filesystem>
#include <gtest/gtest.h>
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

// The columns from `from` on are seen whole: inside the list's width, without scrolling, and
// as wide as their widest text (with the item's margins) asks.
inline void ExpectColumnsWhole(QTableWidget* table, int from) {
    for (int c = from; c < table->columnCount(); ++c) {
        const std::string name = table->horizontalHeaderItem(c)->text().toStdString();
        const int left = table->horizontalHeader()->sectionViewportPosition(c);
        EXPECT_GE(left, 0) << name;
        EXPECT_LE(left + table->columnWidth(c), table->viewport()->width()) << name;
        // What sizing to the texts would give it, now that the list is drawn as it shows.
        const int width = table->columnWidth(c);
        table->resizeColumnToContents(c);
        EXPECT_GE(width, table->columnWidth(c)) << name;
        table->setColumnWidth(c, width);
    }
}

} // namespace zen::test
