#pragma once

#include "CsvMirror.h"
#include "LogStatistics.h"
#include "MeasurementRecord.h"

#include <QMainWindow>
#include <QString>

#include <memory>

namespace Ui {
class TFrmShowData;
}

namespace lrf {

class LogGridModel;
class LogStatusBar;
class TFrmChart;
class LogObserver;

// The log window: the measurement log as a grid of ten columns, one row per
// record, and the mirror of the log that the automatic save writes. The main
// window changes the log only through the messages of LogEvents.h, sent with
// QCoreApplication::sendEvent; they are handled also while the window is
// hidden. A file error of WM_DATA_SAVE or WM_DATA_AUTOSAVE is thrown out of the
// event handler as CsvFileError, for the application object to show; the send
// then returns and the sender carries on.
class TFrmShowData : public QMainWindow {
    Q_OBJECT
public:
    static constexpr int ColumnCount = 10;
    static constexpr int RowHeight = 20;

    // Always a window of its own. Give the main window as parent: the log
    // window then goes with it and does not keep the program running when the
    // main window closes.
    explicit TFrmShowData(QWidget* parent = nullptr);
    ~TFrmShowData() override;

    // Sets up the ten columns: header texts and widths. Called once at start.
    void InitGrid();
    // Makes the last grid row the current one and scrolls it into view.
    void GotoLastRow();

    // Target of the next manual save (WM_DATA_SAVE); set by the main window.
    QString SaveFileName;

    // Writes the records still in the mirror as an automatic save, through
    // WM_DATA_AUTOSAVE, so that nothing recorded is lost when the program ends.
    // Call it while the application object is still running (a file error is
    // shown like any other). Returns true when nothing is left unsaved.
    bool SaveMirrorAtExit();

    // Folder of the automatic saves; empty (the default) is the working directory.
    void SetAutoSaveDirectory(const QString& directory) { autoSaveDirectory = directory; }
    const QString& AutoSaveDirectory() const { return autoSaveDirectory; }

    // Told of every mirror line and of every save that succeeded (nullptr:
    // nobody). The observer must outlive the window or be detached first.
    void SetObserver(LogObserver* newObserver) { observer = newObserver; }

    // The grid as the log counts it: row 0 is the header row.
    int RowCount() const;
    QString Cells(int column, int row) const;
    // The current grid row (the selected one), or -1 when there is none.
    int Row() const;
    int ColWidths(int column) const;
    const CsvMirror& Mirror() const { return mirror; }

    // Statistics of the log as it stands since the last clear, kept up to date
    // with every record the grid gets.
    const LogStatistics& Statistics() const { return statistics; }
    // The status bar: statistics, store state and the chart button.
    // LogStatusBar.h tells how temporary messages share it with the statistics.
    LogStatusBar& StatusBar() const { return *logStatusBar; }
    // A temporary message in the status bar, e.g. an announcement of a file
    // written; it covers the statistics until it times out.
    void ShowStatusMessage(const QString& text, int timeoutMs = 8000);
    // Opens the chart window, or brings it to the front (the chart button, Ctrl+G).
    void ShowChart();
    // The chart window; nullptr until it was first opened.
    TFrmChart* Chart() const { return chart; }

protected:
    bool event(QEvent* event) override;
    // FormClose: closing hides the window; grid and mirror live on.
    void closeEvent(QCloseEvent* event) override;

private:
    void DataAdd(const TAData& record, int wParam);
    void DataClear();
    void DataSave();
    void DataAutoSave();
    void SelectRow(int gridRow);
    void StatisticsChanged();

    std::unique_ptr<Ui::TFrmShowData> ui;
    LogGridModel* grid;
    CsvMirror mirror;
    QString autoSaveDirectory;
    LogStatistics statistics;
    LogStatusBar* logStatusBar;
    TFrmChart* chart = nullptr;
    LogObserver* observer = nullptr;
};

} // namespace lrf
