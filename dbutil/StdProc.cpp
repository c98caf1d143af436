#include "dbutil/StdProc.h"

#include "dbutil/Guarded.h"
#include "dbutil/IniFile.h"
#include "toolkit/Exceptions.h"

#include <cmath>

namespace zen {

namespace {

double g_roundStep = 0.0;

} // namespace

std::string DateToStrSQL(TDateTime value) {
    return Guarded<std::string>("DateToStrSQL", std::string(), [&] {
        // Picking the digits by position keeps month/day/year with "/" whatever separator
        // the locale puts between them.
        std::string s = FormatDateTime("mm/dd/yy", value);
        if (s.size() < 8) {
            throw EConvertError("Invalid date " + s);
        }
        return s.substr(0, 2) + "/" + s.substr(3, 2) + "/" + s.substr(6, 2);
    });
}

std::string ChangeCharacter(const std::string& text, char oldChar, char newChar) {
    return Guarded<std::string>("ChangeCharacter", std::string(), [&] {
        std::string out = text;
        for (char& c : out) {
            if (c == oldChar) {
                c = newChar;
            }
        }
        return out;
    });
}

std::string SqlQuoted(std::string_view text) {
    std::string out;
    out.reserve(text.size() + 2);
    out += '\'';
    for (char c : text) {
        out += c;
        if (c == '\'') {
            out += '\'';
        }
    }
    out += '\'';
    return out;
}

void SetRoundStep(double step) {
    g_roundStep = step;
}

double RoundStep() {
    return g_roundStep;
}

Currency RoundT(Currency value) {
    return Guarded<Currency>("RoundT", Currency(), [&] {
        if (value.Raw() == 0) {
            return Currency();
        }
        long double step = g_roundStep;
        if (step == 0.0L) {
            throw EZeroDivide("Floating point division by zero");
        }
        long double a = std::fabs(value.ToLongDouble());
        // 0.55555555 rather than 0.5: a remainder of 0.44444445 step already rounds up.
        long double n = std::trunc(a / step + 0.55555555L);
        long double result = n * step;
        return Currency::FromDouble(value.Raw() < 0 ? -result : result);
    });
}

double DivT(double x, double y) {
    return Guarded<double>("DivT", 0.0, [&] { return y == 0.0 ? 0.0 : x / y; });
}

TVariant LesserOf(const TVariant& x, const TVariant& y) {
    return Guarded<TVariant>("Max", TVariant(), [&] { return VarCompare(x, y) <= 0 ? x : y; });
}

std::string GetStringFromIniFile(const std::string& section, const std::string& key,
                                 const std::string& defaultValue) {
    return Guarded<std::string>("GetStringFromIniFile", std::string(), [&] {
        if (section.empty() || key.empty()) {
            return std::string();
        }
        return SettingsFile().ReadString(section, key, defaultValue);
    });
}

void WriteStringToIniFile(const std::string& section, const std::string& key,
                          const std::string& value) {
    Guarded<bool>("WriteStringToIniFile", false, [&] {
        if (!section.empty() && !key.empty()) {
            SettingsFile().WriteString(section, key, value);
        }
        return true;
    });
}

} // namespace zen
