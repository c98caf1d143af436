#pragma once
// Date-time values: days since 30 December 1899 as a double, the fraction being the time
// of day. Also the locale's date and number formats, read once from the C locale.

#include <cstdint>
#include <string>
#include <string_view>

namespace zen {

using TDateTime = double;

struct TFormatSettings {
    // Pattern in the toolkit's own letters: d dd m mm yy yyyy h hh n nn s ss z zzz, "/" for
    // the date separator, ":" for the time separator, text in quotes taken as it stands.
    std::string ShortDateFormat = "mm/dd/yy";
    std::string LongTimeFormat = "hh:nn:ss";
    char DateSeparator = '/';
    char TimeSeparator = ':';
    char DecimalSeparator = '.';
    // A two-digit year is placed within this many years of the current year.
    int TwoDigitYearCenturyWindow = 50;
};

// The process's format settings. InitFormatSettingsFromLocale() fills them from the
// C library's current locale (LC_TIME date format, LC_NUMERIC decimal point).
TFormatSettings& FormatSettings();
void InitFormatSettingsFromLocale();
// Fills them with the Slovene conventions ("20. 12. 2026", "66,74"), which the operators
// read and type whatever locale the system was installed with (often C.UTF-8).
void InitSloveneFormatSettings();
// Turns a strftime date format ("%d. %m. %Y") into the toolkit's pattern ("dd. mm. yyyy")
// and the date separator it uses.
void ShortDateFormatFromStrftime(const std::string& fmt, std::string& pattern, char& separator);

bool IsLeapYear(int year);
int DaysInMonth(int year, int month);
bool TryEncodeDate(int year, int month, int day, TDateTime& out);
TDateTime EncodeDate(int year, int month, int day); // EConvertError when invalid
bool TryEncodeTime(int hour, int min, int sec, int msec, TDateTime& out);
TDateTime EncodeTime(int hour, int min, int sec, int msec); // EConvertError when invalid
void DecodeDate(TDateTime dt, int& year, int& month, int& day);
void DecodeTime(TDateTime dt, int& hour, int& min, int& sec, int& msec);
int DayOfWeek(TDateTime dt); // 1 = Sunday ... 7 = Saturday

TDateTime Now();
TDateTime Date();

std::string FormatDateTime(const std::string& pattern, TDateTime dt,
                           const TFormatSettings& fs = FormatSettings());
std::string DateToStr(TDateTime dt, const TFormatSettings& fs = FormatSettings());
std::string DateTimeToStr(TDateTime dt, const TFormatSettings& fs = FormatSettings());
// Reads a date typed in the short date format; EConvertError "'<text>' is not a valid
// date" when it cannot. A time after the date is accepted.
TDateTime StrToDate(const std::string& text, const TFormatSettings& fs = FormatSettings());
bool TryStrToDate(const std::string& text, TDateTime& out,
                  const TFormatSettings& fs = FormatSettings());

// The text form of SQLite's date functions, "YYYY-MM-DD HH:MM:SS.SSS", which readers of a
// database file show as a date-time.
std::string DateTimeToIso(TDateTime dt);
// Reads "YYYY-MM-DD", optionally followed by a blank or "T" and "HH:MM", ":SS" and a
// fraction of a second; false for any other text.
bool TryIsoToDateTime(std::string_view text, TDateTime& out);

} // namespace zen
