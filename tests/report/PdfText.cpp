#include "PdfText.h"

#include <QRegularExpression>
#include <QString>
#include <array>
#include <charconv>
#include <cstdio>
#include <gtest/gtest.h>
#include <memory>

namespace zen::test {

namespace {

constexpr double kMmPerPoint = 25.4 / 72.0;

std::string Quote(const std::filesystem::path& p) {
    return "'" + p.string() + "'";
}

// Locale-independent: the tests also run under a comma locale.
double Number(const QString& captured) {
    const std::string text = captured.toStdString();
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
    // Qt's expressions rather than std::regex: GCC 12 warns inside the latter under the
    // sanitizer build.
    static const QRegularExpression tag(
        R"re(<page |<word xMin="([\d.]+)" yMin="([\d.]+)" xMax="([\d.]+)" yMax="([\d.]+)">([^<]*)</word>)re");
    std::vector<PdfWord> words;
    int page = 0;
    for (auto it = tag.globalMatch(QString::fromStdString(xml)); it.hasNext();) {
        const QRegularExpressionMatch m = it.next();
        if (!m.hasCaptured(1)) {
            ++page;
            continue;
        }
        words.push_back({page, Number(m.captured(1)) * kMmPerPoint,
                         Number(m.captured(2)) * kMmPerPoint, Number(m.captured(3)) * kMmPerPoint,
                         Number(m.captured(4)) * kMmPerPoint,
                         Unescape(m.captured(5).toStdString())});
    }
    return words;
}

int PdfPageCount(const std::filesystem::path& pdf) {
    const std::string info = RunCommand("pdfinfo " + Quote(pdf) + " 2>&1");
    static const QRegularExpression pages(R"(Pages:\s+(\d+))");
    const QRegularExpressionMatch m = pages.match(QString::fromStdString(info));
    return m.hasMatch() ? m.captured(1).toInt() : -1;
}

} // namespace zen::test
