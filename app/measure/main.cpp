#include "ArgumentText.h"
#include "MainPort.h"
#include "MeasureOptions.h"
#include "MeasureProgram.h"
#include "ProcessSetup.h"

#include <QCoreApplication>
#include <QGuiApplication>

#include <cstdio>
#include <cstring>
#include <memory>

namespace {

// A report is laid out with fonts and images, which need a GUI application;
// it draws on no screen, so the offscreen platform serves on any machine but
// Windows, where that platform finds no fonts: there the system's own platform
// draws the report, also without a window.
bool WritesReport(int argc, char* argv[]) {
    for (int i = 1; i < argc; ++i)
        if (std::strcmp(argv[i], "--report") == 0 || std::strcmp(argv[i], "-report") == 0 ||
            std::strncmp(argv[i], "--report=", 9) == 0 || std::strncmp(argv[i], "-report=", 8) == 0)
            return true;
    return false;
}

QtMessageHandler previousHandler = nullptr;

void QuietStart(QtMsgType type, const QMessageLogContext& context, const QString& text) {
    if (type != QtCriticalMsg && type != QtFatalMsg)
        return;
    if (previousHandler)
        previousHandler(type, context, text);
    else
        std::fprintf(stderr, "%s\n", text.toLocal8Bit().constData());
}

} // namespace

// lrfmeasure: measures from the command line, without windows, with the window
// program's pacing, watchdog, decoding and log lines. See --help.
int main(int argc, char* argv[]) {
    lrf::PrepareProcess();
    std::unique_ptr<QCoreApplication> app;
    if (WritesReport(argc, argv)) {
#ifndef _WIN32
        qputenv("QT_QPA_PLATFORM", "offscreen");
#endif
        // Standard error is the verdict's: what the platform notes about its
        // runtime folder while it starts is of no use there; failures pass.
        previousHandler = qInstallMessageHandler(QuietStart);
        app = std::make_unique<QGuiApplication>(argc, argv);
        qInstallMessageHandler(previousHandler);
    } else {
        app = std::make_unique<QCoreApplication>(argc, argv);
    }
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
