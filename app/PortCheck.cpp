#include "PortCheck.h"

#include "CPort.h"
#include "PortControl.h"

#include <exception>

namespace lrf {

PortCheckResult CheckPort(const std::string& port) {
    cport::TComPort comPort;
    ConfigureMainPort(comPort);
    try {
        comPort.SetPort(port);
        comPort.OpenPort();
        comPort.ClosePort();
        return {true, "opened"};
    } catch (const std::exception& e) {
        return {false, e.what()};
    }
}

} // namespace lrf
