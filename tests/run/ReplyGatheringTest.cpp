#include "ReplyGathering.h"
#include "HexText.h"

#include <QCoreApplication>
#include <QElapsedTimer>
#include <gtest/gtest.h>

#include <string>
#include <utility>
#include <vector>

using namespace lrf;

namespace {

using Clock = ReplyGathering::Clock;

// The gathering with what it hands on written down: each batch as hex text
// with the moment it counts from, and the bytes still waiting in the port.
struct Gathered {
    std::vector<std::string> batches;
    std::vector<Clock::time_point> arrivals;
    std::string waiting; // in the port, not yet announced
    ReplyGathering gathering{[this](std::span<const std::uint8_t> batch, Clock::time_point at) {
                                 batches.push_back(BytesToHexText(batch));
                                 arrivals.push_back(at);
                             },
                             [this] { return std::exchange(waiting, {}); }};

    void receive(const std::string& hex, Clock::time_point at) {
        gathering.receive(HexTextToBytes(hex), at);
    }
    void waitForABatch() {
        QElapsedTimer clock;
        clock.start();
        while (batches.empty() && clock.elapsed() < 5000)
            QCoreApplication::processEvents(QEventLoop::AllEvents, 5);
    }
};

const std::string kFrame = "DA 00 23 02 B1 45 00 EE ";

} // namespace

// However the line cuts a reply, it is handed on once as the whole frame, and
// its pause counts from the piece that completed it.
TEST(ReplyGathering, EverySplitIsHandedOnOnceAsTheWholeFrame) {
    std::vector<std::vector<std::string>> splits;
    for (std::size_t cut = 1; cut < 8; ++cut)
        splits.push_back({kFrame.substr(0, 3 * cut), kFrame.substr(3 * cut)});
    splits.emplace_back();
    for (std::size_t i = 0; i < 8; ++i)
        splits.back().push_back(kFrame.substr(3 * i, 3));
    const Clock::time_point t0 = Clock::now();
    for (const auto& pieces : splits) {
        SCOPED_TRACE(pieces.front() + "+ " + std::to_string(pieces.size() - 1) + " more");
        Gathered path;
        for (std::size_t i = 0; i < pieces.size(); ++i) {
            EXPECT_TRUE(path.batches.empty());
            path.receive(pieces[i], t0 + std::chrono::microseconds(500 * i));
        }
        EXPECT_EQ(path.batches, std::vector<std::string>{kFrame});
        EXPECT_EQ(path.arrivals, std::vector<Clock::time_point>{
                                     t0 + std::chrono::microseconds(500 * (pieces.size() - 1))});
        EXPECT_FALSE(path.gathering.frameTimer().isActive());
    }
}

// What is held when the frame time is up: the beginning alone, or the whole
// frame when the rest is already waiting in the port (its announcement merely
// came late; the late announcement then reads nothing, which is no batch).
TEST(ReplyGathering, AtTheFrameTimeTheHeldBeginningGoesOnWithWhatIsWaiting) {
    struct Case {
        const char* what;
        std::string waiting; // hex text
        std::string batch;
    };
    const Case cases[] = {
        {"nothing more came", "", "DA 00 23 "},
        {"the rest is waiting", "02 B1 45 00 EE", kFrame},
    };
    int argc = 1;
    char name[] = "run_tests";
    char* argv[] = {name, nullptr};
    QCoreApplication app(argc, argv);
    for (const Case& c : cases) {
        SCOPED_TRACE(c.what);
        Gathered path;
        QElapsedTimer clock;
        clock.start();
        path.receive("DA 00 23", Clock::now());
        const std::vector<std::uint8_t> rest = HexTextToBytes(c.waiting);
        path.waiting.assign(rest.begin(), rest.end());
        EXPECT_TRUE(path.gathering.frameTimer().isActive());
        path.waitForABatch();
        EXPECT_GE(clock.elapsed(), 20);
        path.receive("", Clock::now());
        EXPECT_EQ(path.batches, std::vector<std::string>{c.batch});
        EXPECT_FALSE(path.gathering.holding());
        EXPECT_FALSE(path.gathering.frameTimer().isActive());
    }
}

// Pieces passing eight bytes are handed on together as one batch that is no
// frame; the next frame stands alone.
TEST(ReplyGathering, ABeginningAndGarbagePassingEightAreOneBatch) {
    Gathered path;
    const Clock::time_point t0 = Clock::now();
    path.receive("DA 00 23", t0);
    path.receive("3C 21 7E 00 FF 55 EE", t0 + std::chrono::milliseconds(2));
    EXPECT_EQ(path.batches, std::vector<std::string>{"DA 00 23 3C 21 7E 00 FF 55 EE "});
    EXPECT_FALSE(path.gathering.frameTimer().isActive());
    path.receive(kFrame, t0 + std::chrono::milliseconds(3));
    EXPECT_EQ(path.batches.size(), 2u);
    EXPECT_EQ(path.batches.back(), kFrame);
}
