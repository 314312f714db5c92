#pragma once

#include <cstdint>
#include <string>

// A calendar date value: days since 1899-12-30 00:00 with the time of day as the
// fraction, plus a status, as the platform's date type holds it.
enum class DateStatus { kValid = 0, kInvalid = 1, kNull = 2 };

struct DateValue {
    double value = 0.0;
    DateStatus status = DateStatus::kValid;
};

struct CalendarFields {
    int year = 0;
    int month = 0; // 1-12
    int day = 0;
    int hour = 0;
    int minute = 0;
    int second = 0;
    int dayOfWeek = 0; // 0 = Sunday
    int dayOfYear = 0; // 1-366
};

// Seconds since 1970-01-01 00:00:00 UTC.
int64_t CurrentTime();
// Days from 1970-01-01 to the given proleptic Gregorian date (negative before it).
int64_t DaysFromCivil(int64_t year, unsigned month, unsigned day);
// The local calendar fields of a time point as a date value; invalid when the local
// conversion fails or the year is outside 100-9999.
DateValue DateFromTimePoint(int64_t seconds);
// Valid only when the fields name a real date and time (so 2009-02-29 or hour 24 are invalid).
DateValue DateFromFields(int year, int month, int day, int hour, int minute, int second);
// The calendar fields of a valid date value; false for a non-valid status or a value
// outside the years 100-9999.
bool SplitDate(const DateValue& date, CalendarFields& fields);
// A date value formatted by a strftime pattern (local time, at most 256 characters).
// Null gives "", invalid gives "Invalid DateTime" (or the module's string 0xD800).
std::wstring FormatTime(const DateValue& date, const std::wstring& pattern);
// The current local time formatted by a pattern.
std::wstring FormatNow(const std::wstring& pattern);
// An ISO 8601 / RFC 3339 date ("2026-12-06T10:00:00+08:00", "2026-12-06", fractions and
// "Z" allowed) as the RFC 822 text of the same moment in GMT ("Sun, 06 Dec 2026 02:00:00
// GMT"); empty when the text is not such a date.
std::string Rfc822FromIso8601(const std::string& text);
