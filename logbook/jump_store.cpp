// SPDX-License-Identifier: GPL-3.0-or-later
// Reading and writing rows of the jumps table. Every value goes through a
// bound parameter; only column names from result_fields are put into the SQL.

#include "logbook/jump_store.h"

namespace {

// The columns of a whole row in one fixed order: bookkeeping, then the results.
constexpr const char* row_columns[] = { "path", "file_size", "file_mtime", "content_sha256", "course",
    "course_key", "skimra_version", "jump_time_utc_ms", "error", "turn_direction", "with_wind" };
constexpr int row_column_count = static_cast<int>(std::size(row_columns));
// After the results: the barometer's gate heights, their source and the sensor file fused.
constexpr int gate_height_count = 4;
constexpr int heights_at = row_column_count + result_count;

std::string column_list()
{
    std::string list;
    for (const char* c : row_columns)
        list += list.empty() ? c : std::string(", ") + c;
    for (const result_field& f : result_fields)
        list += std::string(", ") + f.column;
    for (const char* c : height_columns)
        list += std::string(", ") + c;
    return list + ", sensor_sha256";
}

std::string text_column(sqlite3_stmt* stmt, int column)
{
    const void* bytes = sqlite3_column_blob(stmt, column);
    int size = sqlite3_column_bytes(stmt, column);
    return bytes ? std::string(static_cast<const char*>(bytes), static_cast<size_t>(size)) : std::string();
}

bool is_null(sqlite3_stmt* stmt, int column)
{
    return sqlite3_column_type(stmt, column) == SQLITE_NULL;
}

// Binds text as exactly its bytes (SQLite keeps them as they are).
void bind_text(sqlite3_stmt* stmt, int index, const std::string& text)
{
    sqlite3_bind_text(stmt, index, text.data(), static_cast<int>(text.size()), SQLITE_TRANSIENT);
}

void bind_blob(sqlite3_stmt* stmt, int index, const std::string& bytes)
{
    sqlite3_bind_blob(stmt, index, bytes.data(), static_cast<int>(bytes.size()), SQLITE_TRANSIENT);
}

void bind_optional_text(sqlite3_stmt* stmt, int index, const std::optional<std::string>& text)
{
    if (text)
        bind_text(stmt, index, *text);
    else
        sqlite3_bind_null(stmt, index);
}

jump_record read_row(sqlite3_stmt* stmt)
{
    jump_record j;
    j.path = text_column(stmt, 0);
    j.file_size = sqlite3_column_int64(stmt, 1);
    j.file_mtime = sqlite3_column_int64(stmt, 2);
    j.content_sha256 = text_column(stmt, 3);
    j.course = text_column(stmt, 4);
    j.course_key = text_column(stmt, 5);
    j.analysis_version = text_column(stmt, 6);
    if (!is_null(stmt, 7))
        j.jump_time_utc = sqlite3_column_int64(stmt, 7);
    if (!is_null(stmt, 8))
        j.error = text_column(stmt, 8);
    if (!is_null(stmt, 9))
        j.right_hand = text_column(stmt, 9) == "right";
    j.with_wind = sqlite3_column_int(stmt, 10) != 0;
    for (int i = 0; i < result_count; ++i)
        if (!is_null(stmt, row_column_count + i))
            j.results[size_t(i)] = sqlite3_column_double(stmt, row_column_count + i);
    std::optional<double>* heights[gate_height_count] = { &j.heights.entry_gate, &j.heights.entry_gate_sigma,
        &j.heights.exit_gate, &j.heights.exit_gate_sigma };
    for (int i = 0; i < gate_height_count; ++i)
        if (!is_null(stmt, heights_at + i))
            *heights[i] = sqlite3_column_double(stmt, heights_at + i);
    if (!is_null(stmt, heights_at + gate_height_count))
        j.heights.source = text_column(stmt, heights_at + gate_height_count);
    j.heights.sensor_sha256 = text_column(stmt, heights_at + gate_height_count + 1);
    return j;
}

} // namespace

std::optional<stored_file> jump_store_find(const logbook& lb, const std::string& path, std::string& err)
{
    sqlite_stmt_ptr stmt = logbook_prepare(lb,
        "SELECT file_size, file_mtime, content_sha256, course_key, skimra_version, height_source, "
        "sensor_sha256, with_wind"
        " FROM jumps WHERE path = ?",
        err);
    if (!stmt)
        return std::nullopt;
    bind_blob(stmt.get(), 1, path);
    int rc = sqlite3_step(stmt.get());
    if (rc == SQLITE_ROW) {
        stored_file f;
        f.file_size = sqlite3_column_int64(stmt.get(), 0);
        f.file_mtime = sqlite3_column_int64(stmt.get(), 1);
        f.content_sha256 = text_column(stmt.get(), 2);
        f.course_key = text_column(stmt.get(), 3);
        f.analysis_version = text_column(stmt.get(), 4);
        if (!is_null(stmt.get(), 5))
            f.height_source = text_column(stmt.get(), 5);
        f.sensor_sha256 = text_column(stmt.get(), 6);
        f.with_wind = sqlite3_column_int(stmt.get(), 7) != 0;
        return f;
    }
    if (rc != SQLITE_DONE)
        err = sqlite3_errmsg(lb.db.get());
    return std::nullopt;
}

