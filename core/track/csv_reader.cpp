// SPDX-License-Identifier: GPL-3.0-or-later

#include "core/track/csv_reader.h"

#include <cmath>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <memory>
#include <new>
#include <vector>

#include "core/platform/platform.h"
#include "core/track/error_text.h"
#include "core/track/line_reader.h"
#include "core/track/number_parse.h"

namespace {

// ---------------------------------------------------------------------------
// Columns

struct row_context {
    logger_minute_cache minutes; // time conversion, one per read
};

// Stores the value of one field into the sample; sets *err on failure.
using column_handler = void (*)(const char* text, gps_point& point, row_context& context, const char** err);

void column_time(const char* text, gps_point& point, row_context& context, const char** err)
{
    int64_t ms = 0;
    if (!csv_parse_time(text, context.minutes, &ms)) {
        *err = errmsg("invalid time field");
        return;
    }
    point.time = ms;
}

double number(const char* text)
{
    return csv_parse_double(text);
}

// One handler per numeric column: a coordinate of a 3-vector field, or an
// accuracy kept in single precision.
template <vec3 gps_point::*field, int axis>
void column_double(const char* text, gps_point& point, row_context&, const char**)
{
    (point.*field)[axis] = number(text);
}
template <float gps_point::*field>
void column_single(const char* text, gps_point& point, row_context&, const char**)
{
    point.*field = static_cast<float>(number(text));
}

uint8_t low_byte(const char* text)
{
    const char* end = nullptr;
    return static_cast<uint8_t>(csv_parse_unsigned(text, &end) & 0xffu);
}

void column_gpsfix(const char* text, gps_point& point, row_context&, const char**)
{
    point.gpsfix = low_byte(text);
}
void column_numsv(const char* text, gps_point& point, row_context&, const char**)
{
    point.numsv = low_byte(text);
}
void column_skip(const char*, gps_point&, row_context&, const char**) { }

struct column_name {
    const char* name;
    column_handler handler;
    bool required;
};

constexpr column_name column_names[] = {
    { "time", column_time, true },
    { "lat", column_double<&gps_point::pos_wgs84, 0>, true },
    { "lon", column_double<&gps_point::pos_wgs84, 1>, true },
    { "hMSL", column_double<&gps_point::pos_wgs84, 2>, true },
    { "velN", column_double<&gps_point::vel_ltp, 0>, true },
    { "velE", column_double<&gps_point::vel_ltp, 1>, true },
    { "velD", column_double<&gps_point::vel_ltp, 2>, true },
    { "hAcc", column_single<&gps_point::hacc>, true },
    { "vAcc", column_single<&gps_point::vacc>, true },
    { "sAcc", column_single<&gps_point::sacc>, true },
    { "gpsFix", column_gpsfix, false },
    { "numSV", column_numsv, true },
    { "heading", column_skip, false },
    { "cAcc", column_skip, false },
};

// Handlers of the header's columns, in column order, ended by nullptr.
using handler_list = std::vector<column_handler>;

// Turns the rest of the current line into a handler list. False when a
// required column is missing (or the list cannot grow).
bool csv_parse_header(csv_file& file, handler_list& handlers)
{
    handlers.clear();
    try {
        handlers.reserve(16);
        while (const char* name = csv_next_field(file)) {
            column_handler handler = nullptr;
            for (const column_name& c : column_names) {
                if (std::strcmp(name, c.name) == 0) {
                    handler = c.handler;
                    break;
                }
            }
            if (!handler) {
                std::printf("WARNING: unknown field (%s)\n", name);
                handler = column_skip;
            }
            handlers.push_back(handler);
        }
        for (const column_name& c : column_names) {
            if (!c.required)
                continue;
            bool found = false;
            for (column_handler h : handlers)
                found = found || h == c.handler;
            if (!found) {
                handlers.clear();
                return false;
            }
        }
        handlers.push_back(nullptr);
    } catch (const std::bad_alloc&) {
        handlers.clear();
        return false;
    }
    return true;
}

// Parses the rest of the current line as one sample. A row with more fields
// than the header has columns is dropped silently; so is a last line that
// the end of the file cut short (fewer fields than columns, or a time that
// does not convert): loggers that lose power leave such a line behind.
void csv_append_point(
    csv_file& file, const handler_list& handlers, gps_track& track, row_context& context, const char** err)
{
    gps_point* point = gps_track_append(track, err);
    if (!point)
        return;
    // The slot may hold an abandoned row: every raw field starts at 0.
    *point = gps_point {};
    size_t columns = handlers.size() - 1;
    size_t k = 0;
    while (const char* field = csv_next_field(file)) {
        if (k >= columns)
            return;
        handlers[k](field, *point, context, err);
        if (*err) {
            if (!file.line_ended && handlers[k] == column_time)
                *err = nullptr;
            return;
        }
        ++k;
    }
    if (!file.line_ended && k < columns)
        return;
    ++track.count;
}

// A logger row is well over 64 bytes: storage for the whole file is set
// aside once instead of being moved at every doubling.
void reserve_for_file(csv_file& file, gps_track& track)
{
    constexpr uint64_t least_row_bytes = 64;
    gps_track_reserve(track, static_cast<size_t>(csv_file_size(file) / least_row_bytes));
}

bool is_empty_line(const csv_file& file)
{
    return *file.line == '\0';
}

// Ends a read: the message, if any, stays in *err; a failed read leaves no
// track.
void finish_read(const csv_file& file, gps_track& track, const char** err)
{
    if (!*err) {
        if (file.overflow)
            *err = errmsg("line length exceeded size of buffer");
        else if (track.count == 0)
            *err = errmsg("no GPS points found");
    }
    if (*err)
        gps_track_clear(track);
}

// One logger firmware writes a negative sub-second part as ".-" and 1 to 3
// digits: "20.-002Z" (also "20.-2Z") is 2 ms before second 20, 19.998 s.
// seconds..point is the text the number conversion took ("20."): it must be
// plain digits and the point. Sets *ms to the digits' value; false for any
// other form.
bool negative_milliseconds(const char* seconds, const char* point_end, uint32_t* ms)
{
    for (const char* q = seconds; q < point_end - 1; ++q) {
        if (*q < '0' || *q > '9')
            return false;
    }
    const char* digits = point_end + 1;
    size_t n = std::strspn(digits, "0123456789");
    if (point_end - 1 == seconds || n < 1 || n > 3 || digits[n] != 'Z')
        return false;
    *ms = 0;
    for (size_t i = 0; i < n; ++i)
        *ms = *ms * 10 + static_cast<uint32_t>(digits[i] - '0');
    return true;
}

} // namespace

