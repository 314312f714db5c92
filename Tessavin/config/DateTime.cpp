#include "config/DateTime.h"

#include "platform/ResourceModule.h"

#include <cmath>
#include <cstring>
#include <ctime>
#include <cwchar>
#include <string_view>

namespace {

const int64_t kDaysFrom1899To1970 = 25569; // 1899-12-30 .. 1970-01-01
const unsigned kInvalidDateStringId = 0xD800;

bool IsLeap(int64_t y) {
    return (y % 4 == 0 && y % 100 != 0) || y % 400 == 0;
}

int DaysInMonth(int64_t y, int m) {
    static const int days[] = {31, 28, 31, 30, 31, 30, 31, 31, 30, 31, 30, 31};
    return m == 2 && IsLeap(y) ? 29 : days[m - 1];
}

void CivilFromDays(int64_t z, int64_t& y, unsigned& m, unsigned& d) {
    z += 719468;
    const int64_t era = (z >= 0 ? z : z - 146096) / 146097;
    const unsigned doe = static_cast<unsigned>(z - era * 146097);
    const unsigned yoe = (doe - doe / 1460 + doe / 36524 - doe / 146096) / 365;
    y = static_cast<int64_t>(yoe) + era * 400;
    const unsigned doy = doe - (365 * yoe + yoe / 4 - yoe / 100);
    const unsigned mp = (5 * doy + 2) / 153;
    d = doy - (153 * mp + 2) / 5 + 1;
    m = mp < 10 ? mp + 3 : mp - 9;
    if (m <= 2)
        ++y;
}

DateValue Invalid() {
    DateValue v;
    v.status = DateStatus::kInvalid;
    return v;
}

} // namespace

int64_t CurrentTime() {
    return static_cast<int64_t>(std::time(nullptr));
}

int64_t DaysFromCivil(int64_t y, unsigned m, unsigned d) {
    y -= m <= 2;
    const int64_t era = (y >= 0 ? y : y - 399) / 400;
    const unsigned yoe = static_cast<unsigned>(y - era * 400);
    const unsigned doy = (153 * (m > 2 ? m - 3 : m + 9) + 2) / 5 + d - 1;
    const unsigned doe = yoe * 365 + yoe / 4 - yoe / 100 + doy;
    return era * 146097 + static_cast<int64_t>(doe) - 719468;
}

DateValue DateFromFields(int year, int month, int day, int hour, int minute, int second) {
    if (year < 100 || year > 9999 || month < 1 || month > 12 || day < 1 ||
        day > DaysInMonth(year, month) || hour < 0 || hour > 23 || minute < 0 || minute > 59 ||
        second < 0 || second > 59)
        return Invalid();
    int64_t days = DaysFromCivil(year, static_cast<unsigned>(month), static_cast<unsigned>(day)) +
                   kDaysFrom1899To1970;
    double fraction = (hour * 3600 + minute * 60 + second) / 86400.0;
    DateValue v;
    // Before the epoch day the fraction is counted away from zero, as the platform does.
    v.value =
        days >= 0 ? static_cast<double>(days) + fraction : static_cast<double>(days) - fraction;
    v.status = DateStatus::kValid;
    return v;
}

DateValue DateFromTimePoint(int64_t seconds) {
    std::time_t t = static_cast<std::time_t>(seconds);
    std::tm local{};
    if (!localtime_r(&t, &local))
        return Invalid();
    return DateFromFields(local.tm_year + 1900, local.tm_mon + 1, local.tm_mday, local.tm_hour,
                          local.tm_min, local.tm_sec);
}

bool SplitDate(const DateValue& date, CalendarFields& fields) {
    if (date.status != DateStatus::kValid || !std::isfinite(date.value))
        return false;
    // Range of the platform's date type: years 100 to 9999.
    if (date.value < -657434.0 || date.value >= 2958466.0)
        return false;
    double whole = std::trunc(date.value);
    double fraction = std::fabs(date.value - whole);
    int64_t days = static_cast<int64_t>(whole);
    int64_t secs = static_cast<int64_t>(std::llround(fraction * 86400.0));
    if (secs >= 86400) {
        secs -= 86400;
        days += date.value >= 0 ? 1 : -1;
    }
    int64_t y;
    unsigned m, d;
    CivilFromDays(days - kDaysFrom1899To1970, y, m, d);
    if (y < 100 || y > 9999)
        return false;
    fields.year = static_cast<int>(y);
    fields.month = static_cast<int>(m);
    fields.day = static_cast<int>(d);
    fields.hour = static_cast<int>(secs / 3600);
    fields.minute = static_cast<int>((secs / 60) % 60);
    fields.second = static_cast<int>(secs % 60);
    int64_t epochDays = days - kDaysFrom1899To1970;
    fields.dayOfWeek = static_cast<int>(((epochDays % 7) + 7 + 4) % 7); // 1970-01-01: Thursday
    fields.dayOfYear = static_cast<int>(epochDays - DaysFromCivil(y, 1, 1)) + 1;
    return true;
}

std::wstring FormatTime(const DateValue& date, const std::wstring& pattern) {
    if (date.status == DateStatus::kNull)
        return std::wstring();
    CalendarFields f;
    if (date.status != DateStatus::kValid || !SplitDate(date, f)) {
        std::wstring text;
        const platform::ResourceModule* resources = platform::ResourceModule::Active();
        if (resources && resources->LoadString(kInvalidDateStringId, text))
            return text;
        return L"Invalid DateTime";
    }
    std::tm tm{};
    tm.tm_year = f.year - 1900;
    tm.tm_mon = f.month - 1;
    tm.tm_mday = f.day;
    tm.tm_hour = f.hour;
    tm.tm_min = f.minute;
    tm.tm_sec = f.second;
    tm.tm_wday = f.dayOfWeek;
    tm.tm_yday = f.dayOfYear - 1;
    tm.tm_isdst = 0;
    wchar_t buffer[256];
    size_t n = std::wcsftime(buffer, 256, pattern.c_str(), &tm);
    return std::wstring(buffer, n);
}

