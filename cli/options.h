// SPDX-License-Identifier: GPL-3.0-or-later
// The command line of skimra-cli: options, usage, output names, errors.
#pragma once

#include <cstdint>
#include <string>

#define SKIMRA_VERSION "version 2.23 (August 2, 2026)"

struct options {
    bool debug = false; // -d: containers and coordinate dump
    bool implicit_gate = false; // -i: frame from the swoop itself
    bool in_pond = false; // -p: write the pond into the gate geometry file
    bool metric = false; // -m: metres and km/h
    bool wind = false; // -w: the wind and the airspeeds after the report
    uint32_t time_aloft = 0; // -t: ms between entry gate and touchdown, 0 = not given
    std::string gate_file; // -g: gate file, empty = none
    bool baro = false; // -b: heights from the barometer (implied by -s)
    std::string sensor_file; // -s: sensor file, empty = SENSOR.CSV beside the swoop
    std::string swoop_file; // the one argument after the options, empty = none
};

// Reads the command line. Prints usage and exits on bad usage, prints the
// version line and exits 0 on -v or --version; --help prints the usage and
// the options beyond it and exits 0.
void parse_options(int argc, char** argv, options& opts);

void print_usage(const char* program);

// Prints "ERROR: <message>" on standard output and exits with status 1 when
// err is set; returns otherwise.
void die_on_error(const char* err);

// The naming rule of output files: a copy of path with its last three
// characters replaced by ext, when ext has 3 characters and path has a
// 3-character extension (longer than 4 characters, "." fourth from the end);
// empty otherwise.
std::string output_name(const std::string& path, const char* ext);

// A copy of path with its last three characters replaced by ext (which must
// be 3 characters); exits with a message when path has no 3-character
// extension.
std::string replace_extension(const std::string& path, const char* ext);

// -t's argument: seconds as the standard string-to-double reads them, x 1000,
// truncated toward zero to 64 bits; the low 32 bits are kept.
uint32_t time_aloft_from_text(const char* text);