bool jump_store_put(const logbook& lb, const jump_record& jump, std::string& err)
{
    const int total = heights_at + gate_height_count + 2;
    std::string sql = "INSERT INTO jumps (" + column_list() + ") VALUES (";
    for (int i = 1; i <= total; ++i)
        sql += (i > 1 ? ", ?" : "?") + std::to_string(i);
    sql += ") ON CONFLICT (path) DO UPDATE SET ";
    for (int i = 1; i < row_column_count; ++i)
        sql += std::string(i > 1 ? ", " : "") + row_columns[i] + " = excluded." + row_columns[i];
    for (const result_field& f : result_fields)
        sql += std::string(", ") + f.column + " = excluded." + f.column;
    for (const char* c : height_columns)
        sql += std::string(", ") + c + " = excluded." + c;
    sql += ", sensor_sha256 = excluded.sensor_sha256";

    sqlite_stmt_ptr stmt = logbook_prepare(lb, sql.c_str(), err);
    if (!stmt)
        return false;
    sqlite3_stmt* s = stmt.get();
    bind_blob(s, 1, jump.path);
    sqlite3_bind_int64(s, 2, jump.file_size);
    sqlite3_bind_int64(s, 3, jump.file_mtime);
    bind_optional_text(
        s, 4, jump.content_sha256.empty() ? std::nullopt : std::optional<std::string>(jump.content_sha256));
    bind_text(s, 5, jump.course);
    bind_text(s, 6, jump.course_key);
    bind_text(s, 7, jump.analysis_version);
    if (jump.jump_time_utc)
        sqlite3_bind_int64(s, 8, *jump.jump_time_utc);
    bind_optional_text(s, 9, jump.error);
    if (jump.right_hand)
        bind_text(s, 10, *jump.right_hand ? "right" : "left");
    sqlite3_bind_int(s, 11, jump.with_wind ? 1 : 0);
    for (int i = 0; i < result_count; ++i)
        if (const std::optional<double>& v = jump.results[size_t(i)])
            sqlite3_bind_double(s, row_column_count + i + 1, *v);
    const std::array<std::optional<double>, gate_height_count> heights = jump_gate_heights(jump.heights);
    for (int i = 0; i < gate_height_count; ++i)
        if (heights[size_t(i)])
            sqlite3_bind_double(s, heights_at + i + 1, *heights[size_t(i)]);
    bind_optional_text(s, heights_at + gate_height_count + 1, jump.heights.source);
    bind_optional_text(s, heights_at + gate_height_count + 2,
        jump.heights.sensor_sha256.empty() ? std::nullopt
                                           : std::optional<std::string>(jump.heights.sensor_sha256));
    return logbook_step_done(lb, s, err);
}

bool jump_store_touch(
    const logbook& lb, const std::string& path, int64_t file_size, int64_t file_mtime, std::string& err)
{
    sqlite_stmt_ptr stmt
        = logbook_prepare(lb, "UPDATE jumps SET file_size = ?, file_mtime = ? WHERE path = ?", err);
    if (!stmt)
        return false;
    sqlite3_bind_int64(stmt.get(), 1, file_size);
    sqlite3_bind_int64(stmt.get(), 2, file_mtime);
    bind_blob(stmt.get(), 3, path);
    return logbook_step_done(lb, stmt.get(), err);
}

std::vector<jump_record> jump_store_rows(const logbook& lb, const jump_filter& filter, std::string& err)
{
    const std::string sql = "SELECT " + column_list()
        + " FROM jumps WHERE (?1 IS NULL OR jump_time_utc_ms >= ?1) AND (?2 IS NULL OR course = ?2)"
          " ORDER BY jump_time_utc_ms IS NULL, jump_time_utc_ms DESC, path";
    std::vector<jump_record> rows;
    sqlite_stmt_ptr stmt = logbook_prepare(lb, sql.c_str(), err);
    if (!stmt)
        return rows;
    if (filter.since_utc)
        sqlite3_bind_int64(stmt.get(), 1, *filter.since_utc);
    if (filter.course)
        bind_text(stmt.get(), 2, *filter.course);
    int rc;
    while ((rc = sqlite3_step(stmt.get())) == SQLITE_ROW)
        rows.push_back(read_row(stmt.get()));
    if (rc != SQLITE_DONE) {
        err = sqlite3_errmsg(lb.db.get());
        rows.clear();
    }
    return rows;
}
