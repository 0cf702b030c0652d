// SPDX-License-Identifier: GPL-3.0-or-later
// skimra-logbook export --csv: every row for a spreadsheet, in RFC 4180 form
// (CR LF line ends; a field with a comma, quote, CR or LF is quoted, its
// quotes doubled). Numbers are SI and written in the shortest form that reads
// back to the same double; a missing value is an empty field. Paths are
// written as the file system's bytes.

#include <cerrno>
#include <charconv>
#include <cstdio>
#include <cstring>

#include "core/platform/platform.h"
#include "logbook/commands.h"
#include "logbook/jump_store.h"

namespace {

std::string csv_field(const std::string& text)
{
    if (text.find_first_of(",\"\r\n") == std::string::npos)
        return text;
    std::string quoted = "\"";
    for (char c : text) {
        if (c == '"')
            quoted += '"';
        quoted += c;
    }
    return quoted + "\"";
}

std::string number_field(const std::optional<double>& v)
{
    if (!v)
        return "";
    char text[64];
    auto [end, ec] = std::to_chars(text, text + sizeof text, *v);
    return ec == std::errc() ? std::string(text, end) : "";
}

std::vector<std::string> header_fields()
{
    std::vector<std::string> h = { "path", "jump_time_utc", "course" };
    for (int i = 0; i < result_count; ++i) {
        h.push_back(result_fields[size_t(i)].column);
        if (i == turn_degrees)
            h.push_back("turn_direction");
    }
    for (const char* c : height_columns)
        h.push_back(c);
    h.push_back("skimra_version");
    h.push_back("error");
    return h;
}

std::vector<std::string> row_fields(const jump_record& j)
{
    std::vector<std::string> f = { j.path, j.jump_time_utc ? utc_iso8601(*j.jump_time_utc) : "", j.course };
    for (int i = 0; i < result_count; ++i) {
        f.push_back(number_field(j.results[size_t(i)]));
        if (i == turn_degrees)
            f.push_back(j.right_hand ? (*j.right_hand ? "right" : "left") : "");
    }
    for (const std::optional<double>& v : jump_gate_heights(j.heights))
        f.push_back(number_field(v));
    f.push_back(j.heights.source.value_or(""));
    f.push_back(j.analysis_version);
    f.push_back(j.error.value_or(""));
    return f;
}

void write_line(std::FILE* out, const std::vector<std::string>& fields)
{
    std::string line;
    for (size_t i = 0; i < fields.size(); ++i) {
        if (i > 0)
            line += ',';
        line += csv_field(fields[i]);
    }
    line += "\r\n";
    std::fwrite(line.data(), 1, line.size(), out);
}

} // namespace

int logbook_export_csv(const std::string& db_path, const std::string& csv_path)
{
    std::vector<jump_record> rows;
    if (!load_jumps(db_path, jump_filter {}, rows))
        return exit_failure;
    const bool to_stdout = csv_path == "-";
    file_ptr file;
    if (!to_stdout) {
        file.reset(std::fopen(csv_path.c_str(), "wb"));
        if (!file) {
            print_error("failed to open file: " + csv_path + ": " + std::strerror(errno));
            return exit_failure;
        }
    }
    std::FILE* out = to_stdout ? stdout : file.get();
    write_line(out, header_fields());
    // Oldest jump first; rows without a time (files never read) at the end.
    for (auto it = rows.rbegin(); it != rows.rend(); ++it)
        if (it->jump_time_utc)
            write_line(out, row_fields(*it));
    for (const jump_record& j : rows)
        if (!j.jump_time_utc)
            write_line(out, row_fields(j));
    if (to_stdout)
        return std::fflush(stdout) == 0 ? exit_ok : exit_failure;
    if (!file_close_checked(file)) {
        print_error("failed to write file: " + csv_path);
        return exit_failure;
    }
    return exit_ok;
}
