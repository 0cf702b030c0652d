// SPDX-License-Identifier: GPL-3.0-or-later

#include "core/sensor/sensor_file.h"

#include <cmath>
#include <cstring>
#include <new>

#include "core/track/error_text.h"
#include "core/track/line_reader.h"
#include "core/track/number_parse.h"

namespace {

constexpr double gps_epoch = 315964800.0; // s, 1980-01-06T00:00:00Z since 1970
constexpr double seconds_per_week = 604800.0;

// Where a record type's columns are (indices into the fields after the
// type); -1 = the file named no such column.
struct columns {
    bool known = false; // its $COL line was seen
    int a = -1, b = -1, c = -1; // BARO: time, pressure, temperature; TIME: time, tow, week
};

int column_index(const char* name, const char* first, const char* second, const char* third)
{
    if (std::strcmp(name, first) == 0)
        return 0;
    if (std::strcmp(name, second) == 0)
        return 1;
    if (third && std::strcmp(name, third) == 0)
        return 2;
    return -1;
}

// Reads the names of a $COL line (behind "$COL,<type>,") into cols.
void parse_columns(csv_file& file, columns& cols, const char* first, const char* second, const char* third)
{
    cols = columns {};
    cols.known = true;
    int k = 0;
    while (const char* name = csv_next_field(file)) {
        switch (column_index(name, first, second, third)) {
        case 0:
            cols.a = k;
            break;
        case 1:
            cols.b = k;
            break;
        case 2:
            cols.c = k;
            break;
        default:
            break;
        }
        if (k < 1 << 20)
            ++k;
    }
}

// A field that is wholly a finite decimal number.
bool parse_number(const char* text, double* value)
{
    const char* end = nullptr;
    double v = csv_parse_double(text, &end);
    if (end == text || *end != '\0' || !std::isfinite(v))
        return false;
    *value = v;
    return true;
}

// Picks the values of columns a, b and c out of the rest of the line. False
// when a named column is missing or is not a number (c may be absent).
bool parse_row(csv_file& file, const columns& cols, bool need_c, double* a, double* b, double* c)
{
    if (cols.a < 0 || cols.b < 0 || (need_c && cols.c < 0))
        return false;
    bool got_a = false, got_b = false, got_c = cols.c < 0;
    int k = 0;
    while (const char* field = csv_next_field(file)) {
        if (k == cols.a)
            got_a = parse_number(field, a);
        else if (k == cols.b)
            got_b = parse_number(field, b);
        else if (k == cols.c)
            got_c = parse_number(field, c);
        if (k < 1 << 20)
            ++k;
    }
    return got_a && got_b && got_c;
}

struct time_row {
    double time; // s, device clock
    double gps; // s since the GPS epoch: week x 604800 + tow
};

// Fits the line through the TIME rows; false when it does not hold.
bool fit_clock(const std::vector<time_row>& rows, sensor_clock& clock)
{
    if (rows.size() < 2)
        return false;
    const double x0 = rows.front().time;
    const double y0 = rows.front().gps;
    const double n = static_cast<double>(rows.size());
    double mx = 0, my = 0;
    for (const time_row& r : rows) {
        mx += r.time - x0;
        my += r.gps - y0;
    }
    mx /= n;
    my /= n;
    double sxx = 0, sxy = 0;
    for (const time_row& r : rows) {
        const double dx = r.time - x0 - mx;
        sxx += dx * dx;
        sxy += dx * (r.gps - y0 - my);
    }
    if (!(sxx > 0))
        return false;
    const double rate = sxy / sxx;
    const double at_ref = my - rate * mx; // s after y0 at device time x0
    double worst = 0;
    for (const time_row& r : rows)
        worst = std::fmax(worst, std::fabs(r.gps - y0 - (at_ref + rate * (r.time - x0))));
    if (!(worst <= sensor_clock_tolerance) || !(std::fabs(rate - 1) <= sensor_clock_rate_tolerance))
        return false;
    clock.device_ref = x0;
    clock.epoch = gps_epoch + y0 + at_ref;
    clock.rate = rate;
    clock.residual = worst;
    clock.rows = static_cast<uint32_t>(rows.size());
    return true;
}

bool starts_with(const char* line, const char* prefix, size_t n)
{
    return std::strncmp(line, prefix, n) == 0;
}

} // namespace

void sensor_file_read(const char* path, sensor_file& out, const char** err)
{
    *err = nullptr;
    out = sensor_file {};
    csv_file file;
    if (!csv_open(path, file, err))
        return;
    std::vector<time_row> times;
    columns baro_cols, time_cols;
    try {
        // About one row in three is a barometer row of some 30 bytes.
        out.baro.reserve(static_cast<size_t>(csv_file_size(file) / 120));
        while (csv_next_line(file)) {
            const char* line = file.line;
            // A last line that the end of the file cut is dropped whole: a
            // cut number reads as another number (week 23 for 2332).
            if (line[0] != '$' || !file.line_ended)
                continue;
            if (starts_with(line, "$BARO,", 6)) {
                if (!baro_cols.known)
                    continue;
                file.line += 6;
                baro_row r { 0, 0, 0 };
                if (!parse_row(file, baro_cols, false, &r.time, &r.pressure, &r.temperature))
                    continue;
                if (!(r.pressure > 1000 && r.pressure < 200000))
                    continue;
                if (!out.baro.empty() && !(r.time > out.baro.back().time))
                    continue;
                out.baro.push_back(r);
            } else if (starts_with(line, "$TIME,", 6)) {
                if (!time_cols.known)
                    continue;
                file.line += 6;
                double t = 0, tow = 0, week = 0;
                if (!parse_row(file, time_cols, true, &t, &tow, &week))
                    continue;
                if (!(week >= 0 && week < 100000 && week == std::floor(week) && tow >= 0
                        && tow <= seconds_per_week))
                    continue;
                if (!times.empty() && !(t > times.back().time))
                    continue;
                times.push_back({ t, week * seconds_per_week + tow });
            } else if (starts_with(line, "$COL,BARO,", 10)) {
                file.line += 10;
                parse_columns(file, baro_cols, "time", "pressure", "temperature");
            } else if (starts_with(line, "$COL,TIME,", 10)) {
                file.line += 10;
                parse_columns(file, time_cols, "time", "tow", "week");
            }
        }
    } catch (const std::bad_alloc&) {
        out = sensor_file {};
        *err = errmsg("failed to realloc sensor rows");
        return;
    }
    if (file.overflow)
        *err = errmsg("line length exceeded size of buffer");
    else if (out.baro.empty())
        *err = errmsg("sensor file has no barometer rows");
    else if (!fit_clock(times, out.clock))
        *err = errmsg("sensor file has no usable time reference");
    if (*err)
        out = sensor_file {};
}
