// The results report of an analysed swoop.
#pragma once

#include <string>

#include "core/swoop/swoop.h"

// The results text in imperial (feet, mph) or metric (metres, km/h) units:
// seventeen lines, each ended by a line feed. A value that is not a finite
// number prints as dashes as wide as its field (four at least), as missing
// values do.
std::string swoop_report(const swoop& s, bool metric, const char** err);
