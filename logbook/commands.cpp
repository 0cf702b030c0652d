// SPDX-License-Identifier: GPL-3.0-or-later
// The command line of skimra-logbook: global options, subcommands, help.
//
//   skimra-logbook [--db PATH] SUBCOMMAND [OPTIONS] [ARGUMENTS]
//
// Options take their value as the next argument or after "=" ("--db=PATH");
// "--" ends the options. A usage error prints its message and a hint on
// stderr and exits with status 2.

#include "logbook/commands.h"

#include <glib.h>

#include <cstdio>
#include <filesystem>
#include <map>
#include <set>

#include "logbook/jump_store.h"

namespace {

const char* const main_help
    = "usage: skimra-logbook [--db PATH] SUBCOMMAND [OPTIONS]\n"
      "\n"
      "A pilot's season of swoops in one database: analyse swoop files into it,\n"
      "list them, find the bests, export them and plot the progression.\n"
      "\n"
      "Subcommands:\n"
      "  add (-g GATE | -i) [-b] [-w] PATH...\n"
      "                               analyse swoop files (and folders) into the logbook;\n"
      "                               -b with barometric heights, -w with the wind and\n"
      "                               the entry-gate airspeed\n"
      "  list [--since YYYY-MM-DD] [--course NAME] [-m]\n"
      "                               the jumps, newest first\n"
      "  best [-m]                    the best results and the jumps they came from\n"
      "  export --csv FILE            every row as CSV for a spreadsheet\n"
      "  plot FILE.pdf [-m]           the season's progression as a PDF\n"
      "\n"
      "Options:\n"
      "  --db PATH    the logbook file (default: %s)\n"
      "  -h, --help   this text; 'skimra-logbook SUBCOMMAND --help' for a subcommand\n"
      "  --version    the version line\n";

struct subcommand_help {
    const char* name;
    const char* text;
};

constexpr subcommand_help helps[] = {
    { "add",
        "usage: skimra-logbook [--db PATH] add (-g GATE | -i) [-b] [-w] PATH...\n"
        "\n"
        "Analyses swoop files into the logbook. Folders are searched recursively for\n"
        "files ending in .csv or .skm (in any case), except the logger's SENSOR.CSV.\n"
        "A file already recorded with the same size and modification time against\n"
        "the same course is skipped; a file whose content or course changed is\n"
        "analysed again. A file that cannot be analysed is recorded with its error.\n"
        "Ends with the line\n"
        "\"added N, updated N, unchanged N, failed N\".\n"
        "\n"
        "  -g GATE   judge every swoop on the course surveyed from this gate walk or\n"
        "            gate container (nothing is written beside it)\n"
        "  -i        judge each swoop in a frame derived from the swoop itself\n"
        "  -b        heights from the barometer: fuse the SENSOR.CSV beside each swoop\n"
        "            (any letter case) and record the entry- and exit-gate heights\n"
        "            above the stop with their 1-sigma; a swoop without one keeps GPS\n"
        "            heights. A file recorded without -b, or whose sensor file changed,\n"
        "            is analysed again\n"

        "  -w        also estimate the wind from the canopy flight before the turn and\n"
        "            record it with the entry-gate airspeed; a file recorded without\n"
        "            the wind is analysed again\n" },
    { "list",
        "usage: skimra-logbook [--db PATH] list [--since YYYY-MM-DD] [--course NAME] [-m]\n"
        "\n"
        "Prints the jumps as a table, newest first, in feet and mph; failed files\n"
        "are listed with their error.\n"
        "\n"
        "  --since YYYY-MM-DD   only jumps on or after that day (UTC)\n"
        "  --course NAME        only jumps on that course (a gate file name, or \"own frame\")\n"
        "  -m                   metres and km/h\n" },
    { "best",
        "usage: skimra-logbook [--db PATH] best [-m]\n"
        "\n"
        "Prints the highest entry-gate speed, entry-gate airspeed (of jumps added\n"
        "with -w), exit-gate speed, max horizontal, total and vertical speed, degrees\n"
        "of rotation and distance to stop, each with the jump it came from.\n"
        "\n"
        "  -m   metres and km/h\n" },
    { "export",
        "usage: skimra-logbook [--db PATH] export --csv FILE\n"
        "\n"
        "Writes every row as CSV (RFC 4180) with a header line: SI units, times in\n"
        "ISO 8601 UTC, an empty field where a value is missing. FILE - is stdout.\n" },
    { "plot",
        "usage: skimra-logbook [--db PATH] plot FILE.pdf [-m]\n"
        "\n"
        "Draws entry-gate speed, max horizontal speed, degrees of rotation and\n"
        "rollout height against days since the first jump, each with the mean of\n"
        "the last 10 jumps, on one PDF page.\n"
        "\n"
        "  -m   metres and km/h\n" },
};

int usage_error(const std::string& message)
{
    print_error(message);
    std::fputs("Try 'skimra-logbook --help'.\n", stderr);
    return exit_usage;
}

bool is_help(const std::string& arg)
{
    return arg == "-h" || arg == "--help";
}

// A subcommand's arguments: flags, options with a value, the rest.
struct parsed_args {
    std::set<std::string> flags;
    std::map<std::string, std::string> values;
    std::vector<std::string> positional;
};

// False with err for an unknown option, a missing value or a repeated option.
bool parse_args(const std::vector<std::string>& args, const std::set<std::string>& flag_names,
    const std::set<std::string>& value_names, parsed_args& out, std::string& err)
{
    bool options_ended = false;
    for (size_t i = 0; i < args.size(); ++i) {
        const std::string& a = args[i];
        if (options_ended || a.size() < 2 || a[0] != '-') {
            out.positional.push_back(a);
            continue;
        }
        if (a == "--") {
            options_ended = true;
            continue;
        }
        const size_t eq = a.find('=');
        const std::string name = a.substr(0, eq);
        if (flag_names.count(name) && eq == std::string::npos) {
            out.flags.insert(name);
        } else if (value_names.count(name)) {
            if (out.values.count(name)) {
                err = name + " given twice";
                return false;
            }
            if (eq != std::string::npos) {
                out.values[name] = a.substr(eq + 1);
            } else if (i + 1 < args.size()) {
                out.values[name] = args[++i];
            } else {
                err = name + " needs a value";
                return false;
            }
        } else {
            err = "unknown option " + a;
            return false;
        }
    }
    return true;
}

int run_subcommand(const std::string& name, const std::vector<std::string>& args, const std::string& db_path)
{
    static const std::map<std::string, std::pair<std::set<std::string>, std::set<std::string>>> grammar = {
        { "add", { { "-i", "-b", "-w" }, { "-g" } } },
        { "list", { { "-m" }, { "--since", "--course" } } },
        { "best", { { "-m" }, {} } },
        { "export", { {}, { "--csv" } } },
        { "plot", { { "-m" }, {} } },
    };
    auto rule = grammar.find(name);
    if (rule == grammar.end())
        return usage_error("unknown subcommand " + name);
    for (const std::string& a : args) {
        if (a == "--")
            break;
        if (is_help(a)) {
            for (const subcommand_help& h : helps)
                if (name == h.name)
                    std::fputs(h.text, stdout);
            return exit_ok;
        }
    }
    parsed_args p;
    std::string err;
    if (!parse_args(args, rule->second.first, rule->second.second, p, err))
        return usage_error(name + ": " + err);
    const display_units units(p.flags.count("-m") > 0); // what list, best and plot show

    if (name == "add") {
        add_options opts;
        opts.own_frame = p.flags.count("-i") > 0;
        opts.baro = p.flags.count("-b") > 0;
        opts.wind = p.flags.count("-w") > 0;
        const bool has_gate = p.values.count("-g") > 0;
        if (has_gate)
            opts.gate_file = p.values["-g"];
        if (opts.own_frame == has_gate)
            return usage_error("add: give exactly one of -g GATE and -i");
        if (p.positional.empty())
            return usage_error("add: no swoop files or folders given");
        opts.paths = p.positional;
        return logbook_add(db_path, opts);
    }
    if (name == "export") {
        if (!p.values.count("--csv") || p.values["--csv"].empty())
            return usage_error("export: --csv FILE is required");
        if (!p.positional.empty())
            return usage_error("export: unexpected argument " + p.positional.front());
        return logbook_export_csv(db_path, p.values["--csv"]);
    }
    if (name == "plot") {
        if (p.positional.size() != 1)
            return usage_error("plot: give one PDF file to write");
        return logbook_plot(db_path, p.positional.front(), units);
    }
    if (!p.positional.empty())
        return usage_error(name + ": unexpected argument " + p.positional.front());
    if (name == "best")
        return logbook_best(db_path, units);
    list_options opts;
    opts.units = units;
    if (p.values.count("--course"))
        opts.course = p.values["--course"];
    if (p.values.count("--since")) {
        opts.since_utc = utc_midnight_ms(p.values["--since"]);
        if (!opts.since_utc)
            return usage_error("list: --since wants a date YYYY-MM-DD, not " + p.values["--since"]);
    }
    return logbook_list(db_path, opts);
}

} // namespace

