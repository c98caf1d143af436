// The dBase reader against files written by another tool (make_fixtures.py) and against
// damaged copies of them.

#include "localtable/DbfFile.h"
#include "../transfer/TransferFile.h"
#include "support/TestSupport.h"
#include "toolkit/DateTime.h"
#include "toolkit/Exceptions.h"
#include "transfer/TransferJournal.h"

#include <gtest/gtest.h>

#include <csignal>
#include <cstdio>
#include <fstream>
#include <functional>
#include <malloc.h>
#include <sys/resource.h>
#include <sys/stat.h>
#include <vector>

namespace zen {
namespace {

std::filesystem::path Fixture(const std::string& name) {
    return test::TestDataDir() / "localtable" / "data" / name;
}

std::vector<unsigned char> ReadBytes(const std::filesystem::path& p) {
    std::ifstream in(p, std::ios::binary);
    return {std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>()};
}

void WriteBytes(const std::filesystem::path& p, const std::vector<unsigned char>& bytes) {
    std::ofstream out(p, std::ios::binary | std::ios::trunc);
    out.write(reinterpret_cast<const char*>(bytes.data()), std::streamsize(bytes.size()));
}

TDbfValue ValueOf(const TDbfFile& f, size_t record, const char* field) {
    int i = f.FieldIndex(field);
    EXPECT_GE(i, 0) << field;
    return f.Value(record, static_cast<size_t>(i));
}

class DbfTransferFile : public testing::TestWithParam<const char*> {};

// The same records written as Windows-1250 (marked and unmarked) and as DOS 852.
TEST_P(DbfTransferFile, ReadsRecordsFromTheFilesCodePageUnderACommaLocale) {
    test::ScopedLocale sl("sl_SI.UTF-8");
    ASSERT_TRUE(sl.Available());
    TDbfFile f(Fixture(GetParam()));

    ASSERT_EQ(f.RecordCount(), 3u) << "the deleted record is skipped";
    ASSERT_EQ(f.Fields().size(), 8u);
    EXPECT_EQ(f.FieldIndex("Stranka"), 0);
    EXPECT_EQ(f.FieldIndex("strac"), 4);
    EXPECT_EQ(f.FieldIndex("Missing"), -1);

    EXPECT_EQ(ValueOf(f, 0, "Stranka").Text, "Čebelarstvo Žužek");
    EXPECT_EQ(ValueOf(f, 1, "Stranka").Text, "Šola Škofja Loka");
    EXPECT_EQ(ValueOf(f, 2, "Stranka").Text, "Mlekarna Ždrale");
    EXPECT_EQ(ValueOf(f, 0, "Artikel").Text, "INT-10") << "trailing blanks trimmed";
    EXPECT_EQ(ValueOf(f, 2, "StRac").Text, "R-0004");

    EXPECT_DOUBLE_EQ(ValueOf(f, 0, "Kolicina").Number, 2.5);
    EXPECT_DOUBLE_EQ(ValueOf(f, 2, "Kolicina").Number, 100.125);
    TDbfValue cena = ValueOf(f, 0, "Cena");
    EXPECT_EQ(cena.Kind, ftFloat);
    EXPECT_FALSE(cena.IsNull);
    EXPECT_DOUBLE_EQ(cena.Number, 12.3456);
    EXPECT_TRUE(ValueOf(f, 1, "Cena").IsNull) << "a blank number is null";

    TDbfValue datum = ValueOf(f, 0, "Datum");
    EXPECT_FALSE(datum.IsNull);
    EXPECT_DOUBLE_EQ(datum.Number, EncodeDate(2024, 3, 1));
    EXPECT_TRUE(ValueOf(f, 1, "Datum").IsNull);
    EXPECT_DOUBLE_EQ(ValueOf(f, 2, "Datum").Number, EncodeDate(2024, 12, 31));

    EXPECT_EQ(ValueOf(f, 0, "Placano").Number, 1);
    EXPECT_FALSE(ValueOf(f, 1, "Placano").IsNull);
    EXPECT_EQ(ValueOf(f, 1, "Placano").Number, 0);
    EXPECT_TRUE(ValueOf(f, 2, "Placano").IsNull);

    EXPECT_EQ(ValueOf(f, 0, "Opomba").Text, "Opomba s črkami čšž ČŠŽ");
    EXPECT_TRUE(ValueOf(f, 1, "Opomba").IsNull);
    EXPECT_EQ(ValueOf(f, 2, "Opomba").Text, "druga");
}

INSTANTIATE_TEST_SUITE_P(CodePages, DbfTransferFile,
                         testing::Values("prenos.dbf", "unmarked.dbf", "oem852.dbf"));

TEST(DbfFile, KnowsTheCodePageOfItsLanguageDriver) {
    EXPECT_EQ(TDbfFile(Fixture("prenos.dbf")).CodePage(), "CP1250");
    EXPECT_EQ(TDbfFile(Fixture("unmarked.dbf")).CodePage(), "CP1250");
    EXPECT_EQ(TDbfFile(Fixture("oem852.dbf")).CodePage(), "CP852");
}

TEST(DbfFile, ReadsVisualFoxProTypesAndNullFlags) {
    TDbfFile f(Fixture("foxpro.dbf"));
    ASSERT_EQ(f.RecordCount(), 2u);
    EXPECT_EQ(f.Fields().size(), 7u) << "_NullFlags is hidden";
    EXPECT_EQ(ValueOf(f, 0, "Naziv").Text, "Žiga");
    EXPECT_EQ(ValueOf(f, 0, "Stevilo").Number, -42);
    EXPECT_EQ(ValueOf(f, 0, "Stevilo").Kind, ftInteger);
    EXPECT_DOUBLE_EQ(ValueOf(f, 1, "Dvojno").Number, -0.5);
    EXPECT_DOUBLE_EQ(ValueOf(f, 0, "Znesek").Number, 1234.5678);
    EXPECT_DOUBLE_EQ(ValueOf(f, 1, "Znesek").Number, -1);
    EXPECT_NEAR(ValueOf(f, 0, "Cas").Number, EncodeDate(2024, 5, 6) + 0.5 + 1.0 / 48, 1e-9);
    EXPECT_TRUE(ValueOf(f, 1, "Cas").IsNull);
    EXPECT_TRUE(ValueOf(f, 0, "Prazno").IsNull);
    EXPECT_EQ(ValueOf(f, 1, "Prazno").Text, "ima");
    EXPECT_EQ(ValueOf(f, 0, "Opis").Kind, ftMemo);
    EXPECT_EQ(ValueOf(f, 0, "Opis").Text.substr(0, 21), "Zapisek o Žigi: dolg");
    EXPECT_EQ(ValueOf(f, 0, "Opis").Text.size(), 16u + 1 + 5 * 40 - 1) << "blanks trimmed";
    EXPECT_TRUE(ValueOf(f, 1, "Opis").IsNull);
}

TEST(DbfFile, OpensATableWithoutRecords) {
    TDbfFile f(Fixture("empty.dbf"));
    EXPECT_EQ(f.RecordCount(), 0u);
    EXPECT_EQ(f.Fields().size(), 2u);
}

class DbfDamage : public testing::Test {
protected:
    test::TempHome home;
    std::filesystem::path Copy(const std::vector<unsigned char>& bytes) {
        auto p = home.Path() / "prenos.dbf";
        WriteBytes(p, bytes);
        return p;
    }
    std::vector<unsigned char> original = ReadBytes(Fixture("prenos.dbf"));
};

TEST_F(DbfDamage, EveryBrokenFileIsRefusedWithAMessageNamingIt) {
    auto missing = home.Path() / "nowhere" / "Prenos.DBF";
    std::string m = test::FailureOf<EInOutError>([&] { TDbfFile f(missing); });
    EXPECT_EQ(m, "Datoteka " + missing.string() + " ne obstaja.");

    // Neither a directory, a named pipe (which must not be waited on) nor a device.
    auto pipe = home.Path() / "cev.dbf";
    ASSERT_EQ(::mkfifo(pipe.c_str(), 0600), 0);
    for (const auto& notAFile : {home.Path(), pipe, std::filesystem::path("/dev/zero")}) {
        m = test::FailureOf<EInOutError>([&] { TDbfFile f(notAFile); });
        EXPECT_NE(m.find(notAFile.string() + " ni navadna datoteka"), std::string::npos) << m;
        EXPECT_TRUE(test::EnglishWords(m).empty()) << m;
    }

    auto text = Copy(std::vector<unsigned char>(100, 'x'));
    m = test::FailureOf<EDatabaseError>([&] { TDbfFile f(text); });
    EXPECT_NE(m.find(text.string()), std::string::npos) << m;
    EXPECT_EQ(m, "Datoteka " + text.string() + " ni datoteka dBase.");

    auto tiny = Copy({0x03, 0x7E});
    EXPECT_NE(test::FailureOf<EDatabaseError>([&] { TDbfFile f(tiny); }), "");

    // The header still promises four records; the last one is cut off.
    std::vector<unsigned char> cut(original.begin(), original.end() - 60);
    auto truncated = Copy(cut);
    m = test::FailureOf<EDatabaseError>([&] { TDbfFile f(truncated); });
    EXPECT_EQ(m, "Datoteka " + truncated.string() +
                     " je krajša, kot pove njena glava: zapisov po glavi 4, celih v datoteki 3.");

    // A valid version byte over garbage.
    std::vector<unsigned char> garbage(original.size());
    for (size_t i = 0; i < garbage.size(); ++i) {
        garbage[i] = static_cast<unsigned char>((i * 7919 + 13) % 251);
    }
    garbage[0] = 0x03;
    auto junk = Copy(garbage);
    m = test::FailureOf<EDatabaseError>([&] { TDbfFile f(junk); });
    EXPECT_NE(m.find(junk.string()), std::string::npos) << m;

    // Header length beyond the file, and a record length shorter than the fields.
    auto longHeader = original;
    longHeader[8] = 0xFF;
    longHeader[9] = 0x7F;
    EXPECT_NE(test::FailureOf<EDatabaseError>([&] { TDbfFile f(Copy(longHeader)); }), "");
    auto shortRecord = original;
    shortRecord[10] = 20;
    shortRecord[11] = 0;
    m = test::FailureOf<EDatabaseError>([&] { TDbfFile f(Copy(shortRecord)); });
    EXPECT_NE(m.find("field descriptors"), std::string::npos) << m;
}

TEST_F(DbfDamage, AnUnreadableValueSpoilsOnlyItsOwnReading) {
    auto bytes = original;
    // The first record's CENA: header 289 bytes, flag 1, STRANKA..KOLICINA 66 bytes.
    size_t at = 289 + 1 + 40 + 16 + 10;
    ASSERT_EQ(bytes.at(at + 5), '1');
    bytes.at(at + 7) = 'x';
    TDbfFile f(Copy(bytes));
    std::string m = test::FailureOf<EDatabaseError>([&] { ValueOf(f, 0, "Cena"); });
    EXPECT_NE(m.find("record 1, field CENA"), std::string::npos) << m;
    EXPECT_NE(m.find("not a valid number"), std::string::npos) << m;
    EXPECT_EQ(ValueOf(f, 0, "Stranka").Text, "Čebelarstvo Žužek");
    EXPECT_DOUBLE_EQ(ValueOf(f, 2, "Cena").Number, 0.5);

    // A byte that Windows-1250 leaves undefined.
    bytes.at(289 + 1 + 3) = 0x81;
    TDbfFile g(Copy(bytes));
    m = test::FailureOf<EDatabaseError>([&] { ValueOf(g, 0, "Stranka"); });
    EXPECT_NE(m.find("record 1, field STRANKA"), std::string::npos) << m;
    EXPECT_NE(m.find("CP1250"), std::string::npos) << m;
}

TEST_F(DbfDamage, AMissingMemoFileLeavesTheTableReadable) {
    TDbfFile f(Copy(original)); // no .dbt beside the copy
    EXPECT_EQ(ValueOf(f, 0, "Stranka").Text, "Čebelarstvo Žužek");
    std::string m = test::FailureOf<EDatabaseError>([&] { ValueOf(f, 0, "Opomba"); });
    EXPECT_NE(m.find("memo file is missing"), std::string::npos) << m;
}

// Every single-byte corruption of a file (and of its memo file) either opens (and then
// every value reads or raises) or raises: never a crash or a read out of bounds.
TEST_F(DbfDamage, SingleByteCorruptionsNeverCrash) {
    for (const char* name : {"prenos", "foxpro"}) {
        std::string memoExt = std::string(name) == "foxpro" ? ".fpt" : ".dbt";
        auto table = ReadBytes(Fixture(std::string(name) + ".dbf"));
        auto memo = ReadBytes(Fixture(name + memoExt));
        auto dbfPath = home.Path() / (std::string(name) + ".dbf");
        auto memoPath = home.Path() / (name + memoExt);
        size_t opened = 0;
        auto readAll = [&](const std::vector<unsigned char>& bytes) {
            try {
                TDbfFile f(dbfPath, bytes);
                ++opened;
                for (size_t r = 0; r < f.RecordCount(); ++r) {
                    for (size_t c = 0; c < f.Fields().size(); ++c) {
                        try {
                            f.Value(r, c);
                        } catch (const Exception&) {
                        }
                    }
                }
            } catch (const Exception&) {
            }
        };
        WriteBytes(memoPath, memo);
        for (size_t pos = 0; pos < table.size(); ++pos) {
            for (unsigned char b : {0x00, 0x0D, 0x2A, 0x39, 0xFF}) {
                auto bytes = table;
                bytes[pos] = b;
                readAll(bytes);
            }
        }
        // The memo file is read once per table object: damage its header and the starts
        // of its blocks, where lengths and block numbers live.
        for (size_t pos = 0; pos < memo.size(); pos += pos < 32 || pos % 64 < 8 ? 1 : 64 - 8) {
            auto bytes = memo;
            bytes[pos] = 0xFF;
            WriteBytes(memoPath, bytes);
            readAll(table);
        }
        std::filesystem::remove(memoPath);
        readAll(table);
        EXPECT_GT(opened, table.size()) << name;
    }
}

// A table of 200,000 records (18 MB), every seventh deleted from the first on, is read end to end
// and here and there in the memory of a few records, from a copy that the original's removal does
// not touch and that leaves no file behind; its hash is that of the file it was made of.
TEST_F(DbfDamage, ReadsRecordsFromAPrivateCopyInMemoryThatDoesNotGrowWithTheTable) {
    constexpr size_t kRecords = 200000;
    auto path = home.Path() / "velika.dbf";
    test::WriteDbf(path, test::TransferColumns(), {});
    std::string header = test::ReadFileBytes(path);
    header.pop_back(); // the end-of-file mark
    for (int i = 0; i < 4; ++i) {
        header[4 + size_t(i)] = char(kRecords >> (8 * i) & 0xFF);
    }
    {
        std::ofstream out(path, std::ios::binary | std::ios::trunc);
        out << header;
        char record[90];
        for (size_t i = 0; i < kRecords; ++i) {
            std::snprintf(record, sizeof record, "%c%-40s%-16s%10.3f%12.4f%-10zu",
                          i % 7 == 0 ? '*' : ' ', ("KUPEC " + std::to_string(i)).c_str(), "ADSL",
                          1.5, 2.25, i);
            out.write(record, 89);
        }
    }
    const std::string hash = TransferFileHash(path);
    auto heapInUse = [] {
        struct mallinfo2 m = mallinfo2();
        return double(m.uordblks + m.hblkhd);
    };
    // The physical record behind the n-th live one.
    auto physical = [](size_t n) { return n / 6 * 7 + n % 6 + 1; };
    const auto homeBefore = std::distance(std::filesystem::directory_iterator(home.Path()), {});

    const double before = heapInUse();
    TDbfFile f(path);
    EXPECT_LT(heapInUse() - before, 512 * 1024) << "bytes held after opening";
    ASSERT_EQ(f.RecordCount(), kRecords - (kRecords + 6) / 7);
    EXPECT_EQ(f.ContentHash(), hash);
    const size_t strac = size_t(f.FieldIndex("StRac"));
    for (size_t r = 0; r < f.RecordCount(); ++r) {
        if (f.Value(r, strac).Text != std::to_string(physical(r))) {
            FAIL() << "record " << r << ": " << f.Value(r, strac).Text;
        }
    }
    EXPECT_LT(heapInUse() - before, 512 * 1024) << "bytes held after reading every record";

    std::filesystem::remove(path);
    EXPECT_EQ(std::distance(std::filesystem::directory_iterator(home.Path()), {}), homeBefore - 1)
        << "the copy has no name";
    for (size_t r : {f.RecordCount() - 1, size_t(0), size_t(123456), size_t(4097), size_t(4096)}) {
        EXPECT_EQ(f.Value(r, strac).Text, std::to_string(physical(r))) << r;
        EXPECT_EQ(ValueOf(f, r, "Stranka").Text, "KUPEC " + std::to_string(physical(r))) << r;
    }
    EXPECT_DOUBLE_EQ(ValueOf(f, 99999, "Cena").Number, 2.25);
}

// The private copy holds the header, the records the header announces and the end mark, no
// more: a long tail that is no record (sparse, or records still being appended) is neither
// copied nor hashed, so it costs neither time nor the home's space.
TEST_F(DbfDamage, TheCopyEndsWithTheRecordsTheHeaderAnnounces) {
    const auto clean = home.Path() / "cist.dbf";
    test::WriteDbf(clean, test::TransferColumns(),
                   {{"KUPEC 1", "ADSL", "1", "2.5", "1"}, {"KUPEC 2", "TV", "2", "3", "2"}});
    const std::string bytes = test::ReadFileBytes(clean);
    ASSERT_EQ(bytes.back(), '\x1A');
    const std::string cleanHash = TDbfFile(clean).ContentHash();

    // A sparse tail of 64 MiB behind the end mark.
    const auto sparse = home.Path() / "rep.dbf";
    std::filesystem::copy_file(clean, sparse);
    std::filesystem::resize_file(sparse, bytes.size() + (size_t(64) << 20));
    TDbfFile tailed(sparse);
    EXPECT_EQ(tailed.RecordCount(), 2u);
    EXPECT_EQ(tailed.ContentHash(), cleanHash);

    // Records appended after the header was written, which it does not announce yet.
    const auto unmarked = home.Path() / "brez-oznake.dbf";
    WriteBytes(unmarked, std::vector<unsigned char>(bytes.begin(), bytes.end() - 1));
    const std::string unmarkedHash = TDbfFile(unmarked).ContentHash();
    const auto growing = home.Path() / "raste.dbf";
    std::string appended = bytes.substr(0, bytes.size() - 1);
    const size_t recordLength =
        static_cast<unsigned char>(bytes[10]) | size_t{static_cast<unsigned char>(bytes[11])} << 8;
    appended += std::string(3 * recordLength, ' ');
    WriteBytes(growing, std::vector<unsigned char>(appended.begin(), appended.end()));
    TDbfFile grown(growing);
    EXPECT_EQ(grown.RecordCount(), 2u);
    EXPECT_EQ(grown.ContentHash(), unmarkedHash);

    // A copy that does not fit (here a file size limit of 1 KiB) is refused in Slovene,
    // naming the file and where it was to go.
    const auto big = home.Path() / "velika.dbf";
    std::vector<std::vector<std::string>> records(40, {"KUPEC", "ADSL", "1", "2.5", "1"});
    test::WriteDbf(big, test::TransferColumns(), records);
    const test::TChildCall call = test::CallInChild([&] {
        std::signal(SIGXFSZ, SIG_IGN);
        const rlimit size{1024, 1024};
        ::setrlimit(RLIMIT_FSIZE, &size);
        TDbfFile f(big);
        return std::string("prepisana");
    });
    ASSERT_TRUE(call.ended);
    EXPECT_NE(call.text.find(big.string()), std::string::npos) << call.text;
    EXPECT_NE(call.text.find(home.Path().string()), std::string::npos) << call.text;
    // Ours up to the system's reason, which speaks the locale's language.
    EXPECT_TRUE(test::EnglishWords(call.text.substr(0, call.text.rfind(": "))).empty())
        << call.text;
}

} // namespace
} // namespace zen
