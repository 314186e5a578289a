#pragma once

#include "ScanToStart.h"
#include "VerificationWindow.h"

#include <QString>

namespace lrf {

class TForm1;

// The test line's part of the program beside the main window: the
// verification window and scan to start. The window opens with Ctrl+T or from
// the main window's context menu ("Verification..."); the main window itself
// keeps its controls as they are.
class VerificationStation {
public:
    explicit VerificationStation(TForm1& form);

    VerificationWindow& window() { return window_; }
    ScanToStart& scan() { return scan_; }

    // What the command line chose: the plan file (none: none), the reports folder.
    // A plan that cannot be read is told; the window then opens without it. With
    // a plan the LRF Code field takes the focus, ready for the first scan.
    void applyChoices(const QString& planFile, const QString& reportsFolder);

private:
    TForm1& form_;
    VerificationWindow window_;
    ScanToStart scan_;
};

} // namespace lrf
