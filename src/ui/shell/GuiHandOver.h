#pragma once

namespace lrf {

// Lets the serial component's event thread hand its events to the GUI thread:
// the wake-up hook queues a call onto the application object, which runs the
// pending hand-overs. The application object installs it when it is made and
// removes it when it goes.
void InstallGuiHandOver();
void RemoveGuiHandOver();

} // namespace lrf
