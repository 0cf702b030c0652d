// SPDX-License-Identifier: GPL-3.0-or-later

#include "cli/options.h"

#include <cmath>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <unistd.h>

void print_usage(const char* program)
{
    std::printf("\nCOMMAND LINE USAGE:\n\n");
    std::printf("   %s [-vdipm] [-t time] [-g gate] [swoop]\n\n", program);
    std::printf("      -v        Display tool version\n");
    std::printf("      -d        Debug mode (output coordinate file)\n");
    std::printf("      -i        Determine entry gate implicitly from the swoop\n");
    std::printf("      -p        Gate is located in a pond (pond will be drawn in plots)\n");
    std::printf("      -m        Output metric (SI) units\n");
    std::printf("      -t time   Specify time aloft (between entry gate and touchdown)\n");
    std::printf("      -g gate   Locate entry gate using GPS track from gate file\n");
    std::printf("      swoop     Process swoop using GPS track from swoop file\n\n");
}

namespace {

// --help and --version, beside the single-letter options: read where an
// option word may stand (not as the argument of -t, -g or -s).
void print_long_option(const char* word, const char* program)
{
    if (std::strcmp(word, "--help") == 0) {
        print_usage(program);
        std::printf("      -b        Heights from the barometer in SENSOR.CSV beside the swoop\n");
        std::printf("      -s sensor Heights from the barometer in the given sensor file (implies -b)\n");
        std::printf("      -w        Estimate the wind under canopy and report airspeeds\n");
        std::printf("      --help    Display this usage and exit\n");
        std::printf("      --version Display tool version and exit\n");
        std::exit(0);
    }
    if (std::strcmp(word, "--version") == 0) {
        std::printf("Skimra %s\n", SKIMRA_VERSION);
        std::exit(0);
    }
}

} // namespace

void die_on_error(const char* err)
{
    if (!err)
        return;
    std::printf("ERROR: %s\n", err);
    std::fflush(stdout);
    std::exit(1);
}

std::string output_name(const std::string& path, const char* ext)
{
    if (std::strlen(ext) != 3 || path.size() <= 4 || path[path.size() - 4] != '.')
        return {};
    return path.substr(0, path.size() - 3) + ext;
}

std::string replace_extension(const std::string& path, const char* ext)
{
    if (std::strlen(ext) != 3) {
        std::printf("ERROR: new extension must be 3 characters\n");
        std::exit(1);
    }
    std::string name = output_name(path, ext);
    if (name.empty()) {
        std::printf("ERROR: filename does not have 3 character extension\n");
        std::exit(1);
    }
    return name;
}

uint32_t time_aloft_from_text(const char* text)
{
    double ms = std::strtod(text, nullptr) * 1000;
    // Out of range or not a number: the 64-bit conversion yields its
    // "indefinite" value 0x8000000000000000, whose low 32 bits are 0.
    int64_t whole = INT64_MIN;
    if (ms == ms && ms > -9223372036854775808.0 && ms < 9223372036854775808.0)
        whole = static_cast<int64_t>(ms);
    return static_cast<uint32_t>(static_cast<uint64_t>(whole));
}

void parse_options(int argc, char** argv, options& opts)
{
    if (argc < 2) {
        print_usage(argv[0]);
        std::exit(1);
    }
    // '+': POSIX order, stop at the first argument that is not an option.
    // ':': report a missing argument as ':' so we can word it ourselves.
    opterr = 0;
    int c;
    for (;;) {
        // Between two calls getopt has either finished a word (argv[optind]
        // is the next one) or stopped inside a group such as -dm (argv[optind]
        // is the group), so a whole word --help stands where an option may.
        if (optind < argc)
            print_long_option(argv[optind], argv[0]);
        if ((c = getopt(argc, argv, "+:vdipmbwt:g:s:")) == -1)
            break;
        switch (c) {
        case 'v':
            std::printf("Skimra %s\n", SKIMRA_VERSION);
            std::exit(0);
        case 'd':
            opts.debug = true;
            break;
        case 'i':
            opts.implicit_gate = true;
            break;
        case 'p':
            opts.in_pond = true;
            break;
        case 'm':
            opts.metric = true;
            break;
        case 'w':
            opts.wind = true;
            break;
        case 't':
            opts.time_aloft = time_aloft_from_text(optarg);
            break;
        case 'g':
            opts.gate_file = optarg;
            break;
        case 'b':
            opts.baro = true;
            break;
        case 's':
            opts.baro = true;
            opts.sensor_file = optarg;
            break;
        case ':':
            std::fflush(stdout);
            std::fprintf(stderr, "%s: option requires an argument -- %c\n", argv[0], optopt);
            print_usage(argv[0]);
            std::exit(1);
        default:
            std::fflush(stdout);
            std::fprintf(stderr, "%s: unknown option -- %c\n", argv[0], optopt);
            print_usage(argv[0]);
            std::exit(1);
        }
    }
    if (opts.implicit_gate && !opts.gate_file.empty()) {
        std::printf("Conflicting parameters (-i and -g)\n");
        std::exit(1);
    }
    int left = argc - optind;
    if (left == 1) {
        opts.swoop_file = argv[optind];
    } else if (left > 1) {
        std::printf("Too many command line parameters\n");
        std::exit(1);
    }
}
