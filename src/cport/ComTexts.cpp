#include "ComTexts.h"

#include <filesystem>
#include <mutex>
#include <system_error>

#if __has_include(<libintl.h>)
#include <libintl.h>
#define CPORT_HAVE_GETTEXT 1
#endif

#ifdef _WIN32
#include <windows.h>
#else
#include <climits>
#include <unistd.h>
#endif

namespace cport {

namespace {
constexpr const char* kDomain = "cport";

#ifndef CPORT_LOCALE_FROM_PROGRAM
#define CPORT_LOCALE_FROM_PROGRAM "../share/locale"
#endif
} // namespace

std::string CatalogueDirectory(const std::string& programDirectory) {
    namespace fs = std::filesystem;
    const fs::path program(programDirectory);
    std::error_code ignored;
    // A folder, not just a name: an installed program's folder may hold a program
    // called "locale" (/usr/bin/locale).
    if (fs::is_directory(program / "locale", ignored))
        return (program / "locale").string();
    return (program / CPORT_LOCALE_FROM_PROGRAM).lexically_normal().string();
}

std::string ProgramDirectory() {
#ifdef _WIN32
    char path[MAX_PATH];
    DWORD n = GetModuleFileNameA(nullptr, path, MAX_PATH);
    std::string full(path, n);
    auto cut = full.find_last_of("\\/");
#else
    char path[PATH_MAX];
    ssize_t n = ::readlink("/proc/self/exe", path, sizeof path);
    std::string full = n > 0 ? std::string(path, static_cast<std::size_t>(n)) : std::string();
    auto cut = full.find_last_of('/');
#endif
    return cut == std::string::npos ? std::string(".") : full.substr(0, cut);
}

std::string Translate(const char* text) {
#ifdef CPORT_HAVE_GETTEXT
    static std::once_flag once;
    std::call_once(once, [] {
        const std::string dir = CatalogueDirectory(ProgramDirectory());
        bindtextdomain(kDomain, dir.c_str());
        bind_textdomain_codeset(kDomain, "UTF-8");
    });
    return dgettext(kDomain, text);
#else
    return text;
#endif
}

} // namespace cport