bool csv_parse_time(const char* text, logger_minute_cache& cache, int64_t* ms)
{
    const char* p = text;
    const char* end = nullptr;
    uint32_t fields[5]; // year, month, day, hour, minute
    static constexpr char separators[5] = { '-', '-', 'T', ':', ':' };
    for (int i = 0; i < 5; ++i) {
        fields[i] = csv_parse_unsigned(p, &end);
        if (end == p || *end != separators[i])
            return false;
        p = end + 1;
    }
    double seconds = csv_parse_double(p, &end);
    uint32_t before_second = 0; // ms to take off the whole second (".-002Z")
    if (end != p && *end == '-' && end[-1] == '.') {
        if (!negative_milliseconds(p, end, &before_second))
            return false;
        end += 1 + std::strspn(end + 1, "0123456789");
    }
    if (end == p || *end != 'Z')
        return false;
    // Milliseconds of the minute, truncated toward zero and kept as unsigned
    // 32 bits. A reading that no integer holds (inf, nan, 1e300) is no time.
    double scaled = std::trunc(seconds * 1000);
    if (!(scaled > -9.2e18 && scaled < 9.2e18))
        return false;
    uint32_t m = static_cast<uint32_t>(static_cast<int64_t>(scaled));
    uint32_t whole = m / 1000;

    int year = static_cast<int>(fields[0]);
    int month = static_cast<int>(fields[1]);
    int day = static_cast<int>(fields[2]);
    int hour = static_cast<int>(fields[3]);
    int minute = static_cast<int>(fields[4]);

    auto convert = [&](int sec) {
        std::tm tm {};
        tm.tm_year = static_cast<int>(static_cast<int64_t>(year) - 1900);
        tm.tm_mon = static_cast<int>(static_cast<int64_t>(month) - 1);
        tm.tm_mday = day;
        tm.tm_hour = hour;
        tm.tm_min = minute;
        tm.tm_sec = sec;
        tm.tm_isdst = -1;
        return platform_mktime(&tm);
    };

    // Zone offsets change on whole minutes (since 1970), so second s of a
    // minute is the minute's start plus s: one conversion per minute.
    int64_t seconds_since_epoch;
    if (whole < 60) {
        if (!(cache.valid && cache.year == year && cache.month == month && cache.day == day
                && cache.hour == hour && cache.minute == minute)) {
            cache.valid = false;
            int64_t start = convert(0);
            if (start != -1) {
                cache.valid = true;
                cache.year = year;
                cache.month = month;
                cache.day = day;
                cache.hour = hour;
                cache.minute = minute;
                cache.minute_start = start;
            }
        }
        seconds_since_epoch = cache.valid ? cache.minute_start + whole : convert(static_cast<int>(whole));
    } else {
        // Seconds beyond the minute are carried by the conversion itself.
        seconds_since_epoch = convert(static_cast<int>(whole));
    }
    // A calendar reading so far off (year 300000000) that no 64-bit count of
    // milliseconds holds it is no time either.
    if (seconds_since_epoch > INT64_MAX / 1000 - 1 || seconds_since_epoch < INT64_MIN / 1000 + 1)
        return false;
    *ms = seconds_since_epoch * 1000 + static_cast<int64_t>(m % 1000) - before_second;
    return true;
}

