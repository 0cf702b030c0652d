// SPDX-License-Identifier: GPL-3.0-or-later
// The sensor-file reader on arbitrary bytes.
#include <cmath>
#include <cstring>

#include "core/sensor/sensor_file.h"
#include "fuzz/harness_support.h"

namespace {

bool known(const char* err)
{
    static const char* const messages[] = { "sensor file has no barometer rows",
        "sensor file has no usable time reference", "line length exceeded size of buffer" };
    for (const char* m : messages) {
        if (std::strcmp(err, m) == 0)
            return true;
    }
    return std::strncmp(err, "failed to open file: ", 21) == 0;
}

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size)
{
    const std::string& path = fuzz_input_file(data, size, "SENSOR.CSV");
    sensor_file f;
    const char* err = nullptr;
    sensor_file_read(path.c_str(), f, &err);
    if (err) {
        fuzz_check(known(err), "unknown sensor reader message");
        fuzz_check(f.baro.empty(), "rows left behind a failed read");
        return 0;
    }
    fuzz_check(!f.baro.empty(), "a read without barometer rows succeeded");
    fuzz_check(f.clock.rows >= 2, "a clock from fewer than two rows");
    fuzz_check(f.clock.residual <= sensor_clock_tolerance, "a clock fit that does not hold");
    fuzz_check(std::fabs(f.clock.rate - 1) <= sensor_clock_rate_tolerance, "a clock at an impossible rate");
    fuzz_check(
        std::isfinite(f.clock.epoch) && std::isfinite(f.clock.device_ref), "a clock that is not a number");
    for (size_t j = 0; j < f.baro.size(); ++j) {
        const baro_row& r = f.baro[j];
        fuzz_check(std::isfinite(r.time) && std::isfinite(r.pressure) && std::isfinite(r.temperature),
            "a row value that is not a number");
        fuzz_check(j == 0 || r.time > f.baro[j - 1].time, "barometer rows out of order");
    }
    return 0;
}
