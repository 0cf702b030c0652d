// SPDX-License-Identifier: GPL-3.0-or-later
// The true UTC time of a sample. The logger writes UTC, and the reader took
// that reading as local time (mktime), so a sample's `time` is off by the
// zone's offset at that moment.
#pragma once

#include <cstdint>
#include <optional>

// The UTC time (ms since the epoch) of a sample time. Breaking the stored
// seconds down as local time gives the logger's reading back, which is then
// read as UTC. A reading in the hour that a spring-forward skips locally
// cannot be told from the hour after it and comes back one hour late. None
// when the time cannot be broken down.
std::optional<int64_t> sample_time_to_utc_ms(int64_t sample_ms);
