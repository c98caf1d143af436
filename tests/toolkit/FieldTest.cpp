#include "MemDataSet.h"
#include "support/TestSupport.h"
#include "toolkit/DataSet.h"
#include "toolkit/Exceptions.h"

#include <gtest/gtest.h>

#include <cmath>
#include <cstring>
#include <limits>

using namespace zen;
using zen::test::TMemDataSet;

namespace {

std::string MessageOf(const std::function<void()>& action) {
    try {
        action();
    } catch (const std::exception& e) {
        return e.what();
    }
    return "";
}

// One field of every kind, in an appended record ready to be filled.
class FieldTest : public ::testing::Test {
protected:
    void SetUp() override {
        ASSERT_TRUE(locale_.Available());
        auto& d = ds_.FieldDefs();
        d.Add("S", ftString, 5);
        d.Add("SI", ftSmallint);
        d.Add("I", ftInteger);
        d.Add("W", ftWord);
        d.Add("L", ftLargeint);
        d.Add("F", ftFloat);
        d.Add("C", ftCurrency);
        d.Add("B", ftBoolean);
        d.Add("D", ftDate);
        d.Add("T", ftTime);
        d.Add("DT", ftDateTime);
        d.Add("BY", ftBytes, 4);
        d.Add("VB", ftVarBytes, 4);
        d.Add("M", ftMemo);
        ds_.Open();
        ds_.Append();
    }
    TField* F(const char* name) { return ds_.FieldByName(name); }

    test::ScopedLocale locale_{"sl_SI.UTF-8"};
    TMemDataSet ds_;
};

} // namespace

TEST(NativeDateTimeTest, SlotLayouts) {
    char slot[8];
    DateTimeToNative(ftDate, 0.0, slot);
    int32_t day;
    std::memcpy(&day, slot, 4);
    EXPECT_EQ(day, 693594);
    DateTimeToNative(ftTime, 0.75, slot);
    int32_t ms;
    std::memcpy(&ms, slot, 4);
    EXPECT_EQ(ms, 64800000);
    DateTimeToNative(ftDateTime, 1.25, slot);
    double total;
    std::memcpy(&total, slot, 8);
    EXPECT_DOUBLE_EQ(total, 693595.0 * 86400000 + 21600000);
    EXPECT_DOUBLE_EQ(NativeToDateTime(ftDateTime, slot), 1.25);

    // Before 1899 the fraction still counts forward from the day's midnight.
    TTimeStamp ts = DateTimeToTimeStamp(-1.25);
    EXPECT_EQ(ts.Date, 693593);
    EXPECT_EQ(ts.Time, 21600000);
    EXPECT_DOUBLE_EQ(TimeStampToDateTime(ts), -1.25);
    // Rounding up to midnight gives the next day, never a 24:00 time.
    ts = DateTimeToTimeStamp(10.9999999999);
    EXPECT_EQ(ts.Date, 693594 + 11);
    EXPECT_EQ(ts.Time, 0);

    EXPECT_THROW(DateTimeToTimeStamp(1e10), EConvertError);
    EXPECT_THROW(DateTimeToTimeStamp(std::nan("")), EConvertError);
    EXPECT_THROW(MSecsToTimeStamp(-1), EConvertError);
    double garbage = 1e300;
    std::memcpy(slot, &garbage, 8);
    EXPECT_THROW(NativeToDateTime(ftDateTime, slot), EConvertError);
}

TEST_F(FieldTest, NullReadsAsEmptyZeroOrZeroDate) {
    for (TField* f : ds_.Fields()) {
        EXPECT_TRUE(f->IsNull()) << f->FieldName();
        EXPECT_EQ(f->AsString(), "") << f->FieldName();
        EXPECT_TRUE(f->AsVariant().IsNull()) << f->FieldName();
    }
    EXPECT_EQ(F("I")->AsInteger(), 0);
    EXPECT_EQ(F("S")->AsInteger(), 0);
    EXPECT_DOUBLE_EQ(F("F")->AsFloat(), 0);
    EXPECT_EQ(F("C")->AsCurrency(), Currency());
    EXPECT_FALSE(F("B")->AsBoolean());
    EXPECT_DOUBLE_EQ(F("DT")->AsDateTime(), 0);
    EXPECT_DOUBLE_EQ(F("S")->AsDateTime(), 0);
}

