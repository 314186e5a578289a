// The numbered error texts and their translation through the "cport" catalogue.

#include "ComErrors.h"

#include <gtest/gtest.h>

#include <array>
#include <cerrno>
#include <cstdio>
#include <filesystem>
#include <string>
#include <unistd.h>

namespace cport {
namespace {

TEST(ErrorTexts, EveryCodeHasItsText) {
    const std::array<const char*, 23> texts{
        "Unable to open com port",
        "WriteFile function failed",
        "ReadFile function failed",
        "Invalid Async parameter",
        "PurgeComm function failed",
        "Unable to get async status",
        "SetCommState function failed",
        "SetCommTimeouts failed",
        "SetupComm function failed",
        "ClearCommError function failed",
        "GetCommModemStatus function failed",
        "EscapeCommFunction function failed",
        "TransmitCommChar function failed",
        "Cannot set property while connected",
        "EnumPorts function failed",
        "Failed to store settings",
        "Failed to load settings",
        "Link (un)registration failed",
        "Cannot change led state if ComPort is selected",
        "Cannot wait for event if event thread is created",
        "WaitForEvent method failed",
        "A component is linked to OnRxBuf event",
        "Registry error",
    };
    for (int code = 1; code <= 23; ++code) {
        EXPECT_EQ(ComErrorText(code), texts[code - 1]) << code;
        EComPort plain(code);
        EXPECT_EQ(std::string(plain.what()), texts[code - 1]);
        EXPECT_EQ(plain.PortErrorCode(), code);
        EXPECT_EQ(plain.OsErrorCode(), -1);
    }
    EXPECT_EQ(ComErrorText(0), "");
    EXPECT_EQ(ComErrorText(24), "");
}

TEST(ErrorTexts, OsErrorIsAppendedInDecimal) {
    const std::pair<int, std::string> cases[] = {
        {0, "SetCommState function failed (win error code: 0)"},
        {13, "SetCommState function failed (win error code: 13)"},
        {-2, "SetCommState function failed (win error code: -2)"},
    };
    for (const auto& [os, text] : cases) {
        EComPort e(7, os);
        EXPECT_EQ(std::string(e.what()), text);
        EXPECT_EQ(e.OsErrorCode(), os);
    }
}

// The reason under "COM open failure!": what the operator can do about it.
TEST(ErrorReasons, SayWhyThePortCouldNotBeUsed) {
    const struct {
        int code;
        int os;
        const char* reason;
    } cases[] = {
        {1, ENOENT,
         "The device does not exist: check the port name and that the instrument is "
         "connected."},
        {1, ENXIO,
         "The device does not exist: check the port name and that the instrument is "
         "connected."},
        {1, EACCES,
         "Permission denied: this user may not use the device. Join the dialout group "
         "(sudo adduser $USER dialout) and log in again."},
        {1, EBUSY, "The device is busy: another program is using it."},
        {1, EWOULDBLOCK, "The device is busy: another program is using it."},
        {1, ENOTTY, "The device is not a serial port."},
        {1, EIO, "Input/output error"},
        {7, EINVAL, "The device refused the port settings: Invalid argument."},
        {9, -1, "The device refused the port settings."},
        {1, -1, ""},
        {14, -1, ""},
    };
    for (const auto& c : cases)
        EXPECT_EQ(ComErrorReason(EComPort(c.code, c.os)), c.reason) << c.code << "/" << c.os;
}

// Runs the probe program found at `program` with German as the language.
std::string RunProbe(const std::string& program) {
    const std::string command = "LANGUAGE=de LC_ALL=C.UTF-8 '" + program + "'";
    std::string output;
    if (FILE* pipe = popen(command.c_str(), "r")) {
        char buffer[512];
        while (std::fgets(buffer, sizeof buffer, pipe))
            output += buffer;
        pclose(pipe);
    }
    return output;
}

TEST(ErrorTexts, CatalogueBesideTheProgramTranslates) {
    EXPECT_EQ(RunProbe(CPORT_TEXT_PROBE),
              "Die serielle Schnittstelle kann nicht geöffnet werden (Windows-Fehlercode: 2)\n"
              "Die Eigenschaft kann bei geöffneter Schnittstelle nicht geändert werden\n");
}

TEST(ErrorTexts, InstalledProgramFindsTheCatalogueRelativeToItself) {
    // An installed layout under a prefix of its own (bin/ and share/locale/),
    // with and without a program called "locale" beside it, as in /usr/bin.
    namespace fs = std::filesystem;
    for (const bool localeProgramBeside : {false, true}) {
        const fs::path prefix =
            fs::temp_directory_path() / ("cport-prefix-" + std::to_string(getpid()));
        fs::remove_all(prefix);
        const fs::path bin = prefix / "bin";
        const fs::path catalogue = bin / CPORT_LOCALE_FROM_PROGRAM / "de" / "LC_MESSAGES";
        fs::create_directories(catalogue);
        fs::copy_file(fs::path(CPORT_CATALOGUES) / "de" / "LC_MESSAGES" / "cport.mo",
                      catalogue / "cport.mo");
        fs::copy_file(CPORT_TEXT_PROBE, bin / "probe");
        if (localeProgramBeside)
            fs::copy_file(CPORT_TEXT_PROBE, bin / "locale");
        EXPECT_EQ(RunProbe((bin / "probe").string()),
                  "Die serielle Schnittstelle kann nicht geöffnet werden (Windows-Fehlercode: 2)\n"
                  "Die Eigenschaft kann bei geöffneter Schnittstelle nicht geändert werden\n")
            << localeProgramBeside;
        fs::remove_all(prefix);
    }
}

TEST(ErrorTexts, WithoutCatalogueTheTextsStayAsTheyAre) {
    namespace fs = std::filesystem;
    const fs::path dir = fs::temp_directory_path() / ("cport-probe-" + std::to_string(getpid()));
    fs::create_directories(dir);
    const fs::path copy = dir / "probe";
    fs::copy_file(CPORT_TEXT_PROBE, copy, fs::copy_options::overwrite_existing);
    EXPECT_EQ(RunProbe(copy.string()), "Unable to open com port (win error code: 2)\n"
                                       "Cannot set property while connected\n");
    fs::remove_all(dir);
}

} // namespace
} // namespace cport
