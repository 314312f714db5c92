#include "config/DateTime.h"

#include <cstdlib>
#include <ctime>
#include <gtest/gtest.h>

TEST(DateTime, CalendarFieldsAreCheckedByRoundTrip) {
    EXPECT_EQ(DateFromFields(2009, 2, 29, 0, 0, 0).status, DateStatus::kInvalid);
    EXPECT_EQ(DateFromFields(2008, 2, 29, 0, 0, 0).status, DateStatus::kValid);
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
    DateValue invalid;
    invalid.status = DateStatus::kInvalid;
    EXPECT_EQ(FormatTime(invalid, L"%Y%m%d"), L"Invalid DateTime");
    DateValue null;
    null.status = DateStatus::kNull;
    EXPECT_EQ(FormatTime(null, L"%Y"), L"");
}

TEST(DateTime, TimePointConvertsToLocalFields) {
    setenv("TZ", "Asia/Shanghai", 1);
    tzset();
    // 2006-12-03 10:00:00 UTC is 18:00 in UTC+8.
    int64_t t = DaysFromCivil(2006, 12, 3) * 86400 + 10 * 3600;
    EXPECT_EQ(FormatTime(DateFromTimePoint(t), L"%Y-%m-%d %H:%M:%S"), L"2006-12-03 18:00:00");
    EXPECT_EQ(DaysFromCivil(1970, 1, 1), 0);
    EXPECT_EQ(DaysFromCivil(1969, 12, 31), -1);
}
