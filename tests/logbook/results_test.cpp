// SPDX-License-Identifier: GPL-3.0-or-later
// The stored results against the results report of the same analysis, and
// the progression plots built from them.
#include <gtest/gtest.h>

#include <cmath>
#include <cstdlib>

#include "core/gate/gate.h"
#include "core/swoop/report.h"
#include "logbook/display.h"
#include "logbook/progression_plot.h"
#include "tests/logbook/logbook_test_util.h"

namespace {

// The numbers of the report line that starts with label.
std::vector<double> report_numbers(const std::string& report, const std::string& label)
{
    const size_t at = report.find(label);
    EXPECT_NE(at, std::string::npos) << label;
    std::vector<double> numbers;
    const std::string line = report.substr(at + label.size(), report.find('\n', at) - at - label.size());
    const char* p = line.c_str();
    while (*p) {
        char* end = nullptr;
        const double v = std::strtod(p, &end);
        if (end != p && (std::isdigit(static_cast<unsigned char>(*p)) || *p == '-')) {
            numbers.push_back(v);
            p = end;
        } else {
            ++p;
        }
    }
    return numbers;
}

// Each report line and the results it prints, in order.
struct report_line {
    const char* label;
    std::vector<result_id> results;
};

const report_line report_lines[] = {
    { "exited airplane:", { exit_height } },
    { "initiated turn:", { turn_start_height, turn_start_back, turn_start_offset } },
    { "max vertical speed:",
        { max_vertical_height, max_vertical_back, max_vertical_offset, max_vertical_speed } },
    { "started rollout:",
        { rollout_start_height, rollout_start_back, rollout_start_offset, rollout_vertical_speed } },
    { "finished rollout:", { rollout_end_height, rollout_end_back, rollout_end_offset } },
    { "max total speed:", { max_total_height, max_total_back, max_total_offset, max_total_speed } },
    { "max horizontal speed:",
        { max_horizontal_height, max_horizontal_back, max_horizontal_offset, max_horizontal_speed } },
    { "degrees of rotation:", { turn_degrees } },
    { "time to execute turn:", { turn_time } },
    { "time during rollout:", { rollout_time } },
    { "time aloft during swoop:", { time_aloft } },
    { "entry gate speed:", { entry_gate_speed } },
    { "distance to stop:", { stop_distance } },
    { "touchdown estimate:", { touchdown_distance, touchdown_speed } },
    { "speed carve time:", { speed_course_time, exit_gate_speed } },
};

jump_record analysed(const std::string& path, const gate* g, bool metric, std::string& report)
{
    const char* err = nullptr;
    std::unique_ptr<swoop> s = swoop_new(path.c_str(), &err);
    EXPECT_TRUE(s) << err;
    if (g)
        swoop_analyse(*s, frame_from_gate, &g->matrix, g->theta, &err);
    else
        swoop_analyse(*s, frame_from_swoop, nullptr, 0, &err);
    EXPECT_EQ(err, nullptr) << err;
    report = swoop_report(*s, metric, &err);
    jump_record j;
    jump_results_from_swoop(*s, j);
    return j;
}

} // namespace

TEST(results, every_stored_value_is_the_reports_number_in_si)
{
    const char* err = nullptr;
    std::unique_ptr<gate> g = gate_open(logbook_test::example_gate().c_str(), nullptr, &err);
    ASSERT_TRUE(g) << err;
    for (const std::string& path : logbook_test::example_swoops())
        for (const gate* frame : { static_cast<const gate*>(g.get()), static_cast<const gate*>(nullptr) })
            for (bool metric : { false, true }) {
                SCOPED_TRACE(
                    path + (frame ? " on the gate" : " in its own frame") + (metric ? ", metric" : ""));
                std::string report;
                const jump_record j = analysed(path, frame, metric, report);
                const display_units u(metric);
                for (const report_line& line : report_lines) {
                    const std::vector<double> printed = report_numbers(report, line.label);
                    std::vector<double> stored, rounding;
                    for (result_id id : line.results) {
                        if (!j.results[id])
                            continue;
                        const quantity kind = result_fields[id].kind;
                        stored.push_back(to_display(*j.results[id], kind, u));
                        // Half the last printed digit: speeds one decimal, times two, others none.
                        rounding.push_back(kind == quantity::speed ? 0.0501
                                : kind == quantity::duration       ? 0.00501
                                                                   : 0.501);
                    }
                    ASSERT_EQ(printed.size(), stored.size()) << line.label << "\n" << report;
                    for (size_t k = 0; k < printed.size(); ++k)
                        EXPECT_NEAR(printed[k], stored[k], rounding[k]) << line.label << " number " << k;
                }
                const bool right = report.find("deg (right-hand)") != std::string::npos;
                EXPECT_EQ(j.right_hand, right);
            }
}

