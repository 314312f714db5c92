#include "config/DateTime.h"
#include "ScopedEnv.h"

#include <gtest/gtest.h>

TEST(DateTime, CalendarFieldsAreCheckedByRoundTrip) {
    EXPECT_EQ(DateFromFields(2009, 2, 29, 0, 0, 0).status, DateStatus::kInvalid);
    EXPECT_EQ(DateFromFields(2008, 2, 29, 0, 0, 0).status, DateStatus::kValid);
    EXPECT_EQ(DateFromFields(2000, 2, 29, 0, 0, 0).status, DateStatus::kValid);
    EXPECT_EQ(DateFromFields(1900, 2, 29, 0, 0, 0).status, DateStatus::kInvalid);
    EXPECT_EQ(DateFromFields(2024, 1, 1, 24, 0, 0).status, DateStatus::kInvalid);
    EXPECT_EQ(DateFromFields(2024, 2, 31, 0, 0, 0).status, DateStatus::kInvalid);
    DateValue epoch = DateFromFields(1970, 1, 1, 0, 0, 0);
    EXPECT_DOUBLE_EQ(epoch.value, 25569.0);
    EXPECT_DOUBLE_EQ(DateFromFields(1899, 12, 30, 12, 0, 0).value, 0.5);
    EXPECT_DOUBLE_EQ(DateFromFields(1899, 12, 29, 6, 0, 0).value, -1.25);
}

TEST(DateTime, FormatTimeByPattern) {
    DateValue d = DateFromFields(2024, 3, 15, 8, 30, 5);
    EXPECT_EQ(FormatTime(d, L"%Y%m%d"), L"20240315");
    EXPECT_EQ(FormatTime(d, L"[%Y-%m-%d %H:%M:%S] "), L"[2024-03-15 08:30:05] ");
    EXPECT_EQ(FormatTime(d, L"%a %j"), L"Fri 075");
    EXPECT_EQ(FormatTime(DateFromFields(1899, 12, 29, 6, 0, 0), L"%Y-%m-%d %H:%M"),
              L"1899-12-29 06:00");
    EXPECT_EQ(FormatTime(DateFromFields(2009, 2, 29, 0, 0, 0), L"%Y%m%d"), L"Invalid DateTime");
    EXPECT_EQ(FormatTime(DateValue{0.0, DateStatus::kNull}, L"%Y"), L"");
}

TEST(DateTime, TimePointConvertsToLocalFields) {
    ScopedEnv tz("TZ", "Asia/Shanghai");
    // 2006-12-03 10:00:00 UTC is 18:00 in UTC+8.
    int64_t t = DaysFromCivil(2006, 12, 3) * 86400 + 10 * 3600;
    EXPECT_EQ(FormatTime(DateFromTimePoint(t), L"%Y-%m-%d %H:%M:%S"), L"2006-12-03 18:00:00");
    EXPECT_EQ(DaysFromCivil(1970, 1, 1), 0);
    EXPECT_EQ(DaysFromCivil(1969, 12, 31), -1);
}

TEST(DateTime, Iso8601DatesAsRfc822InGmt) {
    EXPECT_EQ(Rfc822FromIso8601("2006-12-03T10:00:00Z"), "Sun, 03 Dec 2006 10:00:00 GMT");
    EXPECT_EQ(Rfc822FromIso8601(" 2006-12-03t10:00:00.123456z\n"), "Sun, 03 Dec 2006 10:00:00 GMT");
    // Offsets are taken away, across a day and a year.
    EXPECT_EQ(Rfc822FromIso8601("2007-01-01T05:30:00+08:00"), "Sun, 31 Dec 2006 21:30:00 GMT");
    EXPECT_EQ(Rfc822FromIso8601("2006-12-31T20:00:00-05:30"), "Mon, 01 Jan 2007 01:30:00 GMT");
    EXPECT_EQ(Rfc822FromIso8601("2008-02-29 23:59"), "Fri, 29 Feb 2008 23:59:00 GMT");
    EXPECT_EQ(Rfc822FromIso8601("1969-12-31"), "Wed, 31 Dec 1969 00:00:00 GMT");
    for (const char* bad : {"", "2006-02-29T00:00:00Z", "2006-12-03T24:00:00Z", "2006-13-01",
                            "2006-12-03T10:00:00+25:00", "Sun, 03 Dec 2006 10:00:00 GMT",
                            "2006-12-03T10:00:00Zjunk", "2006-12-3"})
        EXPECT_EQ(Rfc822FromIso8601(bad), "") << bad;
}
