// SPDX-License-Identifier: GPL-3.0-or-later

#include "core/files/container.h"

#include <bit>
#include <cstdio>
#include <new>
#include <stdexcept>
#include <utility>

#include "core/platform/platform.h"
#include "core/track/error_text.h"

namespace {

constexpr unsigned file_header_size = 26; // bytes
constexpr unsigned section_entry_size = 16; // bytes
constexpr uint64_t section_offset_written = file_header_size + section_entry_size;
constexpr uint32_t section_swoop = 1;
constexpr uint32_t section_gate = 2;
constexpr unsigned swoop_header_size = 8; // bytes
constexpr unsigned swoop_sample_size = 70; // bytes, the raw fields of a gps_point
constexpr unsigned gate_header_size = 144; // bytes
constexpr unsigned gate_sample_size = 16; // bytes, one pond point (x, y)

bool read_exact(std::FILE* f, uint8_t* bytes, size_t n)
{
    return std::fread(bytes, 1, n, f) == n;
}

bool write_exact(std::FILE* f, const uint8_t* bytes, size_t n)
{
    return std::fwrite(bytes, 1, n, f) == n;
}

// Bytes from the current position to the end of the file; the position is
// kept. -1 when the stream cannot tell.
int64_t bytes_left(std::FILE* f)
{
    int64_t here = platform_tell(f);
    if (here < 0)
        return -1;
    int64_t end = platform_seek_end(f) ? platform_tell(f) : -1;
    if (!platform_seek(f, static_cast<uint64_t>(here)) || end < here)
        return -1;
    return end - here;
}

uint64_t double_bits(double d)
{
    return std::bit_cast<uint64_t>(d);
}

double bits_double(uint64_t bits)
{
    return std::bit_cast<double>(bits);
}

struct section_entry {
    uint32_t type = 0; // 1 swoop track, 2 gate
    uint64_t offset = 0; // bytes from the start of the file
    uint32_t size = 0; // bytes
};

// Opens the file and reads and checks the file header and the section table
// entry (steps shared by both readers). The stream is left open on success.
bool open_section(const char* path, uint32_t wanted_type, file_ptr& f, section_entry& entry, const char** err)
{
    f.reset(std::fopen(path, "rb"));
    if (!f) {
        *err = errmsg("failed to open file: %s", path);
        return false;
    }
    uint8_t header[file_header_size];
    if (!read_exact(f.get(), header, sizeof header)) {
        *err = errmsg("failed to read SKM header");
        return false;
    }
    if (header[0] != 'u' || header[1] != 'S' || header[2] != 'K' || header[3] != 'M'
        || be_decode(header + 4, 2) != file_header_size || be_decode(header + 14, 2) != section_entry_size) {
        *err = errmsg("invalid SKM header");
        return false;
    }
    if (be_decode(header + 16, 2) != 1) {
        *err = errmsg("more/less than one section");
        return false;
    }
    uint8_t bytes[section_entry_size];
    if (!platform_seek(f.get(), be_decode(header + 6, 8)) || !read_exact(f.get(), bytes, sizeof bytes)) {
        *err = errmsg("failed to read section header table entry");
        return false;
    }
    entry.type = static_cast<uint32_t>(be_decode(bytes, 4));
    entry.offset = be_decode(bytes + 4, 8);
    entry.size = static_cast<uint32_t>(be_decode(bytes + 12, 4));
    if (entry.type != wanted_type) {
        *err = errmsg(wanted_type == section_swoop ? "not a swoop section" : "not a gate section");
        return false;
    }
    return true;
}

// True when the file holds count records of size bytes behind the current
// position; checked before allocating, since count comes from the file.
bool file_holds(std::FILE* f, uint64_t count, uint64_t size)
{
    int64_t left = bytes_left(f);
    return left >= 0 && count * size <= static_cast<uint64_t>(left);
}

void encode_sample(const gps_point& p, uint8_t* b)
{
    be_encode(static_cast<uint64_t>(p.time), 8, b);
    for (int i = 0; i < 3; ++i)
        be_encode(double_bits(p.pos_wgs84[i]), 8, b + 8 + 8 * i);
    for (int i = 0; i < 3; ++i)
        be_encode(double_bits(p.vel_ltp[i]), 8, b + 32 + 8 * i);
    be_encode(std::bit_cast<uint32_t>(p.hacc), 4, b + 56);
    be_encode(std::bit_cast<uint32_t>(p.vacc), 4, b + 60);
    be_encode(std::bit_cast<uint32_t>(p.sacc), 4, b + 64);
    b[68] = p.gpsfix;
    b[69] = p.numsv;
}

void decode_sample(const uint8_t* b, gps_point& p)
{
    p.time = static_cast<int64_t>(be_decode(b, 8));
    for (int i = 0; i < 3; ++i)
        p.pos_wgs84[i] = bits_double(be_decode(b + 8 + 8 * i, 8));
    for (int i = 0; i < 3; ++i)
        p.vel_ltp[i] = bits_double(be_decode(b + 32 + 8 * i, 8));
    p.hacc = std::bit_cast<float>(static_cast<uint32_t>(be_decode(b + 56, 4)));
    p.vacc = std::bit_cast<float>(static_cast<uint32_t>(be_decode(b + 60, 4)));
    p.sacc = std::bit_cast<float>(static_cast<uint32_t>(be_decode(b + 64, 4)));
    p.gpsfix = b[68];
    p.numsv = b[69];
}

// File header and section table entry of a container with one section at
// offset 42.
bool write_file_start(std::FILE* f, uint32_t type, uint64_t section_size, const char** err)
{
    uint8_t header[file_header_size] = { 'u', 'S', 'K', 'M' };
    be_encode(file_header_size, 2, header + 4);
    be_encode(file_header_size, 8, header + 6);
    be_encode(section_entry_size, 2, header + 14);
    be_encode(1, 2, header + 16);
    be_encode(0, 8, header + 18);
    if (!write_exact(f, header, sizeof header)) {
        *err = errmsg("failed to write SKM header");
        return false;
    }
    uint8_t entry[section_entry_size];
    be_encode(type, 4, entry);
    be_encode(section_offset_written, 8, entry + 4);
    be_encode(section_size, 4, entry + 12);
    if (!write_exact(f, entry, sizeof entry)) {
        *err = errmsg("failed to write section header table entry");
        return false;
    }
    return true;
}

} // namespace

