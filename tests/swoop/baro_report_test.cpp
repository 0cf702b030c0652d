// SPDX-License-Identifier: GPL-3.0-or-later
// The report's lines on where its heights came from.
#include <gtest/gtest.h>

#include <cmath>

#include "core/swoop/baro_report.h"

TEST(baro_report, lines_in_both_units_with_dashes_for_a_missed_gate)
{
    gate_heights both;
    both.entry_gate = { true, 1.5, 0.25 };
    both.exit_gate = { true, -0.04, 0.3 };
    gate_heights entry_only;
    entry_only.entry_gate = { true, 0.5, 0.2 };
    entry_only.exit_gate = { false, 0, 0 };
    gate_heights not_finite;
    not_finite.entry_gate = { true, NAN, 0.2 };
    const struct {
        const gate_heights* heights;
        bool metric;
        const char* text;
    } cases[] = {
        { &both, true,
            "\nheights from:          barometer and GPS\n"
            "entry gate height:     1.5 m above the stop (+/- 0.2 m)\n"
            "exit gate height:      -0.0 m above the stop (+/- 0.3 m)\n" },
        { &entry_only, false,
            "\nheights from:          barometer and GPS\n"
            "entry gate height:     1.6 ft above the stop (+/- 0.7 ft)\n"
            "exit gate height:      ---- ft above the stop (+/- ---- ft)\n" },
        { &not_finite, true,
            "\nheights from:          barometer and GPS\n"
            "entry gate height:     ---- m above the stop (+/- 0.2 m)\n"
            "exit gate height:      ---- m above the stop (+/- ---- m)\n" },
        { nullptr, false, "\nheights from:          GPS (no sensor file)\n" },
    };
    for (const auto& c : cases)
        EXPECT_EQ(report_baro_lines(c.heights, display_units(c.metric)), c.text);
}
