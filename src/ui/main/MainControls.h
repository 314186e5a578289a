#pragma once

#include "ImageButton.h"
#include "NumericEdit.h"
#include "PortComboBox.h"
#include "ReadoutPanel.h"

#include <QComboBox>
#include <QLineEdit>
#include <QPushButton>

namespace lrf {

// The main window's operator controls by their design names: what the program
// entry's helpers, the benchmarks and the end-to-end tests press, type into and
// read, as an operator would. The labels, panels and the form itself stay the
// window's own.
struct MainControls {
    PortComboBox* cbbComPort = nullptr;
    QComboBox* cbbBaudRate = nullptr;
    ImageButton* btnOpenCom = nullptr;
    ImageButton* btnClearData = nullptr;
    ImageButton* btnSaveData = nullptr;
    ImageButton* btnRecordData = nullptr;
    ImageButton* btnShowData = nullptr;
    ImageButton* btnExit = nullptr;
    ImageButton* RzBitBtn5 = nullptr; // single distance shot
    ImageButton* RzBitBtn6 = nullptr; // continuous distance run
    ImageButton* RzBitBtn8 = nullptr; // single speed shot
    ImageButton* RzBitBtn9 = nullptr; // continuous speed run
    ImageButton* RzBitBtn7 = nullptr; // rotation run
    DistanceReadout* GroupBox1 = nullptr;
    SpeedReadout* GroupBox3 = nullptr;
    QLineEdit* RzEdit1 = nullptr;          // model
    QLineEdit* RzEdit2 = nullptr;          // instrument code
    QLineEdit* RzEdit3 = nullptr;          // place
    QLineEdit* RzEdit4 = nullptr;          // destination
    NumericEdit* RzNumericEdit1 = nullptr; // shot count
    NumericEdit* RzNumericEdit2 = nullptr; // rotation period in ms
    QLineEdit* edtTest = nullptr;          // hidden self-test frame
    QPushButton* btnTest = nullptr;        // hidden self-test button
};

} // namespace lrf
