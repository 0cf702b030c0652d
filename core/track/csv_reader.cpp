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

namespace {

// ---------------------------------------------------------------------------
// Number conversion

// Powers of ten that a double holds exactly.
constexpr double exact_powers_of_ten[] = {
    1e0,
    1e1,
    1e2,
    1e3,
    1e4,
    1e5,
    1e6,
    1e7,
    1e8,
    1e9,
    1e10,
    1e11,
    1e12,
    1e13,
    1e14,
    1e15,
    1e16,
    1e17,
    1e18,
    1e19,
    1e20,
    1e21,
    1e22,
};

bool is_digit(char c)
{
    return c >= '0' && c <= '9';
}

// The blanks std::strtod and std::strtoul skip in the C locale.
bool is_blank(char c)
{
    return c == ' ' || (c >= '\t' && c <= '\r');
}

// The logger's numbers ("47.1234567", "-0.456", "1.5e-3") in the fast way:
// when the digits form an integer below 2^53 and the power of ten is at most
// 22, both are exact doubles and one multiplication or division rounds the
// product correctly, which is what strtod's correctly rounded result is.
// False (nothing set) for anything else: blanks, '+', hex, inf, nan, long
// mantissas, large exponents, no number at all.
bool parse_simple_decimal(const char* text, double* value, const char** end)
{
    const char* p = text;
    bool negative = false;
    if (*p == '-') {
        negative = true;
        ++p;
    }
    uint64_t mantissa = 0; // the significant digits as an integer
    int digits = 0; // significant digits taken into mantissa
    int fraction = 0; // digits after the point
    auto take_digit = [&](char c) {
        if (mantissa == 0 && c == '0')
            return true; // leading zeros are not significant
        if (++digits > 19)
            return false;
        mantissa = mantissa * 10 + static_cast<uint64_t>(c - '0');
        return true;
    };
    const char* integer_start = p;
    for (; is_digit(*p); ++p) {
        if (!take_digit(*p))
            return false;
    }
    bool had_integer_digits = p != integer_start;
    if (*p == 'x' || *p == 'X')
        return false; // "0x..." is hexadecimal for strtod
    bool had_fraction_digits = false;
    if (*p == '.') {
        ++p;
        for (; is_digit(*p); ++p) {
            if (!take_digit(*p))
                return false;
            ++fraction;
            had_fraction_digits = true;
        }
    }
    if (!had_integer_digits && !had_fraction_digits)
        return false;
    int exponent = 0;
    if (*p == 'e' || *p == 'E') {
        const char* q = p + 1;
        bool exponent_negative = false;
        if (*q == '+' || *q == '-') {
            exponent_negative = *q == '-';
            ++q;
        }
        // Without digits the 'e' is not part of the number.
        if (is_digit(*q)) {
            for (; is_digit(*q); ++q) {
                if (exponent > 1000)
                    return false;
                exponent = exponent * 10 + (*q - '0');
            }
            if (exponent_negative)
                exponent = -exponent;
            p = q;
        }
    }
    int power = exponent - fraction;
    if (mantissa > (uint64_t { 1 } << 53) || power > 22 || power < -22)
        return false;
    double v = static_cast<double>(mantissa);
    if (power >= 0)
        v = v * exact_powers_of_ten[power];
    else
        v = v / exact_powers_of_ten[-power];
    *value = negative ? -v : v;
    *end = p;
    return true;
}

// Reads a decimal number from the start of text exactly as std::strtod does
// and sets *end behind what it used (text itself when nothing converts).
double parse_double_prefix(const char* text, const char** end)
{
    double value = 0;
    if (parse_simple_decimal(text, &value, end))
        return value;
    char* strtod_end = nullptr;
    value = std::strtod(text, &strtod_end);
    *end = strtod_end;
    return value;
}

// Reads an unsigned decimal integer from the start of text as the Windows
// runtime's strtoul does with base 10 (32-bit unsigned long): blanks, an
// optional sign (a minus negates modulo 2^32), at least one digit; a value
// beyond 2^32 - 1 reads as 2^32 - 1. Sets *end behind the number, or to text
// when nothing converts.
uint32_t parse_unsigned_prefix(const char* text, const char** end)
{
    const char* p = text;
    while (is_blank(*p))
        ++p;
    bool negative = false;
    if (*p == '+' || *p == '-') {
        negative = *p == '-';
        ++p;
    }
    if (!is_digit(*p)) {
        *end = text;
        return 0;
    }
    uint64_t value = 0;
    bool overflow = false;
    while (is_digit(*p)) {
        value = value * 10 + static_cast<uint64_t>(*p - '0');
        if (value > UINT32_MAX) {
            overflow = true;
            value = UINT32_MAX;
        }
        ++p;
    }
    *end = p;
    if (overflow)
        return UINT32_MAX;
    uint32_t result = static_cast<uint32_t>(value);
    return negative ? 0u - result : result;
}

// ---------------------------------------------------------------------------
// The block line reader

constexpr size_t block_size = 32768; // bytes; a line with its line end must be shorter

struct csv_file {
    file_ptr fp; // open file, binary mode
    std::unique_ptr<char[]> block_ptr; // read block of block_size bytes
    char* line = nullptr; // start of the current line, advanced field by field
    char* scan = nullptr; // scanning position inside the block
    char* block_end = nullptr; // end of the valid bytes in the block
    bool overflow = false; // a line did not fit into the block
    bool line_ended = false; // the current line had line-end bytes (false: cut by the end of the file)
};

bool csv_open(const char* path, csv_file& file, const char** err)
{
    file.fp.reset(std::fopen(path, "rb"));
    if (!file.fp) {
        *err = errmsg("failed to open file: %s", path);
        return false;
    }
    file.block_ptr.reset(new (std::nothrow) char[block_size]);
    if (!file.block_ptr) {
        file.fp.reset();
        *err = errmsg("failed to malloc file.block_ptr");
        return false;
    }
    file.line = file.scan = file.block_end = file.block_ptr.get();
    return true;
}

// Moves the partial line to the start of the block and reads behind it.
// Returns the number of bytes read; sets overflow when the line fills the
// block.
size_t csv_refill(csv_file& file, bool& full)
{
    char* block = file.block_ptr.get();
    size_t partial = static_cast<size_t>(file.scan - file.line);
    if (partial == block_size) {
        file.overflow = true;
        full = true;
        return 0;
    }
    full = false;
    if (partial > 0 && file.line != block)
        std::memmove(block, file.line, partial);
    file.line = block;
    file.scan = block + partial;
    size_t n = std::fread(file.scan, 1, block_size - partial, file.fp.get());
    file.block_end = file.scan + n;
    return n;
}

// Makes the next line available at file.line, its line-end bytes turned into
// zero bytes. CR, LF, CR LF and LF CR each end one line; a repeated CR or LF
// starts a new, empty line.
bool csv_next_line(csv_file& file)
{
    file.line = file.scan;
    bool seen_lf = false;
    bool seen_cr = false;
    for (;;) {
        if (file.scan == file.block_end) {
            bool full = false;
            if (csv_refill(file, full) == 0) {
                if (full)
                    return false;
                // End of file: a last line without line end still counts.
                *file.scan = '\0';
                file.line_ended = seen_lf || seen_cr;
                return file.scan != file.line;
            }
        }
        char* p = file.scan;
        char* end = file.block_end;
        if (!seen_lf && !seen_cr) {
            while (p != end && *p != '\n' && *p != '\r')
                ++p;
            file.scan = p;
            if (p == end)
                continue;
        }
        char c = *p;
        if (c == '\n') {
            if (seen_lf)
                break;
            seen_lf = true;
            *p = '\0';
        } else if (c == '\r') {
            if (seen_cr)
                break;
            seen_cr = true;
            *p = '\0';
        } else {
            break;
        }
        file.scan = p + 1;
    }
    file.line_ended = true;
    return true;
}

// The next comma-separated field of the current line, or nullptr.
char* csv_next_field(csv_file& file)
{
    char* field = file.line;
    if (*field == '\0')
        return nullptr;
    char* p = field;
    while (*p != ',' && *p != '\0')
        ++p;
    if (*p == ',') {
        *p = '\0';
        ++p;
    }
    file.line = p;
    return field;
}

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
    return static_cast<uint8_t>(parse_unsigned_prefix(text, &end) & 0xffu);
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

} // namespace