void track_read_csv(const char* path, gps_track& track, const char** err)
{
    *err = nullptr;
    csv_file file;
    if (!csv_open(path, file, err)) {
        gps_track_clear(track);
        return;
    }
    reserve_for_file(file, track);
    handler_list handlers;
    row_context context;
    if (!csv_next_line(file)) {
        *err = errmsg("missing field names");
    } else if (!csv_parse_header(file, handlers)) {
        *err = errmsg("invalid field names");
    } else if (!csv_next_line(file)) {
        *err = errmsg("missing field units");
    } else {
        while (!*err && csv_next_line(file)) {
            if (is_empty_line(file))
                continue;
            csv_append_point(file, handlers, track, context, err);
        }
        finish_read(file, track, err);
        return;
    }
    gps_track_clear(track);
}

void track_read_gnss(const char* path, gps_track& track, const char** err)
{
    bool column_line_seen = false;
    track_read_gnss(path, track, column_line_seen, err);
}

void track_read_gnss(const char* path, gps_track& track, bool& column_line_seen, const char** err)
{
    column_line_seen = false;
    *err = nullptr;
    csv_file file;
    if (!csv_open(path, file, err)) {
        gps_track_clear(track);
        return;
    }
    reserve_for_file(file, track);
    handler_list handlers;
    row_context context;
    while (!*err && csv_next_line(file)) {
        if (is_empty_line(file))
            continue;
        if (file.line[0] != '$') {
            *err = errmsg("missing $ prefix");
        } else if (handlers.empty()) {
            if (std::strncmp(file.line, "$COL,GNSS,", 10) == 0) {
                column_line_seen = true;
                file.line += 10;
                if (!csv_parse_header(file, handlers))
                    *err = errmsg("invalid field names");
            }
        } else if (std::strncmp(file.line, "$GNSS,", 6) == 0) {
            file.line += 6;
            csv_append_point(file, handlers, track, context, err);
        }
    }
    finish_read(file, track, err);
}
