// lrfsim: runs the simulated rangefinder until interrupted. Prints the device
// path to open on its first line, so that scripts can read it.

#include "LrfVersion.h"
#include "RangefinderSimulator.h"
#include "SimPace.h"

#include <csignal>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <iostream>
#include <optional>
#include <pthread.h>
#include <string>

namespace {

void usage() {
    std::cerr << "usage: lrfsim [--distance M|none] [--noise SD] [--speed V|none]\n"
                 "              [--inclination DEG|none]\n"
                 "              [--unit LETTER] [--speed-unit LETTER] [--quantity 1|2|3]\n"
                 "              [--delay MS] [--at-once] [--latency-timer MS]\n"
                 "       lrfsim --version\n"
                 "Replies go out at the pace of the line the program has set; --at-once\n"
                 "writes each reply in one piece. --latency-timer puts a USB-serial adapter\n"
                 "with that latency timer (1 to 255 ms) between the instrument and the port.\n"
                 "--noise spreads the distances normally with that standard deviation.\n";
}

std::optional<double> optionalNumber(const std::string& text) {
    if (text == "none")
        return std::nullopt;
    return std::stod(text);
}

} // namespace

int main(int argc, char* argv[]) {
    lrf::sim::SimSettings settings;
    try {
        for (int i = 1; i < argc; ++i) {
            const std::string arg = argv[i];
            if (arg == "--help" || arg == "-h") {
                usage();
                return 0;
            }
            if (arg == "--version") {
                std::cout << "lrfsim " << LRF_VERSION << "\n";
                return 0;
            }
            if (arg == "--at-once") {
                settings.linePace = false;
                continue;
            }
            if (i + 1 >= argc)
                throw std::invalid_argument(arg);
            const std::string value = argv[++i];
            if (arg == "--distance")
                settings.distance = optionalNumber(value);
            else if (arg == "--noise") {
                settings.distanceNoise = std::stod(value);
                if (!(settings.distanceNoise >= 0.0))
                    throw std::invalid_argument(arg + " " + value);
            } else if (arg == "--speed")
                settings.speed = optionalNumber(value);
            else if (arg == "--inclination")
                settings.inclination = optionalNumber(value);
            else if (arg == "--unit" && value.size() == 1)
                settings.distanceUnitLetter = value[0];
            else if (arg == "--speed-unit" && value.size() == 1)
                settings.speedUnitLetter = value[0];
            else if (arg == "--quantity")
                settings.quantity = std::stoi(value);
            else if (arg == "--latency-timer") {
                const int ms = std::stoi(value);
                if (ms < 1 || ms > 255)
                    throw std::invalid_argument(arg + " " + value);
                settings.adapter.latencyTimer = std::chrono::milliseconds(ms);
            } else if (arg == "--delay")
                settings.replyDelay = std::chrono::milliseconds(std::stoi(value));
            else
                throw std::invalid_argument(arg);
        }
    } catch (const std::exception& e) {
        std::cerr << "lrfsim: bad argument " << e.what() << "\n";
        usage();
        return 2;
    }

    // Wait for the end signal synchronously: block it before any thread starts.
    sigset_t signals;
    sigemptyset(&signals);
    sigaddset(&signals, SIGINT);
    sigaddset(&signals, SIGTERM);
    pthread_sigmask(SIG_BLOCK, &signals, nullptr);

    lrf::sim::RangefinderSimulator simulator;
    simulator.SetSettings(settings);
    try {
        simulator.Start();
    } catch (const std::exception& e) {
        std::cerr << "lrfsim: " << e.what() << "\n";
        return 1;
    }
    std::cout << simulator.DevicePath() << std::endl;

    int received = 0;
    sigwait(&signals, &received);
    simulator.Stop();
    const auto c = simulator.Counters();
    std::cerr << "lrfsim: " << c.distanceCommands << " distance and " << c.speedCommands
              << " speed commands, " << c.repliesSent << " replies\n";
    std::cerr << "lrfsim: pace: " << lrf::sim::PaceText(lrf::sim::PaceOf(simulator.History()))
              << "\n";
    return 0;
}
