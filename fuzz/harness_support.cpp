#include "fuzz/harness_support.h"

#include <cstdio>
#include <cstdlib>
#include <unistd.h>

const std::string& fuzz_input_file(const uint8_t* data, size_t size, const char* ext)
{
    static std::string path;
    const char* dir = std::getenv("TMPDIR");
    path = std::string(dir ? dir : "/tmp") + "/skimra-fuzz-" + std::to_string(getpid()) + "." + ext;
    std::FILE* f = std::fopen(path.c_str(), "wb");
    if (!f)
        std::abort();
    if (size && std::fwrite(data, 1, size, f) != size)
        std::abort();
    std::fclose(f);
    return path;
}
