#include "toolkit/Params.h"
#include "support/TestSupport.h"
#include "toolkit/Exceptions.h"
#include "toolkit/Field.h"
#include "toolkit/Stream.h"

#include <gtest/gtest.h>

#include <cstring>

using namespace zen;

TEST(ParamsTest, NativeFormsAndSizes) {
    TParams params;
    TParam& text = params.CreateParam(ftString, "a", ptInput);
    text.SetAsString("abc");
    EXPECT_EQ(text.GetDataSize(), 4); // with the terminator
    char buf[16];
    std::memset(buf, 'x', sizeof buf);
    text.GetData(buf);
    EXPECT_STREQ(buf, "abc");

    TParam& blob = params.CreateParam(ftUnknown, "b", ptInput);
    blob.SetAsBlob(std::string("a\0b", 3));
    EXPECT_EQ(blob.GetDataSize(), 3);

    TParam& small = params.CreateParam(ftSmallint, "s", ptInput);
    small.SetValue(TVariant(70000));
    EXPECT_EQ(small.DataType(), ftSmallint);
    EXPECT_EQ(small.GetDataSize(), 2);
    EXPECT_THROW(small.GetData(buf), EConvertError);

    TParam& when = params.CreateParam(ftUnknown, "d", ptInputOutput);
    when.SetAsDate(EncodeDate(2026, 12, 7));
    when.GetData(buf);
    int32_t day;
    std::memcpy(&day, buf, 4);
    EXPECT_EQ(day, 693594 + static_cast<int32_t>(EncodeDate(2026, 12, 7)));

    // A buffer that is too small is never overrun; a text keeps whole characters.
    TParam longText("t", ftString);
    longText.SetAsString("ščx");
    char small4[4] = {'?', '?', '?', '?'};
    EXPECT_EQ(longText.GetData(small4, 4), 3);
    EXPECT_STREQ(small4, "\xC5\xA1");
    EXPECT_EQ(longText.GetData(buf, 16), 6);
    EXPECT_STREQ(buf, "ščx");
    int32_t tiny;
    TParam wide("w", ftLargeint);
    wide.SetAsLargeInt(1);
    EXPECT_THROW(wide.GetData(&tiny, 4), EConvertError);

    TParam nothing("n", ftInteger);
    EXPECT_TRUE(nothing.IsNull());
    EXPECT_EQ(nothing.GetDataSize(), 0);
    EXPECT_EQ(nothing.AsInteger(), 0);
}

TEST(ParamsTest, OutputValuesComeBackFromTheBuffer) {
    TParam out("r", ftInteger, ptOutput);
    int32_t v = -17;
    out.SetData(&v, 4);
    EXPECT_EQ(out.AsInteger(), -17);
    EXPECT_THROW(out.SetData(&v, 2), EDatabaseError);

    TParam text("t", ftString, ptOutput);
    const char unterminated[4] = {'a', 'b', 'c', 'd'};
    text.SetData(unterminated, 4); // never reads past the given size
    EXPECT_EQ(text.AsString(), "abcd");

    TParam stamp("ts", ftDateTime, ptOutput);
    char slot[8];
    DateTimeToNative(ftDateTime, 1.5, slot);
    stamp.SetData(slot, 8);
    EXPECT_DOUBLE_EQ(stamp.AsDateTime(), 1.5);
}

TEST(ParamsTest, NamesAndAssignment) {
    TParams params;
    params.CreateParam(ftString, "Sifra", ptInput);
    params.CreateParam(ftInteger, "Leto", ptInput);
    EXPECT_EQ(&params.ParamByName(" SIFRA "), &params[0]);
    try {
        params.ParamByName("Datum");
        FAIL();
    } catch (const EDatabaseError& e) {
        EXPECT_STREQ(e.what(), "Parameter 'Datum' not found");
    }
    EXPECT_THROW(params[2], EListError);

    TParams other;
    other.CreateParam(ftUnknown, "leto", ptInput).SetValue(TVariant(2026));
    other.CreateParam(ftString, "extra", ptInput).SetAsString("x");
    params.AssignValues(other);
    EXPECT_EQ(params.ParamByName("Leto").AsInteger(), 2026);
    EXPECT_EQ(params.FindParam("extra"), nullptr);

    TParam* kept = &params[0];
    params.CreateParam(ftFloat, "Cena", ptInput);
    EXPECT_EQ(kept, &params[0]); // addresses stay
    params.RemoveParam(kept);
    EXPECT_EQ(params.Count(), 2);
    other.Assign(params);
    EXPECT_EQ(other.Count(), 2);
    EXPECT_EQ(other[0].AsInteger(), 2026);
}

TEST(StreamTest, MemoryStreamReadsWritesAndSeeks) {
    TMemoryStream s;
    s.WriteBuffer("hello", 5);
    EXPECT_EQ(s.Size(), 5);
    s.Seek(-2, soEnd);
    char two[2];
    s.ReadBuffer(two, 2);
    EXPECT_EQ(std::string(two, 2), "lo");
    EXPECT_THROW(s.ReadBuffer(two, 1), EInOutError);
    EXPECT_THROW(s.Seek(-1, soBeginning), EInOutError);
    // Writing past the end fills the gap with zeros.
    s.Seek(7, soBeginning);
    s.WriteBuffer("!", 1);
    EXPECT_EQ(s.ReadAll(), std::string("hello\0\0!", 8));
    s.SetSize(2);
    EXPECT_EQ(s.Position(), 2);
    TMemoryStream copy;
    copy.CopyFrom(s, 0);
    EXPECT_EQ(copy.ReadAll(), "he");
}
