// SPDX-License-Identifier: GPL-3.0-or-later
// Black-box tests of skimra-cli's command line: exact output and status.
#include <gtest/gtest.h>

#include "cli/options.h"
#include "tests/support/test_support.h"

using test_support::run_program;

namespace {

std::string usage(const std::string& program)
{
    return "\nCOMMAND LINE USAGE:\n\n"
           "   "
        + program
        + " [-vdipm] [-t time] [-g gate] [swoop]\n\n"
          "      -v        Display tool version\n"
          "      -d        Debug mode (output coordinate file)\n"
          "      -i        Determine entry gate implicitly from the swoop\n"
          "      -p        Gate is located in a pond (pond will be drawn in plots)\n"
          "      -m        Output metric (SI) units\n"
          "      -t time   Specify time aloft (between entry gate and touchdown)\n"
          "      -g gate   Locate entry gate using GPS track from gate file\n"
          "      swoop     Process swoop using GPS track from swoop file\n\n";
}

const std::string version_line = "Skimra version 2.23 (August 2, 2026)\n";

} // namespace

TEST(command_line, no_arguments_prints_usage_and_fails)
{
    auto r = run_program(test_support::cli_path(), {});
    EXPECT_EQ(r.out, usage(test_support::cli_path()));
    EXPECT_EQ(r.err, "");
    EXPECT_EQ(r.status, 1);
}

TEST(command_line, version_wins_over_everything_after_it)
{
    auto r = run_program(test_support::cli_path(), { "-v" });
    EXPECT_EQ(r.out, version_line);
    EXPECT_EQ(r.status, 0);
    r = run_program(test_support::cli_path(), { "-dv", "-x", "a", "b" });
    EXPECT_EQ(r.out, version_line);
    EXPECT_EQ(r.status, 0);
}

TEST(command_line, long_help_and_version)
{
    const std::string cli = test_support::cli_path();
    const std::string beyond
        = "      -b        Heights from the barometer in SENSOR.CSV beside the swoop\n"
          "      -s sensor Heights from the barometer in the given sensor file (implies -b)\n"
          "      -w        Estimate the wind under canopy and report airspeeds\n"
          "      --help    Display this usage and exit\n"
          "      --version Display tool version and exit\n";
    const struct {
        std::vector<std::string> args;
        std::string out;
    } cases[] = {
        { { "--help" }, usage(cli) + beyond },
        { { "-dm", "--help", "-x" }, usage(cli) + beyond },
        { { "--version" }, version_line },
        { { "-t", "2", "--version", "a", "b" }, version_line },
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.args[0]);
        auto r = run_program(cli, c.args);
        EXPECT_EQ(r.out, c.out);
        EXPECT_EQ(r.err, "");
        EXPECT_EQ(r.status, 0);
    }
    // Only where an option word may stand: as -g's argument it is a file
    // name, after the swoop file a second file; other long words stay unknown.
    test_support::temp_dir dir;
    auto r = run_program(cli, { "-g", "--help" }, dir.path());
    EXPECT_EQ(r.out, "ERROR: filename does not have 3 character extension\n");
    EXPECT_EQ(r.status, 1);
    r = run_program(cli, { "swoop.csv", "--help" }, dir.path());
    EXPECT_EQ(r.out, "Too many command line parameters\n");
    EXPECT_EQ(r.status, 1);
    r = run_program(cli, { "--helpx" });
    EXPECT_EQ(r.err, cli + ": unknown option -- -\n");
    EXPECT_EQ(r.out, usage(cli));
    EXPECT_EQ(r.status, 1);
}

TEST(command_line, options_without_files_do_nothing)
{
    test_support::temp_dir dir;
    auto r = run_program(test_support::cli_path(), { "-d" }, dir.path());
    EXPECT_EQ(r.out, "");
    EXPECT_EQ(r.status, 0);
    r = run_program(test_support::cli_path(), { "-dm", "-t2.5", "-p" }, dir.path());
    EXPECT_EQ(r.out, "");
    EXPECT_EQ(r.status, 0);
}

TEST(command_line, unknown_option_and_missing_argument_are_worded_as_specified)
{
    const std::string cli = test_support::cli_path();
    auto r = run_program(cli, { "-x" });
    EXPECT_EQ(r.err, cli + ": unknown option -- x\n");
    EXPECT_EQ(r.out, usage(cli));
    EXPECT_EQ(r.status, 1);

    r = run_program(cli, { "-t" });
    EXPECT_EQ(r.err, cli + ": option requires an argument -- t\n");
    EXPECT_EQ(r.out, usage(cli));
    EXPECT_EQ(r.status, 1);

    r = run_program(cli, { "-d", "-g" });
    EXPECT_EQ(r.err, cli + ": option requires an argument -- g\n");
    EXPECT_EQ(r.status, 1);
}

TEST(command_line, conflicting_and_surplus_parameters)
{
    test_support::temp_dir dir;
    auto r = run_program(test_support::cli_path(), { "-i", "-g", "gate.csv" }, dir.path());
    EXPECT_EQ(r.out, "Conflicting parameters (-i and -g)\n");
    EXPECT_EQ(r.status, 1);

    r = run_program(test_support::cli_path(), { "a.csv", "b.csv" }, dir.path());
    EXPECT_EQ(r.out, "Too many command line parameters\n");
    EXPECT_EQ(r.status, 1);

    // Options stop at the first file name: the -m is a second file.
    r = run_program(test_support::cli_path(), { "swoop.csv", "-m" }, dir.path());
    EXPECT_EQ(r.out, "Too many command line parameters\n");
    EXPECT_EQ(r.status, 1);
}

TEST(command_line, names_without_three_character_extension_stop_before_reading)
{
    test_support::temp_dir dir;
    for (const char* name : { "swoop", "walk.data", "a.b", ".csv" }) {
        auto r = run_program(test_support::cli_path(), { name }, dir.path());
        EXPECT_EQ(r.out, "ERROR: filename does not have 3 character extension\n") << name;
        EXPECT_EQ(r.status, 1) << name;
    }
    auto r = run_program(test_support::cli_path(), { "-g", "walk", "x.csv" }, dir.path());
    EXPECT_EQ(r.out, "ERROR: filename does not have 3 character extension\n");
    EXPECT_EQ(r.status, 1);
}

TEST(command_line, replace_extension_keeps_the_stem)
{
    EXPECT_EQ(replace_extension("walk.csv", "txt"), "walk.txt");
    EXPECT_EQ(replace_extension("dir.v2/a.CSV", "kml"), "dir.v2/a.kml");
    EXPECT_EQ(replace_extension("x.csv", "pdf"), "x.pdf");
}

TEST(command_line, time_aloft_truncates_toward_zero_and_keeps_low_32_bits)
{
    EXPECT_EQ(time_aloft_from_text("2.5"), 2500u);
    EXPECT_EQ(time_aloft_from_text("x"), 0u);
    EXPECT_EQ(time_aloft_from_text("2.9999"), 2999u);
    EXPECT_EQ(time_aloft_from_text("-1"), 4294966296u);
    EXPECT_EQ(time_aloft_from_text("-0.0009"), 0u);
    EXPECT_EQ(time_aloft_from_text("4294967.296"), 0u); // 2^32 ms wraps to 0
    EXPECT_EQ(time_aloft_from_text("1e300"), 0u); // out of 64-bit range
    EXPECT_EQ(time_aloft_from_text("nan"), 0u);
    EXPECT_EQ(time_aloft_from_text(" 3"), 3000u);
}