TEST_F(FieldTest, NumbersAreWrittenAndReadWithAPoint) {
    F("F")->SetAsString("1.5");
    EXPECT_EQ(F("F")->AsString(), "1.5");
    F("F")->SetAsFloat(0.1 + 0.2);
    EXPECT_EQ(F("F")->AsString(), "0.3");
    EXPECT_EQ(MessageOf([&] { F("F")->SetAsString("1,5"); }),
              "'1,5' is not a valid floating point value");
    EXPECT_EQ(MessageOf([&] { F("I")->SetAsString("12a"); }), "'12a' is not a valid integer value");
    EXPECT_DOUBLE_EQ(F("F")->AsFloat(), 0.1 + 0.2); // failed writes change nothing

    F("S")->SetAsFloat(2.25);
    EXPECT_EQ(F("S")->AsString(), "2.25");
    EXPECT_DOUBLE_EQ(F("S")->AsFloat(), 2.25);
    F("S")->SetAsString("x1");
    EXPECT_THROW(F("S")->AsInteger(), EConvertError);

    F("I")->SetAsString(" 42 ");
    EXPECT_EQ(F("I")->AsInteger(), 42);
    F("I")->SetAsString("");
    EXPECT_TRUE(F("I")->IsNull());
    F("I")->SetAsFloat(2.5);
    EXPECT_EQ(F("I")->AsInteger(), 2); // halves to even
    F("F")->SetAsFloat(-3.5);
    EXPECT_EQ(F("F")->AsInteger(), -4);
    EXPECT_THROW(F("F")->SetAsFloat(std::numeric_limits<double>::infinity()), EDatabaseError);
}

TEST_F(FieldTest, IntegerRangesAreChecked) {
    F("SI")->SetAsInteger(-32768);
    EXPECT_THROW(F("SI")->SetAsInteger(32768), EDatabaseError);
    EXPECT_EQ(F("SI")->AsInteger(), -32768);
    F("W")->SetAsInteger(65535);
    EXPECT_EQ(F("W")->AsInteger(), 65535);
    EXPECT_THROW(F("W")->SetAsInteger(-1), EDatabaseError);
    F("L")->SetAsLargeInt(int64_t{1} << 40);
    EXPECT_EQ(F("L")->AsLargeInt(), int64_t{1} << 40);
    EXPECT_THROW(F("L")->AsInteger(), EConvertError);
    EXPECT_EQ(F("L")->AsString(), "1099511627776");
    auto* i = static_cast<TIntegerField*>(F("I"));
    i->SetRange(1, 10);
    EXPECT_EQ(MessageOf([&] { i->SetAsInteger(11); }),
              "11 is not a valid value for field 'I'. The allowed range is 1 to 10");
    EXPECT_THROW(F("I")->SetAsFloat(1e300), EConvertError);
}

TEST_F(FieldTest, CurrencyBooleanAndVariants) {
    F("C")->SetAsFloat(1.23456);
    EXPECT_EQ(F("C")->AsCurrency(), Currency::FromRaw(12346));
    EXPECT_EQ(F("C")->AsString(), "1.2346");
    EXPECT_EQ(F("C")->AsVariant().VarType(), varCurrency);

    F("B")->SetAsString("yes");
    EXPECT_EQ(F("B")->AsString(), "True");
    EXPECT_EQ(F("B")->AsInteger(), 1);
    EXPECT_THROW(F("B")->SetAsString("maybe"), EConvertError);

    F("I")->SetAsVariant(TVariant("5"));
    EXPECT_EQ(F("I")->AsVariant().VarType(), varInteger);
    F("SI")->SetAsVariant(TVariant(7.0));
    EXPECT_EQ(F("SI")->AsVariant().VarType(), varSmallint);
    F("SI")->SetAsVariant(TVariant::Null());
    EXPECT_TRUE(F("SI")->IsNull());
    EXPECT_THROW(F("I")->SetAsVariant(TVariant::Array({TVariant(1)})), EVariantError);
    EXPECT_EQ(MessageOf([&] { F("D")->AsBoolean(); }), "Cannot access field 'D' as type Boolean");
}

