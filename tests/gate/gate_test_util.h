// SPDX-License-Identifier: GPL-3.0-or-later
// Small helpers for the gate tests: reading the survey log.
#pragma once

#include <string>

namespace gate_test {

// How many lines of the log begin with `start`.
inline int count_lines(const std::string& log, const std::string& start)
{
    int n = 0;
    for (size_t at = 0; (at = log.find(start, at)) != std::string::npos; at += start.size())
        if (at == 0 || log[at - 1] == '\n')
            ++n;
    return n;
}

} // namespace gate_test