TEST(progression, trailing_mean_and_the_four_plots_of_a_season)
{
    EXPECT_EQ(trailing_mean({ 1, 2, 3, 4, 5 }, 3), (std::vector<double> { 1, 1.5, 2, 3, 4 }));
    EXPECT_EQ(trailing_mean({}, 10), std::vector<double> {});

    std::vector<jump_record> rows(4);
    const int64_t day = 86400000;
    const int64_t first = *utc_midnight_ms("2019-07-14") + 17 * 3600000;
    for (size_t i = 0; i < rows.size(); ++i) {
        rows[i].jump_time_utc = first + static_cast<int64_t>(3 - i) * 2 * day; // newest first
        rows[i].results[entry_gate_speed] = 20.0 + static_cast<double>(i);
        rows[i].results[turn_degrees] = 270;
        rows[i].results[max_horizontal_speed] = 30;
        rows[i].results[rollout_start_height] = 50;
    }
    rows[1].results[entry_gate_speed].reset(); // missed the gate
    rows[2].error = "could not detect dive";
    jump_record unread; // a file that could not be read: no time
    rows.push_back(unread);

    auto plots = progression_plots(rows, true);
    ASSERT_EQ(plots.size(), 4u);
    const plot& entry = *plots[0];
    EXPECT_EQ(entry.title, "entry gate speed since 2019-07-14");
    EXPECT_EQ(entry.y_label, "entry gate speed (km/h)");
    const series& dots = *entry.series;
    const series& mean = *dots.next;
    EXPECT_EQ(dots.style, style_dots);
    EXPECT_EQ(mean.style, style_line);
    ASSERT_EQ(dots.count, 2u); // the missed gate and the failed analysis are left out
    EXPECT_DOUBLE_EQ(dots.points[0][0], 0);
    EXPECT_DOUBLE_EQ(dots.points[0][1], 23 * 3.6);
    EXPECT_DOUBLE_EQ(dots.points[1][0], 6);
    EXPECT_DOUBLE_EQ(mean.points[1][1], 21.5 * 3.6);
    EXPECT_EQ(plots[2]->series->count, 3u);

    test_support::temp_dir dir;
    std::string err;
    ASSERT_TRUE(write_progression_pdf(dir.file("season.pdf"), plots, err)) << err;
    EXPECT_EQ(test_support::read_file(dir.file("season.pdf")).rfind("%PDF-", 0), 0u);
    EXPECT_TRUE(progression_plots({ unread }, false).empty());
}

TEST(progression, plot_writes_one_landscape_page)
{
    test_support::temp_dir dir;
    const std::string db = dir.file("season.sqlite");
    ASSERT_EQ(logbook_test::run(db, { "add", "-i", logbook_test::examples_dir() }).status, 0);
    const std::string pdf = test_support::output_dir("logbook") + "/progression.pdf";
    auto r = logbook_test::run(db, { "plot", pdf });
    ASSERT_EQ(r.status, 0) << r.err;
    if (std::system("command -v pdfinfo >/dev/null 2>&1") != 0)
        GTEST_SKIP() << "pdfinfo not installed";
    r = test_support::run_program("/usr/bin/pdfinfo", { pdf });
    const size_t pages = r.out.find("Pages:");
    ASSERT_NE(pages, std::string::npos) << r.out;
    EXPECT_EQ(std::stoi(r.out.substr(pages + 6)), 1) << r.out;
    EXPECT_NE(r.out.find("792 x 612 pts"), std::string::npos) << r.out;
}
