// SPDX-License-Identifier: GPL-3.0-or-later
// Where the logger keeps its sensor file: SENSOR.CSV in the folder of the
// track it recorded with it, in whatever letter case the card's file system
// or a copy left it. The command line, the desktop program and the logbook
// find it here, so they agree on which file belongs to a swoop.
#pragma once

#include <string>

#include "core/sensor/baro_fusion.h"
#include "core/sensor/sensor_file.h"
#include "core/swoop/swoop.h"

// Whether a file name (without folder) is the logger's sensor file name,
// "SENSOR.CSV" in any letter case.
bool is_sensor_file_name(const std::string& name);

// The sensor file in the folder of a track file, empty when there is none.
// "SENSOR.CSV" itself wins; otherwise the first name, in byte order, that
// differs from it only in letter case (a folder may hold more than one on
// a case-sensitive file system).
std::string sensor_file_beside(const std::string& track_path);

// Reads the sensor file at `path` and fuses it with the loaded swoop's track
// (sensor_file_read, then swoop_baro_fuse): their messages on failure, with
// `out` left empty.
void swoop_baro_from_file(const swoop& s, const std::string& path, baro_fusion& out, const char** err);
