#include "toolkit/NumberText.h"

#include "toolkit/Text.h"

#include <charconv>

namespace zen {

namespace {

bool IsDigit(char c) {
    return c >= '0' && c <= '9';
}

size_t SkipDigits(std::string_view s, size_t& i) {
    const size_t start = i;
    while (i < s.size() && IsDigit(s[i])) {
        ++i;
    }
    return i - start;
}

// Digits with an optional point and fraction, one digit at least, an optional exponent.
bool IsUnsignedDecimal(std::string_view s) {
    size_t i = 0;
    size_t digits = SkipDigits(s, i);
    if (i < s.size() && s[i] == '.') {
        ++i;
        digits += SkipDigits(s, i);
    }
    if (digits == 0) {
        return false;
    }
    if (i < s.size() && (s[i] == 'e' || s[i] == 'E')) {
        ++i;
        if (i < s.size() && (s[i] == '+' || s[i] == '-')) {
            ++i;
        }
        if (SkipDigits(s, i) == 0) {
            return false;
        }
    }
    return i == s.size();
}

bool IsNonFiniteName(std::string_view s) {
    return SameName(s, "nan") || SameName(s, "inf") || SameName(s, "infinity");
}

} // namespace

bool ParseDecimal(std::string_view text, double& out, TNonFinite nonFinite) {
    std::string_view body = text;
    const bool negative = !body.empty() && body.front() == '-';
    if (!body.empty() && (body.front() == '+' || body.front() == '-')) {
        body.remove_prefix(1);
    }
    if (!IsUnsignedDecimal(body) && !(nonFinite == TNonFinite::Accepted && IsNonFiniteName(body))) {
        return false;
    }
    double v = 0;
    const auto [end, ec] = std::from_chars(body.data(), body.data() + body.size(), v);
    if (ec != std::errc() || end != body.data() + body.size()) {
        return false;
    }
    out = negative ? -v : v;
    return true;
}

bool ParseInteger(std::string_view text, int64_t& out) {
    const bool signed_ = !text.empty() && (text.front() == '+' || text.front() == '-');
    if (text.size() <= (signed_ ? 1u : 0u) || !IsDigit(text[signed_ ? 1 : 0])) {
        return false;
    }
    // from_chars takes a "-" (the lowest value needs it) but no "+".
    if (text.front() == '+') {
        text.remove_prefix(1);
    }
    int64_t v = 0;
    const auto [end, ec] = std::from_chars(text.data(), text.data() + text.size(), v);
    if (ec != std::errc() || end != text.data() + text.size()) {
        return false;
    }
    out = v;
    return true;
}

} // namespace zen
