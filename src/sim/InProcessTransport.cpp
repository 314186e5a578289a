// The simulator on an in-process line of the serial component: the program opens
// the line's name ("SIM1") through the component like any port.

#include "SimTransport.h"

#include "SimulatedLink.h"

#include <atomic>
#include <system_error>

namespace lrf::sim {

namespace {

class InProcessTransport : public SimTransport {
public:
    std::string Open() override {
        link_ = cport::SimulatedLink::Create();
        return link_->Name();
    }
    std::size_t Receive(std::uint8_t* buffer, std::size_t size) override {
        return link_->Receive(buffer, size);
    }
    bool Send(const std::uint8_t* data, std::size_t size) override {
        link_->Send(data, size);
        return !stopping_;
    }
    bool WaitUntil(std::chrono::steady_clock::time_point due) override {
        return link_->WaitUntil(due);
    }
    void RequestStop() override {
        stopping_ = true;
        link_->StopFarEnd();
    }
    void HangUp() override { link_->HangUp(); }
    bool PacesEachByte() const override { return false; }
    void Close() override { link_.reset(); }

    SimLineState LineState() const override {
        if (!link_)
            throw std::system_error(std::make_error_code(std::errc::bad_file_descriptor),
                                    "line state");
        const cport::LineSettings line = link_->Line();
        SimLineState s;
        s.bitsPerSecond = line.BaudRate;
        s.dataBits = line.DataBits;
        static constexpr char kParity[] = {'N', 'O', 'E', 'M', 'S'};
        const auto parity = static_cast<std::size_t>(line.Parity);
        s.parity = parity < sizeof kParity ? kParity[parity] : 'N';
        s.stopBits = line.StopBits == cport::sbOneStopBit ? 1 : 2;
        return s;
    }

private:
    std::shared_ptr<cport::SimulatedLink> link_;
    std::atomic<bool> stopping_{false};
};

} // namespace

std::unique_ptr<SimTransport> MakeInProcessTransport() {
    return std::make_unique<InProcessTransport>();
}

#ifdef _WIN32
std::unique_ptr<SimTransport> MakePseudoTerminalTransport() {
    return nullptr;
}
#endif

} // namespace lrf::sim
