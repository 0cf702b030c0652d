// SPDX-License-Identifier: GPL-3.0-or-later

#include "core/gate/gate_file.h"

#include <cmath>
#include <cstdio>
#include <cstring>
#include <filesystem>
#include <new>
#include <system_error>

#include "core/platform/platform.h"
#include "core/track/error_text.h"

namespace {

// Mapping lines may lead from file to file; a file that maps to itself (or a
// loop of files) would otherwise never end.
constexpr int max_mapping_depth = 32;

// Lines are read in pieces of at most 99 characters; each piece is a line of
// its own.
constexpr int line_size = 100;

// The copy every swoop run reads.
constexpr const char* matrix_copy_name = "matrix.txt";

void write_pond(std::FILE* f, const std::vector<vec3>& pond)
{
    std::fputs("\n// These (x, y) coordinates define the perimeter of the swoop pond.\n", f);
    std::fputs("// They are expressed in meters in the local reference frame.\n\n", f);
    size_t on_line = 0; // points on the current line
    for (const vec3& p : pond) {
        if (p[0] == 0 && p[1] == 0 && p[2] == 0)
            break;
        if (on_line > 0)
            std::fputs("  ", f);
        std::fprintf(f, "(%6.1f, %6.1f),", p[0], p[1]);
        if (++on_line == 4) {
            std::fputc('\n', f);
            on_line = 0;
        }
    }
    if (on_line > 0)
        std::fputc('\n', f);
}

// True when both names lead to one existing file (the copy would truncate
// its own source).
bool same_file(const char* a, const char* b)
{
    std::error_code ec;
    bool same = std::filesystem::equivalent(a, b, ec);
    return !ec && same;
}

// What one file (and the files it maps to) yields.
struct read_result {
    std::unique_ptr<frame_matrix> matrix; // null for "nogate" or on error
    std::vector<vec3> pond; // local (x, y, 0) m, terminated; empty = none
    double theta = 0; // degrees
};

template <class T> bool all_finite(const T* v, int n)
{
    for (int i = 0; i < n; ++i) {
        if (!std::isfinite(v[i]))
            return false;
    }
    return true;
}

bool starts_with(const char* s, const char* prefix)
{
    return std::strncmp(s, prefix, std::strlen(prefix)) == 0;
}

// Reads one file. depth counts the mapping lines followed to get here.
// Returns false on error (*err set); a "nogate" result returns true with a
// null matrix.
bool read_file(const char* path, const char* swoop_name, int depth, read_result& out, const char** err)
{
    std::unique_ptr<frame_matrix> matrix;
    try {
        matrix = std::make_unique<frame_matrix>();
    } catch (const std::bad_alloc&) {
        *err = errmsg("failed to malloc matrix");
        return false;
    }
    file_ptr f(std::fopen(path, "rb"));
    if (!f) {
        *err = errmsg("failed to open file: %s", path);
        return false;
    }

    std::vector<vec3> pond; // local (x, y, 0) m, without terminator while reading
    double theta = 0; // degrees
    int rows = 0; // matrix rows read
    char line[line_size];
    while (std::fgets(line, sizeof line, f.get())) {
        if (line[0] == '\n' || starts_with(line, "//"))
            continue;
        if (line[0] == '[') {
            double v[4];
            // No survey gives "nan" or "inf"; a frame made of them would
            // put every swoop nowhere.
            if (rows == 4 || std::sscanf(line, "[%lf, %lf, %lf, %lf]", &v[0], &v[1], &v[2], &v[3]) != 4
                || !all_finite(v, 4)) {
                *err = errmsg("failed to parse %s", path);
                return false;
            }
            for (int c = 0; c < 4; ++c)
                (*matrix)[rows][c] = v[c];
            ++rows;
            continue;
        }
        if (line[0] == '(') {
            float v[8];
            int n = std::sscanf(line, "(%f, %f), (%f, %f), (%f, %f), (%f, %f)", &v[0], &v[1], &v[2], &v[3],
                &v[4], &v[5], &v[6], &v[7]);
            if (n < 2 || n % 2 != 0 || !all_finite(v, n)) {
                *err = errmsg("failed to parse %s", path);
                return false;
            }
            try {
                if (pond.capacity() == 0)
                    pond.reserve(512);
                for (int p = 0; p < n; p += 2)
                    pond.push_back({ v[p], v[p + 1], 0.0 });
            } catch (const std::bad_alloc&) {
                *err = errmsg("failed to realloc pond array");
                return false;
            }
            continue;
        }
        if (starts_with(line, "theta = ")) {
            if (std::sscanf(line, "theta = %lf", &theta) != 1 || !std::isfinite(theta)) {
                *err = errmsg("failed to parse %s", path);
                return false;
            }
            continue;
        }
        if (line[0] != '*' && !(line[0] >= '0' && line[0] <= '9')) {
            *err = errmsg("invalid line in %s", path);
            return false;
        }

        // Mapping line: "<pattern> - <target>". Both buffers hold a whole
        // line piece, and the widths keep the scan inside them regardless.
        char pattern[line_size];
        char target[line_size];
        if (std::sscanf(line, "%99s - %99[^\r\n]", pattern, target) != 2) {
            *err = errmsg("failed to parse %s", path);
            return false;
        }
        const char* name = swoop_name ? swoop_name : "";
        bool applies
            = std::strcmp(pattern, "*") == 0 || std::strncmp(name, pattern, std::strlen(pattern)) == 0;
        if (!applies)
            continue;
        if (std::strcmp(target, "nogate") == 0) {
            out.matrix.reset();
            out.pond.clear();
            return true;
        }
        // One leading and one trailing double quote are removed.
        char* next = target[0] == '"' ? target + 1 : target;
        size_t len = std::strlen(next);
        if (len > 0 && next[len - 1] == '"')
            next[len - 1] = '\0';
        if (depth + 1 > max_mapping_depth) {
            *err = errmsg("too many nested mapping lines in %s", path);
            return false;
        }
        f.reset();
        return read_file(next, swoop_name, depth + 1, out, err);
    }

    if (rows != 4) {
        *err = errmsg("failed to parse %s", path);
        return false;
    }
    if (!pond.empty()) {
        try {
            pond.push_back({ 0.0, 0.0, 0.0 });
        } catch (const std::bad_alloc&) {
            *err = errmsg("failed to realloc pond array");
            return false;
        }
    }
    out.matrix = std::move(matrix);
    out.pond = std::move(pond);
    out.theta = theta;
    return true;
}

} // namespace

