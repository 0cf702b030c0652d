// SPDX-License-Identifier: GPL-3.0-or-later

#include "core/files/kml_writer.h"

#include <cstdio>
#include <ctime>

#include "core/platform/platform.h"
#include "core/track/error_text.h"

namespace {

const char* const month_names[12]
    = { "Jan", "Feb", "Mar", "Apr", "May", "Jun", "Jul", "Aug", "Sep", "Oct", "Nov", "Dec" };

void write_coordinate(std::FILE* f, const vec3& geodetic)
{
    std::fprintf(f, "          %.7f,%.7f,%.3f\n", geodetic[1], geodetic[0], geodetic[2]);
}

void write_line_open(std::FILE* f)
{
    std::fputs("      <LineString>\n"
               "        <altitudeMode>absolute</altitudeMode>\n"
               "        <extrude>1</extrude>\n"
               "        <coordinates>\n",
        f);
}

void write_line_close(std::FILE* f)
{
    std::fputs("        </coordinates>\n"
               "      </LineString>\n"
               "    </Placemark>\n",
        f);
}

} // namespace

void kml_track_name(int64_t time_ms, char* out, size_t size)
{
    std::tm tm {};
    if (!platform_localtime(time_ms / 1000, &tm) || tm.tm_mon < 0 || tm.tm_mon > 11) {
        std::snprintf(out, size, "???");
        return;
    }
    // Month names as the classic locale spells them, whatever the user's locale.
    std::snprintf(out, size, "%s%02d %02d:%02d", month_names[tm.tm_mon], tm.tm_mday, tm.tm_hour, tm.tm_min);
}

void kml_write(
    const char* path, const gps_point* first, uint32_t count, const vec3* markers, const char** err)
{
    *err = nullptr;
    file_ptr f(std::fopen(path, "wb"));
    if (!f) {
        *err = errmsg("failed to open file: %s", path);
        return;
    }
    char name[32];
    kml_track_name(first->time, name, sizeof name);

    std::FILE* out = f.get();
    std::fputs("<?xml version=\"1.0\" encoding=\"UTF-8\"?>\n"
               "<kml xmlns=\"http://www.opengis.net/kml/2.2\">\n"
               "  <Document>\n"
               "    <Placemark>\n",
        out);
    std::fprintf(out, "      <name>%s</name>\n", name);
    std::fputs("      <Style>\n"
               "        <LineStyle> <color>7f0000ff</color> <width>1</width> </LineStyle>\n"
               "        <PolyStyle> <color>7f00ff00</color> </PolyStyle>\n"
               "      </Style>\n",
        out);
    write_line_open(out);
    for (uint32_t i = 0; i < count; i++)
        write_coordinate(out, first[i].pos_wgs84);
    write_line_close(out);
    if (markers) {
        std::fputs("    <Placemark>\n"
                   "      <name>entry gate</name>\n",
            out);
        write_line_open(out);
        write_coordinate(out, markers[0]);
        write_coordinate(out, markers[1]);
        write_line_close(out);
    }
    std::fputs("  </Document>\n"
               "</kml>\n",
        out);
    // A full disk must not pass for a finished file.
    if (!file_close_checked(f))
        *err = errmsg("failed to write file: %s", path);
}