uint64_t be_decode(const uint8_t* bytes, unsigned width)
{
    uint64_t value = 0;
    for (unsigned i = 0; i < width; ++i)
        value = (value << 8) | bytes[i];
    return value;
}

void be_encode(uint64_t value, unsigned width, uint8_t* bytes)
{
    for (unsigned i = width; i > 0; --i) {
        bytes[i - 1] = static_cast<uint8_t>(value & 0xff);
        value >>= 8;
    }
}

void swoop_container_read(const char* path, gps_track& track, const char** err)
{
    file_ptr f;
    section_entry entry;
    if (!open_section(path, section_swoop, f, entry, err))
        return;
    uint8_t header[swoop_header_size];
    if (!platform_seek(f.get(), entry.offset) || !read_exact(f.get(), header, sizeof header)) {
        *err = errmsg("failed to read swoop header");
        return;
    }
    if (be_decode(header, 2) != swoop_header_size || be_decode(header + 2, 2) != swoop_sample_size) {
        *err = errmsg("invalid swoop header");
        return;
    }
    uint32_t n = static_cast<uint32_t>(be_decode(header + 4, 4));
    if (entry.size != swoop_header_size + uint64_t { swoop_sample_size } * n) {
        *err = errmsg("incorrect swoop section size");
        return;
    }
    if (!file_holds(f.get(), n, swoop_sample_size)) {
        *err = errmsg("failed to read swoop sample");
        return;
    }
    std::vector<gps_point> points;
    try {
        points.assign(n, gps_point {});
    } catch (const std::bad_alloc&) {
        *err = errmsg("failed to malloc swoop samples");
        return;
    } catch (const std::length_error&) {
        *err = errmsg("failed to malloc swoop samples");
        return;
    }
    uint8_t bytes[swoop_sample_size];
    for (gps_point& p : points) {
        if (!read_exact(f.get(), bytes, sizeof bytes)) {
            *err = errmsg("failed to read swoop sample");
            return;
        }
        decode_sample(bytes, p);
    }
    track.gps_points = std::move(points);
    track.count = n;
    track.capacity = n;
}

