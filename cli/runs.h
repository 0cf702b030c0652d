// SPDX-License-Identifier: GPL-3.0-or-later
// The two runs of skimra-cli: the gate survey and the swoop analysis.
#pragma once

#include <string>

#include "cli/options.h"
#include "core/sensor/baro_fusion.h"
#include "core/swoop/swoop.h"

// Stops the program (status 1) when an output of this invocation would
// replace one of its input files. Runs before anything is read or written.
void check_overwrites(const options& opts);

void run_gate(const options& opts);

// The swoop file loaded and, with -b or -s, its sensor file read, checked
// and fused (heights set for the analysis). Stops the program on any error
// before an output is written.
struct swoop_input {
    std::unique_ptr<swoop> s;
    baro_fusion fusion; // empty without -b
};
swoop_input load_swoop(const options& opts);

// Analyses a loaded swoop and writes its outputs.
void run_swoop(const options& opts, swoop_input in);

// Writes the part of the track around the swoop as a swoop container.
void write_debug_slice(const std::string& path, const swoop& s);