void gate_file_write(const char* path, const frame_matrix& matrix, double theta_degrees,
    const std::vector<vec3>& pond, const char** err)
{
    file_ptr f(std::fopen(path, "wb"));
    if (!f) {
        *err = errmsg("failed to open file: %s", path);
        return;
    }
    std::FILE* out = f.get();
    std::fputs("// This transformation matrix converts from ECEF coordinates to local\n"
               "// coordinates.  The local reference frame places the origin at the center\n"
               "// of the entry gate with the z-axis pointing up and the x-axis pointing\n"
               "// along the swoop course.\n\n",
        out);
    for (const auto& row : matrix) {
        std::fprintf(out, "[%12.9f,", row[0]);
        std::fprintf(out, " %12.9f,", row[1]);
        std::fprintf(out, " %12.9f,", row[2]);
        std::fprintf(out, " %12.3f]\n", row[3]);
    }
    if (theta_degrees != 0) {
        std::fputs("\n// This value specifies the clockwise rotation (in degrees) needed for\n"
                   "// the entry gate when processing a speed carve run.\n\n",
            out);
        std::fprintf(out, "theta = %12.8f\n", theta_degrees);
    }
    if (!pond.empty())
        write_pond(out, pond);
    if (!file_close_checked(f)) {
        *err = errmsg("failed to write file: %s", path);
        return;
    }

    // Writing the geometry straight into "matrix.txt" leaves nothing to copy;
    // copying a file onto itself would empty it.
    if (same_file(path, matrix_copy_name))
        return;
    file_copy(matrix_copy_name, path, err);
}

void gate_file_read(const char* path, const char* swoop_name, std::unique_ptr<frame_matrix>* matrix,
    std::vector<vec3>* pond, double* theta_degrees, const char** err)
{
    matrix->reset();
    pond->clear();
    *err = nullptr;

    read_result result;
    if (!read_file(path, swoop_name, 0, result, err))
        return;
    if (!result.matrix)
        return; // "nogate": no matrix, no pond, theta untouched
    *matrix = std::move(result.matrix);
    *pond = std::move(result.pond);
    *theta_degrees = result.theta;
}
