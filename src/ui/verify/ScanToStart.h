#pragma once

#include "UnitResultSink.h"

#include <QDateTime>
#include <QHash>
#include <QObject>
#include <QString>

#include <optional>
#include <vector>

namespace lrf {

class TForm1;
class VerificationWindow;
enum class RunMode;
struct Measurement;

// Scan to start: with a plan chosen, an instrument code typed into the LRF
// Code field and ended with Enter (what a barcode scanner does) starts the
// plan's run for that unit through the main window's session. A code tested
// earlier today is asked about first. When the unit's run ends, also early
// (stopped, no reply, the device gone), its verdict is final: the report goes
// into the reports folder and every attached sink is told. Without a plan,
// Enter in the field does nothing, as before.
class ScanToStart : public QObject {
    Q_OBJECT

public:
    ScanToStart(TForm1& form, VerificationWindow& window, QObject* parent = nullptr);
    ~ScanToStart() override;

    // Told of every finished unit; the sink must outlive this object or be
    // detached first.
    void attachSink(verify::UnitResultSink& sink);
    void detachSink(verify::UnitResultSink& sink);
    // The station's name in the reports and records; the machine's name when empty.
    void setStation(const QString& station) { station_ = station; }

    bool testing() const { return unit_.has_value(); }

signals:
    // A unit's run is over and its report written (or its failure told).
    void unitFinished(const lrf::verify::UnitRecord& unit);

private:
    struct Unit {
        QString code;
        verify::TestPlan plan;
        QDateTime start;
        RunMode mode;
        int shotField; // the shot-count field's value before the unit's run
    };
    struct Tested {
        QDateTime end;
        QString verdict;
    };

    void codeEntered();
    bool mayTestAgain(const QString& code);
    std::optional<QString> testedToday(const QString& code) const;
    void start(const QString& code);
    void measured(const Measurement& m);
    void runStopped();
    void finish();
    QString writeReport(const verify::UnitResult& result, const Unit& unit, const QDateTime& end);
    verify::UnitRecord record(const Unit& unit) const;
    // Each sink in turn; one that fails is told to the operator, the others
    // are still told.
    template <typename Call> void tell(const QString& code, Call call);

    TForm1& form_;
    VerificationWindow& window_;
    std::vector<verify::UnitResultSink*> sinks_;
    QString station_;
    std::optional<Unit> unit_;
    QHash<QString, Tested> tested_; // by code, the last run of each in this program
};

} // namespace lrf
