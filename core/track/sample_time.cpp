// SPDX-License-Identifier: GPL-3.0-or-later

#include "core/track/sample_time.h"

#include <chrono>
#include <ctime>

#include "core/platform/platform.h"

std::optional<int64_t> sample_time_to_utc_ms(int64_t sample_ms)
{
    using std::chrono::milliseconds;
    using std::chrono::sys_days;
    int64_t seconds = sample_ms / 1000;
    int64_t rest = sample_ms % 1000;
    if (rest < 0) {
        seconds -= 1;
        rest += 1000;
    }
    std::tm tm {};
    if (!platform_localtime(seconds, &tm))
        return std::nullopt;
    const std::chrono::year_month_day ymd { std::chrono::year(tm.tm_year + 1900),
        std::chrono::month(static_cast<unsigned>(tm.tm_mon + 1)),
        std::chrono::day(static_cast<unsigned>(tm.tm_mday)) };
    if (!ymd.ok())
        return std::nullopt;
    const int64_t day_ms = std::chrono::duration_cast<milliseconds>(sys_days(ymd).time_since_epoch()).count();
    return day_ms + ((tm.tm_hour * 60 + tm.tm_min) * 60 + tm.tm_sec) * int64_t(1000) + rest;
}
