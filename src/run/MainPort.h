#pragma once

namespace cport {
class TComPort;
}

namespace lrf {

// Lets the serial component's event thread hand its events to the thread of
// the event loop: the wake-up hook queues a call onto the application object.
// Install once, after the application object exists; the window program's
// application object (lrf::Application) installs it itself.
void InstallGuiHandOver();
void RemoveGuiHandOver();

// Sets up the port the way the main window uses it: 19200 baud (custom rate
// 9600), 8 data bits, no parity, one stop bit, no flow control, DTR and RTS off.
void ConfigureMainPort(cport::TComPort& port);

} // namespace lrf