TEST_F(FieldTest, DatesAndTimes) {
    TDateTime christmas = EncodeDate(2026, 12, 24);
    F("D")->SetAsDateTime(christmas + 0.5);
    EXPECT_DOUBLE_EQ(F("D")->AsDateTime(), christmas); // a date keeps no time
    EXPECT_EQ(F("D")->AsString(), DateToStr(christmas));
    std::string shown = F("D")->AsString();
    F("D")->Clear();
    F("D")->SetAsString(shown);
    EXPECT_DOUBLE_EQ(F("D")->AsDateTime(), christmas);
    EXPECT_EQ(F("D")->AsVariant().VarType(), varDate);
    EXPECT_THROW(F("D")->SetAsString("31.31.2026"), EConvertError);

    F("T")->SetAsString("13:45:30");
    EXPECT_DOUBLE_EQ(F("T")->AsDateTime(), EncodeTime(13, 45, 30, 0));
    F("T")->SetAsString("13:45:30.5");
    EXPECT_DOUBLE_EQ(F("T")->AsDateTime(), EncodeTime(13, 45, 30, 500));
    EXPECT_THROW(F("T")->SetAsString("25:00"), EConvertError);
    EXPECT_THROW(F("T")->SetAsString("12:00 x"), EConvertError);

    F("DT")->SetAsDateTime(christmas + 0.75);
    char raw[8];
    ASSERT_TRUE(F("DT")->GetData(raw));
    double ms;
    std::memcpy(&ms, raw, 8);
    EXPECT_DOUBLE_EQ(ms, TimeStampToMSecs(DateTimeToTimeStamp(christmas + 0.75)));
    EXPECT_DOUBLE_EQ(F("DT")->AsFloat(), christmas + 0.75);
}

TEST_F(FieldTest, TextsAreCutToTheirSizeInCharacters) {
    F("S")->SetAsString("čšžćđx");
    EXPECT_EQ(F("S")->AsString(), "čšžćđ");
    F("S")->SetAsString("abcdefgh");
    EXPECT_EQ(F("S")->AsString(), "abcde");
    EXPECT_EQ(F("S")->DataSize(), 5 * kMaxCharBytes + 1);
    // Broken UTF-8 is cut within the buffer all the same.
    F("S")->SetAsString(std::string(40, '\x80'));
    EXPECT_LE(F("S")->AsString().size(), 20u);

    F("BY")->SetAsString("ab");
    EXPECT_EQ(F("BY")->AsString(), std::string("ab\0\0", 4));
    EXPECT_THROW(F("BY")->SetAsString("abcde"), EDatabaseError);
    F("VB")->SetAsString("abc");
    EXPECT_EQ(F("VB")->AsString(), "abc");
}

TEST_F(FieldTest, MemoThroughBlobStream) {
    F("M")->SetAsString("dolg opis artikla");
    EXPECT_FALSE(F("M")->IsNull());
    EXPECT_EQ(F("M")->AsString(), "dolg opis artikla");
    ds_.FieldByName("I")->SetAsInteger(1);
    ds_.Post();
    EXPECT_EQ(F("M")->AsString(), "dolg opis artikla");

    ds_.Edit();
    F("M")->Clear();
    EXPECT_TRUE(F("M")->IsNull());
    // Writing into the stream of a null memo gives it a value.
    auto stream = ds_.CreateBlobStream(F("M"), bmWrite);
    stream->WriteBuffer("xy", 2);
    stream.reset();
    EXPECT_FALSE(F("M")->IsNull());
    EXPECT_EQ(F("M")->AsString(), "xy");
}

TEST_F(FieldTest, ValidateChangeAndReadOnly) {
    std::vector<std::string> seen;
    F("S")->OnValidate = [&](TField& f) {
        seen.push_back(f.AsString());
        if (f.AsString() == "bad") {
            throw EDatabaseError("rejected");
        }
    };
    int changes = 0;
    F("S")->OnChange = [&](TField&) { ++changes; };
    F("S")->SetAsString("good");
    EXPECT_THROW(F("S")->SetAsString("bad"), EDatabaseError);
    EXPECT_EQ(F("S")->AsString(), "good");
    EXPECT_EQ(seen, (std::vector<std::string>{"good", "bad"}));
    EXPECT_EQ(changes, 1);

    F("I")->SetReadOnly(true);
    EXPECT_EQ(MessageOf([&] { F("I")->SetAsInteger(3); }), "Field 'I' cannot be modified");
    EXPECT_FALSE(F("I")->CanModify());
    EXPECT_TRUE(F("S")->CanModify());
}

TEST_F(FieldTest, OldValueIsTheValueBeforeTheEdit) {
    F("S")->SetAsString("prej");
    ds_.Post();
    ds_.Edit();
    F("S")->SetAsString("zdaj");
    EXPECT_EQ(F("S")->OldValue().AsString(), "prej");
    EXPECT_EQ(F("S")->AsString(), "zdaj");
    EXPECT_EQ(ds_.State(), dsEdit);
}