double csv_parse_double(const char* text, const char** end)
{
    const char* used = nullptr;
    double value = parse_double_prefix(text, &used);
    if (end)
        *end = used;
    return value;
}

bool csv_parse_time(const char* text, logger_minute_cache& cache, int64_t* ms)
{
    const char* p = text;
    const char* end = nullptr;
    uint32_t fields[5]; // year, month, day, hour, minute
    static constexpr char separators[5] = { '-', '-', 'T', ':', ':' };
    for (int i = 0; i < 5; ++i) {
        fields[i] = parse_unsigned_prefix(p, &end);
        if (end == p || *end != separators[i])
            return false;
        p = end + 1;
    }
    double seconds = parse_double_prefix(p, &end);
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
    *ms = seconds_since_epoch * 1000 + static_cast<int64_t>(m % 1000);
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
    *err = nullptr;
    csv_file file;
    if (!csv_open(path, file, err)) {
        gps_track_clear(track);
        return;
    }
    handler_list handlers;
    row_context context;
    while (!*err && csv_next_line(file)) {
        if (is_empty_line(file))
            continue;
        if (file.line[0] != '$') {
            *err = errmsg("missing $ prefix");
        } else if (handlers.empty()) {
            if (std::strncmp(file.line, "$COL,GNSS,", 10) == 0) {
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
