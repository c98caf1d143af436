// dBase files as other programs write them: names and bytes that the transfer files of the
// billing system never hold. The files are built byte by byte here, so that each test shows
// the one thing it is about.

#include "localtable/CodePage.h"
#include "localtable/DbfFile.h"
#include "localtable/Table.h"
#include "support/TestSupport.h"
#include "toolkit/Exceptions.h"

#include <gtest/gtest.h>

#include <fstream>
#include <functional>

namespace zen {
namespace {

struct FieldSpec {
    std::string name; // raw bytes of the name
    char type;
    unsigned char size;
};

// A dBase III table: its header, the descriptors, and each record's raw bytes behind a
// live deletion flag.
std::filesystem::path WriteDbf(const std::filesystem::path& path, unsigned char languageDriver,
                               const std::vector<FieldSpec>& fields,
                               const std::vector<std::string>& records) {
    size_t recordLength = 1;
    for (const FieldSpec& f : fields) {
        recordLength += f.size;
    }
    size_t headerLength = 32 + 32 * fields.size() + 1;
    std::string bytes(32, '\0');
    bytes[0] = 0x03;
    bytes[1] = 124, bytes[2] = 5, bytes[3] = 6;
    bytes[4] = static_cast<char>(records.size());
    bytes[8] = static_cast<char>(headerLength & 0xFF);
    bytes[9] = static_cast<char>(headerLength >> 8);
    bytes[10] = static_cast<char>(recordLength & 0xFF);
    bytes[11] = static_cast<char>(recordLength >> 8);
    bytes[29] = static_cast<char>(languageDriver);
    for (const FieldSpec& f : fields) {
        std::string d(32, '\0');
        d.replace(0, f.name.size(), f.name);
        d[11] = f.type;
        d[16] = static_cast<char>(f.size);
        bytes += d;
    }
    bytes += '\x0D';
    for (const std::string& r : records) {
        EXPECT_EQ(r.size() + 1, recordLength);
        bytes += ' ' + r;
    }
    bytes += '\x1A';
    std::ofstream(path, std::ios::binary).write(bytes.data(), std::streamsize(bytes.size()));
    return path;
}

class DbfForeign : public testing::Test {
protected:
    test::TempHome home;
};

TEST_F(DbfForeign, ARefusedFileIsNamedWithTheReason) {
    // 0x81 is no character of Windows-1250.
    auto path = WriteDbf(home.Path() / "imena.dbf", 0xC8, {{"NAZIV", 'C', 4}, {"X\x81Y", 'C', 4}},
                         {"abcdefgh"});
    std::string m = test::FailureOf<EDatabaseError>([&] { TDbfFile f(path); });
    EXPECT_NE(m.find(path.string()), std::string::npos) << m;
    EXPECT_NE(m.find("name of field 2 is not valid in code page CP1250"), std::string::npos) << m;

    TTable t;
    t.SetTableName(path.string());
    m = test::FailureOf<EDatabaseError>([&] { t.Open(); });
    EXPECT_NE(m.find(path.string()), std::string::npos) << m;
    EXPECT_FALSE(t.Active());
}

// A repeated name is no reason to refuse a file that exists: the later field is read under a
// name of its own, the same through the reader and through TTable.
TEST_F(DbfForeign, RepeatedFieldNamesAreReadUnderNamesOfTheirOwn) {
    auto path = WriteDbf(
        home.Path() / "tocke.dbf", 0x57,
        {{"POINT_ID", 'C', 3}, {"A", 'C', 1}, {"Point_ID", 'C', 3}, {"A", 'C', 1}, {"A_2", 'C', 1}},
        {"P01xP02yz", "P03uP04vw"});
    TDbfFile f(path);
    std::vector<std::string> names;
    for (const TDbfField& field : f.Fields()) {
        names.push_back(field.Name);
    }
    EXPECT_EQ(names, (std::vector<std::string>{"POINT_ID", "A", "Point_ID_2", "A_3", "A_2"}));
    EXPECT_EQ(f.Value(0, size_t(f.FieldIndex("point_id_2"))).Text, "P02");

    TTable t;
    t.SetTableName(path.string());
    t.Open();
    t.First();
    EXPECT_EQ(t.FieldByName("Point_ID")->AsString(), "P01");
    EXPECT_EQ(t.FieldByName("Point_ID_2")->AsString(), "P02");
    EXPECT_EQ(t.FieldByName("A_3")->AsString(), "y");
    EXPECT_EQ(t.FieldByName("A_2")->AsString(), "z");
    t.Next();
    EXPECT_EQ(t.FieldByName("Point_ID_2")->AsString(), "P04");
}

TEST_F(DbfForeign, EveryLanguageDriverWeKnowOpensOnThisMachine) {
    for (int driver = 0; driver < 256; ++driver) {
        std::string codePage = DbfLanguageDriverCodePage(static_cast<unsigned char>(driver));
        if (!codePage.empty()) {
            EXPECT_NO_THROW(TCodePageDecoder d(codePage)) << driver << " " << codePage;
        }
    }
    // Greek Macintosh, which iconv does not know.
    auto path =
        WriteDbf(home.Path() / "grski.dbf", 0x98, {{"MESTO", 'C', 6}}, {"\xB0\xF5\xDC\xEE\xE1!"});
    TDbfFile f(path);
    EXPECT_EQ(f.Value(0, 0).Text, "Αθήνα!");
    TCodePageDecoder greek(f.CodePage());
    std::string upper;
    for (int b = 0x80; b < 0x100; ++b) {
        upper += static_cast<char>(b);
    }
    EXPECT_EQ(greek.Decode(upper).substr(0, 6), "Ä¹²");
    EXPECT_EQ(greek.Decode("\xFE\xFF"), "ΰ\u00AD");
}

// NUL bytes are padding, not characters: the reader and TTable read the same text.
TEST_F(DbfForeign, NulBytesInATextAreDroppedAlikeByTheReaderAndTTable) {
    using namespace std::string_literals;
    auto path = WriteDbf(home.Path() / "nul.dbf", 0x57, {{"KODA", 'C', 6}},
                         {"\0ABC  "s, "\0\0\0\0\0\0"s, "A\0B\0\0\0"s, "\xC8  \0  "s});
    const std::vector<std::string> expected = {"ABC", "", "AB", "Č"};
    TDbfFile f(path);
    TTable t;
    t.SetTableName(path.string());
    t.Open();
    t.First();
    for (size_t r = 0; r < expected.size(); ++r, t.Next()) {
        EXPECT_EQ(f.Value(r, 0).Text, expected[r]) << r;
        EXPECT_EQ(t.FieldByName("KODA")->AsString(), expected[r]) << r;
    }
    EXPECT_TRUE(f.Value(1, 0).IsNull);
}

} // namespace
} // namespace zen
