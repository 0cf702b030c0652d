// SPDX-License-Identifier: GPL-3.0-or-later
// The two runs of skimra-cli: the gate survey and the swoop analysis.
#pragma once

#include <string>

#include "cli/options.h"
#include "core/swoop/swoop.h"

// Stops the program (status 1) when an output of this invocation would
// replace one of its input files. Runs before anything is read or written.
void check_overwrites(const options& opts);

void run_gate(const options& opts);
void run_swoop(const options& opts);

// Writes the part of the track around the swoop as a swoop container.
void write_debug_slice(const std::string& path, const swoop& s);
