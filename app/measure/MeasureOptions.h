#pragma once

// The command line of lrfmeasure, the measuring program without windows.

#include "ComTypes.h"
#include "Recorder.h"
#include "StoreTarget.h"
#include "TestPlan.h"

#include <QString>
#include <QStringList>

#include <optional>
#include <string>

namespace lrf::measure {

// The exit statuses; a signal that ends the run gives 128 + its number.
enum ExitCode : int {
    kExitDone = 0,          // every shot answered and every record written
    kExitFailure = 1,       // anything else (the simulator could not start)
    kExitBadArguments = 2,  // the command line was not understood
    kExitPortNotOpened = 3, // the port could not be opened
    kExitCommunication = 4, // no reply within the watchdog's 10 seconds
    kExitDeviceGone = 5,    // the device vanished during the run
    kExitOutputFailed = 6,  // records could not be written to their file or folder
    kExitMarginal = 7,      // a test plan's run: the unit is MARGINAL
    kExitFail = 8,          // a test plan's run: the unit FAILs
    kExitBrokenPipe = 141,  // the reader of standard output went away (128 + SIGPIPE)
};

enum class Mode { Distance, Speed, Rotation };

// Where the CSV lines go: standard output, one file, or a folder that gets the
// window program's automatic save files.
enum class CsvTarget { StandardOutput, File, Folder, None };

struct MeasureOptions {
    std::string port;
    cport::TBaudRate baudRate = cport::br19200;
    Mode mode = Mode::Distance;
    int rotationMs = 2000;
    int count = 1; // records to make: shots, or distance and speed pairs; 0 until stopped
    CsvTarget csvTarget = CsvTarget::StandardOutput;
    std::string csvPath; // the file or folder
    bool json = false;   // JSON lines on standard output
    FreeTexts texts;
    bool simulate = false;
    // The record store that the journal's lines are forwarded to, as the window
    // program forwards them, and this station's name there (the host name when empty).
    std::optional<journal::StoreTarget> store;
    std::string station;
    // A test plan's run: the plan sets the mode and the shots, and the unit's
    // verdict the exit status; its report goes into reportFolder when set.
    std::optional<verify::TestPlan> plan;
    std::string reportFolder;
};

struct MeasureCommandLine {
    std::optional<MeasureOptions> options; // set when a run is to start
    int exitStatus = kExitDone;            // otherwise: the status to end with
    QString message;                       // and what to print (a complaint to stderr)
};

// The longest rotation period: the watchdog counts from the reply before.
inline constexpr int kMaxRotationMs = 9999;

// Reads the arguments, the program's name first as in QCoreApplication::arguments().
MeasureCommandLine ReadMeasureCommandLine(const QStringList& arguments);

// The rate for a number of bits per second as typed ("19200"); none for a
// rate the port does not offer.
std::optional<cport::TBaudRate> BaudRateFromText(const QString& text);

} // namespace lrf::measure
