// The main window's port box over a fake udev device tree: umockdev shows libudev
// the test's devices and delivers the uevents the test makes, so the real monitor
// and the event loop carry each hot-plug to the box.

// glib's headers first: Qt's keyword macros would break them.
#include <umockdev.h>

#include "MainControls.h"
#include "MainFrm.h"
#include "PortComboBox.h"
#include "ShowDataFrm.h"
#include "TestDialogs.h"

#include <QCoreApplication>
#include <QElapsedTimer>
#include <gtest/gtest.h>

#include <cstdlib>
#include <cstring>
#include <functional>

namespace {

bool waitUntil(const std::function<bool()>& done, int timeoutMs = 5000) {
    QElapsedTimer clock;
    clock.start();
    while (!done()) {
        if (clock.elapsed() > timeoutMs)
            return false;
        QCoreApplication::processEvents(QEventLoop::AllEvents, 5);
    }
    return true;
}

class PortBoxHotPlug : public ::testing::Test {
protected:
    void SetUp() override {
        const char* preload = std::getenv("LD_PRELOAD");
        if (!preload || !std::strstr(preload, "umockdev-preload"))
            GTEST_SKIP() << "needs umockdev's preload library (LD_PRELOAD)";
        bed = umockdev_testbed_new();
        usb = addDevice("usb", "1-1", nullptr, {});
    }
    void TearDown() override {
        if (bed)
            g_object_unref(bed);
    }

    // Adding a device sends its "add" uevent.
    std::string addDevice(const char* subsystem, const char* name, const char* parent,
                          std::vector<const char*> properties) {
        const char* attributes[] = {nullptr};
        properties.push_back(nullptr);
        gchar* path = umockdev_testbed_add_devicev(bed, subsystem, name, parent,
                                                   const_cast<gchar**>(attributes),
                                                   const_cast<gchar**>(properties.data()));
        std::string syspath = path;
        g_free(path);
        return syspath;
    }
    std::string addPort(const char* name, std::vector<const char*> identity = {}) {
        const std::string node = std::string("/dev/") + name;
        identity.insert(identity.begin(), {"DEVNAME", node.c_str()});
        return addDevice("tty", name, usb.c_str(), identity);
    }

    std::vector<lrf::PortEntry> shown() { return form->controls().cbbComPort->ports(); }
    QString text() { return form->controls().cbbComPort->currentText(); }

    void showForm() {
        form = std::make_unique<lrf::TForm1>();
        form->attachLogWindow(logWindow);
        form->setLeadingPortNames({"/dev/pts/77"});
        form->show();
    }

    UMockdevTestbed* bed = nullptr;
    std::string usb;
    TestDialogs dialogs;
    lrf::TFrmShowData logWindow;
    std::unique_ptr<lrf::TForm1> form;
};

TEST_F(PortBoxHotPlug, FollowsTheMachineAndKeepsTheOperatorsChoice) {
    const std::string adapter =
        addPort("ttyUSB0", {"ID_VENDOR", "FTDI", "ID_MODEL", "FT232R_USB_UART", "ID_SERIAL_SHORT",
                            "A10K3G5B"});
    showForm();
    const std::vector<lrf::PortEntry> atStart{{"/dev/pts/77", ""},
                                              {"/dev/ttyUSB0", "FTDI FT232R USB UART A10K3G5B"}};
    EXPECT_EQ(shown(), atStart);
    EXPECT_EQ(text(), "/dev/pts/77"); // the first entry, as at every start
    form->controls().cbbComPort->setCurrentIndex(1);

    addPort("ttyACM0", {"ID_VENDOR", "Laser_Works"}); // plugged in
    ASSERT_TRUE(waitUntil([&] { return shown().size() == 3; }));
    EXPECT_EQ(shown()[1], (lrf::PortEntry{"/dev/ttyACM0", "Laser Works"}));
    EXPECT_EQ(text(), "/dev/ttyUSB0");

    umockdev_testbed_uevent(bed, adapter.c_str(), "remove"); // pulled out
    umockdev_testbed_remove_device(bed, adapter.c_str());
    ASSERT_TRUE(waitUntil([&] { return shown().size() == 2; }));
    EXPECT_EQ(text(), "/dev/ttyUSB0"); // still what the operator chose

    // Opening the box reads the list afresh, also without a uevent.
    form->controls().cbbComPort->setEditText("/dev/tty");
    const std::string acm = "/sys/devices/1-1/ttyACM0";
    umockdev_testbed_set_property(bed, acm.c_str(), "ID_MODEL", "Range_Finder");
    form->controls().cbbComPort->showPopup();
    EXPECT_EQ(shown()[1], (lrf::PortEntry{"/dev/ttyACM0", "Laser Works Range Finder"}));
    EXPECT_EQ(text(), "/dev/tty");
    form->controls().cbbComPort->hidePopup();
    EXPECT_TRUE(dialogs.messages.isEmpty());
}

} // namespace
