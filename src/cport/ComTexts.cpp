#include "ComTexts.h"

#include <filesystem>
#include <mutex>
#include <system_error>

#if __has_include(<libintl.h>)
#include <libintl.h>
#define CPORT_HAVE_GETTEXT 1
#else
#include "MoCatalogue.h"

#include <cstdlib>
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
    // Without the C library's gettext: the same catalogues, read here.
    static const std::optional<MoCatalogue> catalogue = [] {
        std::string system;
#ifdef _WIN32
        wchar_t name[LOCALE_NAME_MAX_LENGTH] = {};
        if (GetUserDefaultLocaleName(name, LOCALE_NAME_MAX_LENGTH) > 0)
            for (const wchar_t* c = name; *c; ++c)
                system.push_back(static_cast<char>(*c));
#endif
        const std::string dir = CatalogueDirectory(ProgramDirectory());
        for (const std::string& language :
             CatalogueLanguages(std::getenv("LANGUAGE"), std::getenv("LC_ALL"),
                                std::getenv("LC_MESSAGES"), std::getenv("LANG"), system))
            if (auto found = MoCatalogue::Load(std::filesystem::path(dir) / language /
                                               "LC_MESSAGES" / "cport.mo"))
                return found;
        return std::optional<MoCatalogue>();
    }();
    const std::string* translated = catalogue ? catalogue->Find(text) : nullptr;
    return translated ? *translated : std::string(text);
#endif
}

} // namespace cport
