// SPDX-License-Identifier: GPL-3.0-or-later
// The analysed samples of a swoop as a CSV file for a spreadsheet.
#pragma once

#include "core/swoop/swoop.h"

// The header line of the file (without its line end).
extern const char* const samples_csv_header;

// Writes the samples from the top of the turn to the stop (RFC 4180, CR LF
// line ends): time from the entry-gate crossing (from the top of the turn
// when the gate was missed) in s, local x, y, z in m, horizontal, vertical
// (positive downward) and total speed in m/s, heading and turn rate in
// degrees and degrees/s, and the logger's accuracies, each "%.3f" (empty
// when not a finite number). "failed to open file: %s" or "failed to write
// file: %s" when it cannot be written; "no points found in track" without
// samples.
void samples_csv_write(const char* path, const swoop& s, const char** err);