void print_error(const std::string& message)
{
    const std::string line = "skimra-logbook: " + message + "\n";
    std::fwrite(line.data(), 1, line.size(), stderr);
}

bool load_jumps(const std::string& db_path, const jump_filter& filter, std::vector<jump_record>& rows)
{
    std::string err;
    logbook lb;
    if (logbook_open(lb, db_path, logbook_access::read, err)) {
        rows = jump_store_rows(lb, filter, err);
        if (err.empty())
            return true;
        err = db_path + ": " + err;
    }
    print_error(err);
    return false;
}

int logbook_main(int argc, char** argv)
{
    std::vector<std::string> args(argv + 1, argv + argc);
    std::optional<std::string> db_path;
    size_t i = 0;
    for (; i < args.size() && args[i].size() > 1 && args[i][0] == '-'; ++i) {
        const std::string& a = args[i];
        if (is_help(a)) {
            std::printf(main_help, logbook_default_path().c_str());
            return exit_ok;
        }
        if (a == "--version") {
            std::printf("skimra-logbook version %s\n", logbook_analysis_version);
            return exit_ok;
        }
        if (a == "--db" || a.rfind("--db=", 0) == 0) {
            if (db_path)
                return usage_error("--db given twice");
            if (a == "--db" && i + 1 == args.size())
                return usage_error("--db needs a path");
            db_path = a == "--db" ? args[++i] : a.substr(5);
            if (db_path->empty())
                return usage_error("--db needs a path");
            continue;
        }
        return usage_error("unknown option " + a + " (options of a subcommand come after it)");
    }
    if (i == args.size())
        return usage_error("no subcommand given");
    const std::string name = args[i];
    std::vector<std::string> rest(args.begin() + static_cast<std::ptrdiff_t>(i) + 1, args.end());

    if (!db_path) {
        db_path = logbook_default_path();
        // The default place is made on first use; a path given with --db must lie in a folder that exists.
        if (name == "add") {
            const std::string folder = std::filesystem::path(*db_path).parent_path().string();
            if (g_mkdir_with_parents(folder.c_str(), 0700) != 0) {
                print_error("cannot create the folder " + folder);
                return exit_failure;
            }
        }
    }
    return run_subcommand(name, rest, *db_path);
}
