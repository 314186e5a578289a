#pragma once

// The program's command line. Without options the program opens its windows as
// it always has; the options that end the program at once (help, version, the
// port check) open no window.

#include "StoreTarget.h"

#include <QString>
#include <QStringList>

#include <optional>

class QComboBox;

namespace lrf {

struct CommandLine {
    bool simulate = false; // --simulate: the embedded simulator, listed first
    // File names as ArgumentText holds them: ArgumentBytes gives their bytes.
    std::optional<QString> checkPort; // --check-port PORT: try the port, tell, no windows
    std::optional<QString> port;      // --port PATH: picked or typed into the port box
    std::optional<int> baudIndex;     // --baud N: the baud list's index of that rate
    // --store URI, or LRF_STORE: the record store the journal's lines go to.
    std::optional<journal::StoreTarget> store;
    QString station;      // --station NAME, or LRF_STATION: the station's name in the store
    QString plan;         // --plan FILE: the verification window opens with this plan
    QString reportFolder; // --report FOLDER: where the units' reports go
    // Set when the program ends at once with `message` (the help, the version or
    // the complaint about a bad argument) and this exit status.
    std::optional<int> exitStatus;
    QString message;
};

// Reads the arguments, the program's name first as ArgumentTexts gives them,
// and LRF_STORE and LRF_STATION where the options do not say. Needs the
// application object (the help names the program).
CommandLine ReadCommandLine(const QStringList& arguments);

// The raw arguments as a list, the program's name first, without the options
// that the Qt application object takes for itself (-platform xcb, -reverse,
// -style=fusion, ...), which it would remove before ReadCommandLine sees them.
QStringList WithoutQtOptions(int argc, char** argv);

// Before the application object: reads the arguments (without Qt's own) and,
// when they are bad, prints the complaint to standard error and returns its
// status, 2. An unknown option, a bad baud rate or a stray argument thus needs
// no display. Set the application's name first: the complaint names it.
std::optional<int> RefuseBadArguments(int argc, char** argv);

// Whether the raw arguments, read before the application object exists, ask for
// something that opens no window. Qt's own options, not yet removed at that
// point, do not change the answer.
bool AsksForNoWindow(int argc, char** argv);

// Before the application object: when the arguments ask for no window and no Qt
// platform is chosen, chooses the offscreen one, so that the help, the version
// and the port check work without a display.
void PrepareWindowlessRun(int argc, char** argv);

// Puts the --port and --baud choices into the main window's port and baud
// boxes, after its first showing has filled them.
void ApplyPortChoice(const CommandLine& commandLine, QComboBox& portBox, QComboBox& baudBox);

// Carries out what needs no window: prints the message (a complaint to standard
// error) or runs the port check. Returns the exit status, or nothing when the
// windows are to start.
std::optional<int> RunWithoutWindows(const CommandLine& commandLine);

} // namespace lrf
