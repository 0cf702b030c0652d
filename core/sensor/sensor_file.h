// SPDX-License-Identifier: GPL-3.0-or-later
// The logger's sensor file (SENSOR.CSV beside TRACK.CSV): the barometer rows
// and the clock that ties the device's own time to GPS week and time of week.
//
// The file is `$` records: `$COL,<type>,<names>` lines give the columns of a
// record type by name, `$<type>,<values>` lines carry the rows. Only BARO
// (time, pressure, temperature) and TIME (time, tow, week) rows are kept;
// other record types, other `$` lines and lines without `$` are skipped, as
// are rows that come before their type's `$COL` line, rows missing a named
// column or holding a value that is not a number, a last row that the end
// of the file cut (no line end), and rows whose device time does not advance.
//
// The device time is seconds since power-on. TIME rows give, at a device
// time, the GPS week and time of week; a least-squares line through them
// (the device clock drifts by a few ppm) maps every device time to seconds
// since 1970-01-01T00:00:00Z taken at face value: GPS epoch
// 1980-01-06T00:00:00Z + week x 604800 s + tow, without any leap seconds.
// Whether that face value is UTC or GPS time is settled by sensor_link
// (sensor_link.h).
#pragma once

#include <cstdint>
#include <vector>

struct baro_row {
    double time; // s, device clock
    double pressure; // Pa
    double temperature; // deg C, 0 when the file has no such column
};

// device time -> seconds since 1970 at face value: epoch + rate x (t - device_ref).
struct sensor_clock {
    double device_ref = 0; // s, device time of the first TIME row
    double epoch = 0; // s since 1970 (face value) at device_ref, from the fit
    double rate = 1; // face-value seconds per device second (1 + drift)
    double residual = 0; // s, largest distance of a TIME row from the fitted line
    uint32_t rows = 0; // TIME rows in the fit
};

struct sensor_file {
    std::vector<baro_row> baro; // in file order, device time increasing
    sensor_clock clock;
};

// Seconds since 1970 (face value) of a device time.
inline double sensor_clock_time(const sensor_clock& c, double device_time)
{
    return c.epoch + c.rate * (device_time - c.device_ref);
}

// The largest residual a fit may leave (s) and how far its rate may be from
// one (a crystal clock is off by some ppm, never by a tenth of a percent).
constexpr double sensor_clock_tolerance = 0.005;
constexpr double sensor_clock_rate_tolerance = 1e-3;

// Reads a sensor file. Failures: "failed to open file: %s", "line length
// exceeded size of buffer", "sensor file has no barometer rows", "sensor file
// has no usable time reference" (fewer than two TIME rows, or a line through
// them that misses one by more than 5 ms or runs at an impossible rate).
// On failure `out` is left empty.
void sensor_file_read(const char* path, sensor_file& out, const char** err);
