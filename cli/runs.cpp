#include "cli/runs.h"

#include <cstdio>
#include <cstdlib>

void run_gate(const options& opts)
{
    std::string kml = replace_extension(opts.gate_file, "kml");
    std::string txt = replace_extension(opts.gate_file, "txt");
    std::string skm = replace_extension(opts.gate_file, "skm");
    std::printf("ERROR: gate analysis is not built yet\n");
    std::exit(1);
}

void run_swoop(const options& opts)
{
    std::string kml = replace_extension(opts.swoop_file, "kml");
    std::string pdf = replace_extension(opts.swoop_file, "pdf");
    std::string txt = replace_extension(opts.swoop_file, "txt");
    std::string skm = replace_extension(opts.swoop_file, "skm");
    std::printf("ERROR: swoop analysis is not built yet\n");
    std::exit(1);
}
