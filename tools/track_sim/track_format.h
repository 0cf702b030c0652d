// SPDX-License-Identifier: GPL-3.0-or-later
// printf formats of the logger's text columns, shared by the writer and the
// rounding of generated samples (so both always agree).
#pragma once

namespace sim_detail {
constexpr const char* fmt_lat = "%.7f"; // degrees
constexpr const char* fmt_lon = "%.7f"; // degrees
constexpr const char* fmt_height = "%.3f"; // m
constexpr const char* fmt_velocity = "%.2f"; // m/s
constexpr const char* fmt_hacc = "%.3f"; // m
constexpr const char* fmt_vacc = "%.3f"; // m
constexpr const char* fmt_sacc = "%.2f"; // m/s
} // namespace sim_detail