std::wstring FormatNow(const std::wstring& pattern) {
    return FormatTime(DateFromTimePoint(CurrentTime()), pattern);
}

namespace {

// Reads `count` digits at text[pos]; false when any is not a digit.
bool Digits(std::string_view text, size_t pos, size_t count, int& value) {
    if (pos + count > text.size())
        return false;
    value = 0;
    for (size_t i = pos; i < pos + count; ++i) {
        if (text[i] < '0' || text[i] > '9')
            return false;
        value = value * 10 + (text[i] - '0');
    }
    return true;
}

// Writes a number below 10^width as exactly `width` decimal digits, zeros leading.
void PutDigits(char* out, int64_t value, int width) {
    for (int i = width - 1; i >= 0; --i) {
        out[i] = static_cast<char>('0' + value % 10);
        value /= 10;
    }
}

} // namespace

std::string Rfc822FromIso8601(const std::string& raw) {
    const size_t first = raw.find_first_not_of(" \t\r\n");
    const size_t last = raw.find_last_not_of(" \t\r\n");
    if (first == std::string::npos)
        return std::string();
    const std::string_view text = std::string_view(raw).substr(first, last - first + 1);
    int year, month, day, hour = 0, minute = 0, second = 0;
    if (!Digits(text, 0, 4, year) || text.size() < 10 || text[4] != '-' || text[7] != '-' ||
        !Digits(text, 5, 2, month) || !Digits(text, 8, 2, day))
        return std::string();
    size_t pos = 10;
    int offsetMinutes = 0;
    if (pos < text.size()) {
        // "T" (or a blank) and the time: HH:MM, optional :SS and a fraction, then the zone.
        if ((text[pos] != 'T' && text[pos] != 't' && text[pos] != ' ') ||
            !Digits(text, pos + 1, 2, hour) || text.size() < pos + 6 || text[pos + 3] != ':' ||
            !Digits(text, pos + 4, 2, minute))
            return std::string();
        pos += 6;
        if (pos < text.size() && text[pos] == ':') {
            if (!Digits(text, pos + 1, 2, second))
                return std::string();
            pos += 3;
            if (pos < text.size() && (text[pos] == '.' || text[pos] == ',')) {
                ++pos;
                while (pos < text.size() && text[pos] >= '0' && text[pos] <= '9')
                    ++pos;
            }
        }
        if (pos < text.size() && (text[pos] == 'Z' || text[pos] == 'z')) {
            ++pos;
        } else if (pos < text.size() && (text[pos] == '+' || text[pos] == '-')) {
            int zoneHours, zoneMinutes = 0;
            const int sign = text[pos] == '-' ? -1 : 1;
            if (!Digits(text, pos + 1, 2, zoneHours))
                return std::string();
            pos += 3;
            if (pos < text.size() && text[pos] == ':')
                ++pos;
            if (pos < text.size() && !Digits(text, pos, 2, zoneMinutes))
                return std::string();
            if (pos < text.size())
                pos += 2;
            if (zoneHours > 23 || zoneMinutes > 59)
                return std::string();
            offsetMinutes = sign * (zoneHours * 60 + zoneMinutes);
        }
        if (pos != text.size())
            return std::string();
    }
    if (year < 1 || month < 1 || month > 12 || day < 1 || day > DaysInMonth(year, month) ||
        hour > 23 || minute > 59 || second > 60)
        return std::string();
    if (second == 60)
        second = 59; // a leap second shows as the second before it
    // The local time of the text minus its offset is the time in UTC.
    int64_t seconds =
        DaysFromCivil(year, static_cast<unsigned>(month), static_cast<unsigned>(day)) * 86400 +
        hour * 3600 + minute * 60 + second - offsetMinutes * 60;
    int64_t days = seconds >= 0 ? seconds / 86400 : (seconds - 86399) / 86400;
    const int64_t inDay = seconds - days * 86400;
    int64_t y;
    unsigned m, d;
    CivilFromDays(days, y, m, d);
    if (y < 1 || y > 9999)
        return std::string();
    static const char* const kDays[] = {"Thu", "Fri", "Sat", "Sun", "Mon", "Tue", "Wed"};
    static const char* const kMonths[] = {"Jan", "Feb", "Mar", "Apr", "May", "Jun",
                                          "Jul", "Aug", "Sep", "Oct", "Nov", "Dec"};
    const int64_t weekday = ((days % 7) + 7) % 7; // 1970-01-01 was a Thursday
    // The fields written over a template; the year is 1-9999, so four digits always do.
    char out[] = "Www, DD Mmm YYYY HH:MM:SS GMT";
    std::memcpy(out, kDays[weekday], 3);
    PutDigits(out + 5, d, 2);
    std::memcpy(out + 8, kMonths[m - 1], 3);
    PutDigits(out + 12, y, 4);
    PutDigits(out + 17, inDay / 3600, 2);
    PutDigits(out + 20, inDay / 60 % 60, 2);
    PutDigits(out + 23, inDay % 60, 2);
    return std::string(out, sizeof out - 1);
}
