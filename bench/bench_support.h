// SPDX-License-Identifier: GPL-3.0-or-later
// What the benchmarks share: quieting the output of the runs they time.
#pragma once

#include <fcntl.h>
#include <unistd.h>

#include <cstdio>

// Sends a standard stream (stdout by default) to /dev/null for the lifetime
// of the object, so the runs' logs and reports stay out of the benchmark's
// own output.
struct quiet_stream {
    int fd;
    int saved;
    explicit quiet_stream(int stream = STDOUT_FILENO)
        : fd(stream)
    {
        std::fflush(nullptr);
        saved = dup(fd);
        int null = open("/dev/null", O_WRONLY);
        dup2(null, fd);
        close(null);
    }
    ~quiet_stream()
    {
        std::fflush(nullptr);
        dup2(saved, fd);
        close(saved);
    }
    quiet_stream(const quiet_stream&) = delete;
    quiet_stream& operator=(const quiet_stream&) = delete;
};