void gate_container_read(const char* path, gate_geometry& gate, const char** err)
{
    file_ptr f;
    section_entry entry;
    if (!open_section(path, section_gate, f, entry, err))
        return;
    uint8_t header[gate_header_size];
    if (!platform_seek(f.get(), entry.offset) || !read_exact(f.get(), header, sizeof header)) {
        *err = errmsg("failed to read gate header");
        return;
    }
    if (be_decode(header, 2) != gate_header_size || be_decode(header + 138, 2) != gate_sample_size) {
        *err = errmsg("invalid gate header");
        return;
    }
    uint32_t n = static_cast<uint32_t>(be_decode(header + 140, 4));
    if (entry.size != (uint64_t { n } + 9) * 16) {
        *err = errmsg("incorrect gate section size");
        return;
    }
    frame_matrix matrix {};
    for (int r = 0; r < 4; ++r)
        for (int c = 0; c < 4; ++c)
            matrix[r][c] = bits_double(be_decode(header + 2 + 8 * (4 * r + c), 8));
    double theta = bits_double(be_decode(header + 130, 8));
    if (!file_holds(f.get(), n, gate_sample_size)) {
        *err = errmsg("failed to read gate sample");
        return;
    }
    std::vector<vec3> pond;
    try {
        pond.assign(uint64_t { n } + 1, vec3 { 0, 0, 0 });
    } catch (const std::bad_alloc&) {
        *err = errmsg("failed to malloc gate pond");
        return;
    } catch (const std::length_error&) {
        *err = errmsg("failed to malloc gate pond");
        return;
    }
    uint8_t bytes[gate_sample_size];
    for (uint32_t i = 0; i < n; ++i) {
        if (!read_exact(f.get(), bytes, sizeof bytes)) {
            *err = errmsg("failed to read gate sample");
            return;
        }
        pond[i] = { bits_double(be_decode(bytes, 8)), bits_double(be_decode(bytes + 8, 8)), 0 };
    }
    gate.matrix = matrix;
    gate.theta = theta;
    gate.pond = std::move(pond);
}

void swoop_container_write(const char* path, const gps_point* points, uint32_t count, const char** err)
{
    *err = nullptr;
    file_ptr f(std::fopen(path, "wb"));
    if (!f) {
        *err = errmsg("failed to open file: %s", path);
        return;
    }
    if (!write_file_start(
            f.get(), section_swoop, swoop_header_size + uint64_t { swoop_sample_size } * count, err))
        return;
    uint8_t header[swoop_header_size];
    be_encode(swoop_header_size, 2, header);
    be_encode(swoop_sample_size, 2, header + 2);
    be_encode(count, 4, header + 4);
    if (!write_exact(f.get(), header, sizeof header)) {
        *err = errmsg("failed to write swoop header");
        return;
    }
    uint8_t bytes[swoop_sample_size];
    for (uint32_t i = 0; i < count; ++i) {
        encode_sample(points[i], bytes);
        if (!write_exact(f.get(), bytes, sizeof bytes)) {
            *err = errmsg("failed to write swoop sample");
            return;
        }
    }
    // Buffered bytes reach the disk only now; a full disk shows here.
    if (!file_close_checked(f))
        *err = errmsg(count > 0 ? "failed to write swoop sample" : "failed to write swoop header");
}

void gate_container_write(const char* path, const frame_matrix& matrix, double theta,
    const std::vector<vec3>& pond, const char** err)
{
    *err = nullptr;
    uint32_t n = 0;
    while (n < pond.size() && !(pond[n][0] == 0 && pond[n][1] == 0 && pond[n][2] == 0))
        ++n;
    file_ptr f(std::fopen(path, "wb"));
    if (!f) {
        *err = errmsg("failed to open file: %s", path);
        return;
    }
    if (!write_file_start(f.get(), section_gate, gate_header_size + uint64_t { gate_sample_size } * n, err))
        return;
    uint8_t header[gate_header_size];
    be_encode(gate_header_size, 2, header);
    for (int r = 0; r < 4; ++r)
        for (int c = 0; c < 4; ++c)
            be_encode(double_bits(matrix[r][c]), 8, header + 2 + 8 * (4 * r + c));
    be_encode(double_bits(theta), 8, header + 130);
    be_encode(gate_sample_size, 2, header + 138);
    be_encode(n, 4, header + 140);
    if (!write_exact(f.get(), header, sizeof header)) {
        *err = errmsg("failed to write gate header");
        return;
    }
    uint8_t bytes[gate_sample_size];
    for (uint32_t i = 0; i < n; ++i) {
        be_encode(double_bits(pond[i][0]), 8, bytes);
        be_encode(double_bits(pond[i][1]), 8, bytes + 8);
        if (!write_exact(f.get(), bytes, sizeof bytes)) {
            *err = errmsg("failed to write gate sample");
            return;
        }
    }
    // Buffered bytes reach the disk only now; a full disk shows here.
    if (!file_close_checked(f))
        *err = errmsg(n > 0 ? "failed to write gate sample" : "failed to write gate header");
}
