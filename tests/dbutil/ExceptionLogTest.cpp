#include "dbutil/ExceptionLog.h"
#include "LogReader.h"
#include "support/TestSupport.h"
#include "toolkit/Component.h"
#include "toolkit/DateTime.h"
#include "toolkit/Exceptions.h"

#include <QApplication>
#include <QLineEdit>
#include <gtest/gtest.h>

using namespace zen;

TEST(ExceptionLog, FirstRowCreatesTheTableWithItsTenColumns) {
    test::TempHome home;
    EXPECT_FALSE(std::filesystem::exists(home.Path() / "c" / "TevrinError"));
    TComponent owner;
    owner.SetName("tbLookMS");
    LogException(EConvertError("'12a' is not a valid integer value"), &owner, "sqlFindKey");
    EXPECT_EQ(
        test::ExceptionLogColumns(),
        (std::vector<std::string>{"Cas", "FormName", "ControlName", "SenderName", "ObjectName",
                                  "Operation", "ExceptObject", "BuildNo", "Error", "SenderProp"}));
    auto rows = test::ReadExceptionLog();
    ASSERT_EQ(rows.size(), 1u);
    EXPECT_EQ(rows[0].senderName, "TComponent");
    EXPECT_EQ(rows[0].objectName, "tbLookMS");
    EXPECT_EQ(rows[0].operation, "sqlFindKey");
    EXPECT_EQ(rows[0].exceptObject, "EConvertError");
    EXPECT_EQ(rows[0].buildNo, 910);
    EXPECT_EQ(rows[0].error, "'12a' is not a valid integer value");
    EXPECT_NEAR(rows[0].cas, Now(), 1.0 / 24);
}

TEST(ExceptionLog, AbortIsNeverLoggedAndTextsAreCutInCharacters) {
    test::TempHome home;
    LogException(EAbort("quiet"), &Application(), "DivT");
    EXPECT_TRUE(test::ReadExceptionLog().empty());

    std::string longOp(40, 'x');
    std::string message;
    for (int i = 0; i < 300; ++i) {
        message += "č";
    }
    LogException(Exception(message), nullptr, "Operacija čšž " + longOp);
    auto rows = test::ReadExceptionLog();
    ASSERT_EQ(rows.size(), 1u);
    EXPECT_EQ(rows[0].error.size(), 255u * 2); // 255 two-byte letters
    EXPECT_EQ(rows[0].operation, "Operacija čšž " + std::string(16, 'x'));
    EXPECT_EQ(rows[0].senderName, "");
    EXPECT_EQ(rows[0].exceptObject, "Exception");
}

TEST(ExceptionLog, NamesTheActiveWindowAndControl) {
    test::TempHome home;
    int argc = 1;
    char arg0[] = "test";
    char* argv[] = {arg0, nullptr};
    QApplication app(argc, argv);
    QWidget window;
    window.setObjectName("Main");
    auto* edit = new QLineEdit(&window);
    edit->setObjectName("fPath");
    window.show();
    QApplication::setActiveWindow(&window);
    edit->setFocus();
    QApplication::processEvents();
    LogException(std::runtime_error("boom"), &Application(), "GetStringFromIniFile");
    auto rows = test::ReadExceptionLog();
    ASSERT_EQ(rows.size(), 1u);
    EXPECT_EQ(rows[0].formName, "Main");
    EXPECT_EQ(rows[0].controlName, "fPath");
    EXPECT_EQ(rows[0].senderName, "TApplication");
    EXPECT_EQ(rows[0].objectName, "");
    EXPECT_EQ(rows[0].senderProp, "");
}

TEST(ExceptionLog, AnUnwritableLogIsSwallowed) {
    test::TempHome home;
    std::filesystem::create_directories(home.Path() / "c" / "TevrinError"); // a directory
    EXPECT_NO_THROW(LogException(Exception("lost"), nullptr, "RoundT"));
}
