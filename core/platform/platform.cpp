// SPDX-License-Identifier: GPL-3.0-or-later

#include "core/platform/platform.h"

#ifdef _WIN32
#include <direct.h>
#else
#include <sys/mman.h>
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

bool platform_seek(std::FILE* f, uint64_t offset)
{
    if (offset > static_cast<uint64_t>(INT64_MAX))
        return false;
#ifdef _WIN32
    return _fseeki64(f, static_cast<int64_t>(offset), SEEK_SET) == 0;
#else
    return fseeko(f, static_cast<off_t>(offset), SEEK_SET) == 0;
#endif
}

int64_t platform_tell(std::FILE* f)
{
#ifdef _WIN32
    return _ftelli64(f);
#else
    return static_cast<int64_t>(ftello(f));
#endif
}

bool platform_seek_end(std::FILE* f)
{
#ifdef _WIN32
    return _fseeki64(f, 0, SEEK_END) == 0;
#else
    return fseeko(f, 0, SEEK_END) == 0;
#endif
}

void platform_advise_large_block(void* start, size_t bytes)
{
#if defined(MADV_HUGEPAGE)
    // madvise takes whole pages: the pages that lie wholly inside the block.
    const auto page = static_cast<uintptr_t>(sysconf(_SC_PAGESIZE));
    const auto first = reinterpret_cast<uintptr_t>(start);
    if (page == 0 || bytes < page || first > UINTPTR_MAX - bytes)
        return;
    const uintptr_t begin = (first + page - 1) / page * page;
    const uintptr_t end = (first + bytes) / page * page;
    if (end > begin)
        madvise(reinterpret_cast<void*>(begin), end - begin, MADV_HUGEPAGE);
#else
    (void)start;
    (void)bytes;
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
