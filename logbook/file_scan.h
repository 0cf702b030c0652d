// SPDX-License-Identifier: GPL-3.0-or-later
// Finding the swoop files an add names, and what identifies a file's
// content: size, modification stamp and SHA-256.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

// The files to add: every path that is a file as it is, and below every
// folder (recursively, without following linked folders) each file whose
// extension is csv or skm in any case, except the logger's sensor files
// (SENSOR.CSV in any case). Paths come back absolute with
// symbolic links resolved, sorted and without repeats. A path that names
// nothing readable goes to `missing` with its message.
std::vector<std::string> collect_swoop_files(
    const std::vector<std::string>& paths, std::vector<std::string>& missing);

// Size and modification stamp of a file; false with err when it cannot be read.
bool file_identity(const std::string& path, int64_t& size, int64_t& mtime, std::string& err);

// Lower-case hex SHA-256 of a file's content; false with err when it cannot be read.
bool file_sha256(const std::string& path, std::string& hex, std::string& err);
