// The two runs of skimra-cli: the gate survey and the swoop analysis.
#pragma once

#include "cli/options.h"

void run_gate(const options& opts);
void run_swoop(const options& opts);
