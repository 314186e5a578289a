#include "ArgumentText.h"
#include "MainPort.h"
#include "MeasureOptions.h"
#include "MeasureProgram.h"
#include "ProcessSetup.h"

#include <QCoreApplication>

#include <cstdio>

// lrfmeasure: measures from the command line, without windows, with the window
// program's pacing, watchdog, decoding and log lines. See --help.
int main(int argc, char* argv[]) {
    lrf::PrepareProcess();
    QCoreApplication app(argc, argv);
    QCoreApplication::setApplicationName(QStringLiteral("lrfmeasure"));
    const lrf::measure::MeasureCommandLine commandLine =
        lrf::measure::ReadMeasureCommandLine(lrf::ArgumentTexts(argc, argv));
    if (!commandLine.options) {
        std::fputs(commandLine.message.toUtf8().constData(),
                   commandLine.exitStatus == 0 ? stdout : stderr);
        return commandLine.exitStatus;
    }
    lrf::InstallGuiHandOver();
    const int status = lrf::measure::RunMeasure(*commandLine.options);
    lrf::RemoveGuiHandOver();
    return status;
}
