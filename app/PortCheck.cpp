#include "PortCheck.h"

#include "CPort.h"
#include "LinkInfo.h"
#include "LinkTiming.h"
#include "PortControl.h"

#include <exception>
#include <thread>

namespace lrf {

namespace {

using Clock = LinkTiming::Clock;
using namespace std::chrono_literals;

constexpr int kShots = 5;
constexpr auto kReplyLimit = 1s;
constexpr auto kShotPause = 10ms; // the instrument's rest between shots
constexpr int kFrameSize = 8;

// Sends distance shots and times each to its complete reply; stops at the first
// shot without one (no instrument, or not this one).
void TimeShots(cport::TComPort& port, LinkTiming& timing) {
    for (int shot = 0; shot < kShots; ++shot) {
        std::string reply;
        if (const int left = port.BytesWaiting(); left > 0)
            port.ReadText(reply, left); // nothing left over counts
        reply.clear();
        const Clock::time_point sent = Clock::now();
        timing.commandSent(sent);
        port.WriteText("\x0F");
        while (static_cast<int>(reply.size()) < kFrameSize && Clock::now() - sent < kReplyLimit) {
            std::string piece;
            if (const int waiting = port.BytesWaiting(); waiting > 0)
                port.ReadText(piece, waiting);
            if (piece.empty())
                std::this_thread::sleep_for(100us);
            reply += piece;
        }
        if (static_cast<int>(reply.size()) < kFrameSize)
            return;
        timing.replyComplete(Clock::now());
        std::this_thread::sleep_for(kShotPause);
    }
}

} // namespace

PortCheckResult CheckPort(const std::string& port) {
    cport::TComPort comPort;
    ConfigureMainPort(comPort);
    try {
        comPort.SetPort(port);
        comPort.OpenPort();
        const cport::LinkInfo link = cport::ReadLinkInfo(port);
        LinkTiming timing;
        TimeShots(comPort, timing);
        comPort.ClosePort();
        std::string text = "opened\nlink: " + LinkLine(link, timing.median());
        if (!timing.median())
            text += ", no reply to a distance shot";
        if (const std::optional<std::string> warning = cport::LatencyWarning(port, link))
            text += "\nwarning: " + *warning;
        return {true, text};
    } catch (const std::exception& e) {
        return {false, e.what()};
    }
}

} // namespace lrf
