#include "PdfText.h"

#include <array>
#include <charconv>
#include <cstdio>
#include <gtest/gtest.h>
#include <memory>
#include <regex>

namespace zen::test {

namespace {

constexpr double kMmPerPoint = 25.4 / 72.0;

std::string Quote(const std::filesystem::path& p) {
    return "'" + p.string() + "'";
}

// Locale-independent: the tests also run under a comma locale.
double Number(const std::ssub_match& m) {
    const std::string text = m.str();
    double value = 0;
    std::from_chars(text.data(), text.data() + text.size(), value);
    return value;
}

std::string Unescape(std::string s) {
    static const std::array<std::pair<const char*, const char*>, 5> entities{
        {{"&lt;", "<"}, {"&gt;", ">"}, {"&quot;", "\""}, {"&apos;", "'"}, {"&amp;", "&"}}};
    for (auto [from, to] : entities) {
        for (size_t at = s.find(from); at != std::string::npos; at = s.find(from, at + 1)) {
            s.replace(at, std::char_traits<char>::length(from), to);
        }
    }
    return s;
}

} // namespace

std::string RunCommand(const std::string& command) {
    std::unique_ptr<FILE, int (*)(FILE*)> pipe(popen(command.c_str(), "r"), pclose);
    if (!pipe) {
        ADD_FAILURE() << "cannot run " << command;
        return {};
    }
    std::string out;
    std::array<char, 4096> buf;
    size_t n;
    while ((n = fread(buf.data(), 1, buf.size(), pipe.get())) > 0) {
        out.append(buf.data(), n);
    }
    return out;
}

std::vector<PdfWord> ReadPdfWords(const std::filesystem::path& pdf) {
    const std::string xml = RunCommand("pdftotext -bbox -enc UTF-8 " + Quote(pdf) + " - 2>&1");
    static const std::regex tag(
        R"re(<page |<word xMin="([\d.]+)" yMin="([\d.]+)" xMax="([\d.]+)" yMax="([\d.]+)">([^<]*)</word>)re");
    std::vector<PdfWord> words;
    int page = 0;
    for (std::sregex_iterator it(xml.begin(), xml.end(), tag), end; it != end; ++it) {
        const std::smatch& m = *it;
        if (!m[1].matched) {
            ++page;
            continue;
        }
        words.push_back({page, Number(m[1]) * kMmPerPoint, Number(m[2]) * kMmPerPoint,
                         Number(m[3]) * kMmPerPoint, Number(m[4]) * kMmPerPoint, Unescape(m[5])});
    }
    return words;
}

int PdfPageCount(const std::filesystem::path& pdf) {
    const std::string info = RunCommand("pdfinfo " + Quote(pdf) + " 2>&1");
    std::smatch m;
    static const std::regex pages(R"(Pages:\s+(\d+))");
    return std::regex_search(info, m, pages) ? std::stoi(m[1]) : -1;
}

} // namespace zen::test
