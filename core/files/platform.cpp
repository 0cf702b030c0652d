#include "core/files/platform.h"

#ifdef _WIN32
#include <direct.h>
#else
#include <unistd.h>
#endif

int64_t platform_mktime(std::tm* tm)
{
#ifdef _WIN32
    return _mktime64(tm);
#else
    return static_cast<int64_t>(std::mktime(tm));
#endif
}

bool platform_localtime(int64_t seconds, std::tm* out)
{
#ifdef _WIN32
    __time64_t t = seconds;
    return _localtime64_s(out, &t) == 0;
#else
    std::time_t t = static_cast<std::time_t>(seconds);
    return localtime_r(&t, out) != nullptr;
#endif
}

int platform_chdir(const char* path)
{
#ifdef _WIN32
    return _chdir(path);
#else
    return chdir(path);
#endif
}

bool file_close_checked(file_ptr& file)
{
    std::FILE* f = file.release();
    if (!f)
        return false;
    bool ok = std::ferror(f) == 0;
    if (std::fflush(f) != 0)
        ok = false;
    if (std::fclose(f) != 0)
        ok = false;
    return ok;
}
