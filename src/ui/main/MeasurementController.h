#pragma once

#include "DeadlineTimer.h"
#include "MeasurementSession.h"

#include <QObject>
#include <QTimer>

namespace lrf {

class ImageButton;
class NumericEdit;

// The five measurement buttons and the two fields of the main window over the
// measurement session: a press forwards to the session, and the buttons'
// images and captions and the shot-count field follow what the session
// announces. The run itself (its shots, timers, watchdog) is the session's.
class MeasurementController : public QObject {
    Q_OBJECT

public:
    struct Controls {
        ImageButton* RzBitBtn6 = nullptr;      // continuous distance run
        ImageButton* RzBitBtn9 = nullptr;      // continuous speed run
        ImageButton* RzBitBtn7 = nullptr;      // rotation run
        NumericEdit* RzNumericEdit1 = nullptr; // shot count
        NumericEdit* RzNumericEdit2 = nullptr; // rotation period in ms
    };

    MeasurementController(MeasurementSession& session, Controls controls,
                          QObject* parent = nullptr);

    void RzBitBtn5Click(); // single distance shot
    void RzBitBtn8Click(); // single speed shot
    void RzBitBtn6Click(); // start or stop the continuous distance run
    void RzBitBtn9Click(); // start or stop the continuous speed run
    void RzBitBtn7Click(); // start or stop the rotation run

    void Timer1Timer() { session_.distanceTick(); }
    void Timer2Timer() { session_.speedTick(); }
    void Timer3Timer() { session_.rotationTick(); }
    void Timer4Timer(); // the watchdog's report

    void RzNumericEdit2Change(); // the rotation period was edited

    // A run is active, or the last shot of a run still waits for its reply.
    bool RunInProgress() const { return session_.busy(); }

    DeadlineTimer& Timer1() { return session_.distanceTimer(); }
    DeadlineTimer& Timer2() { return session_.speedTimer(); }
    QTimer& Timer3() { return session_.rotationTimer(); }
    QTimer& Timer4() { return session_.watchdog(); }

    // Test hook: a shorter watchdog, so that tests need not wait ten seconds.
    void setWatchdogInterval(int ms) { session_.setWatchdogInterval(ms); }
    // Test hook: a shorter pause between the shots of a continuous run.
    void setShotInterval(int ms) { session_.setShotPause(std::chrono::milliseconds(ms)); }

signals:
    // A continuous or rotation run is being started (a continuous button pressed
    // with a shot count of 1 too): recording is to be on and the log window shown,
    // before the run's state changes and its first command goes out.
    void runStarting();

private:
    void showRun(RunMode mode, bool running);
    void continuousClick(RunMode mode);

    MeasurementSession& session_;
    Controls controls_;
};

} // namespace lrf
