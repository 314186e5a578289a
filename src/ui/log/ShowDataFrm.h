#pragma once

#include "LogStatistics.h"
#include "RecordLog.h"

#include <QMainWindow>
#include <QString>

#include <array>
#include <filesystem>
#include <memory>
#include <optional>

namespace Ui {
class TFrmShowData;
}

namespace lrf {

class DataAddEvent;
class LogGridModel;
class LogStatusBar;
class TFrmChart;

// The log window: shows the measurement log (RecordLog: its rows, their
// numbers and the mirror that the automatic save writes) as a grid of ten
// columns, one row per record, with its statistics and chart. The main
// window changes the log only through the messages of LogEvents.h, sent with
// QCoreApplication::sendEvent; they are handled also while the window is
// hidden. A file error of WM_DATA_SAVE is thrown out of the event handler as
// CsvFileError, for the application object to show; the send then returns and
// the sender carries on. A failed WM_DATA_AUTOSAVE keeps its lines in the
// mirror and, once the sender's handler has returned, shows the error and asks
// for another folder (see RecoverFailedSave).
class TFrmShowData : public QMainWindow, private LogListener {
    Q_OBJECT
public:
    static constexpr int ColumnCount = 10;
    static constexpr int RowHeight = 20;

    // Always a window of its own, also with a parent (which then only owns it).
    // The program makes it without one, after the main window; a shown log
    // window does not keep the program running, because the main window's close
    // ends the program itself.
    explicit TFrmShowData(QWidget* parent = nullptr);
    ~TFrmShowData() override;

    // Sets up the ten columns: header texts and widths. Called once at start.
    void InitGrid();
    // Makes the last grid row the current one and scrolls it into view.
    void GotoLastRow();

    // Target of the next manual save (WM_DATA_SAVE); set by the main window.
    QString SaveFileName;

    // Writes the records still in the mirror as an automatic save, so that
    // nothing recorded is lost when the program ends. When the file cannot be
    // written, asks with the error: save them in another folder (a folder
    // dialog, then the write again) or end and leave them. Call it while the
    // application object still exists. Returns true when nothing is left unsaved.
    bool SaveMirrorAtExit();

    // Folder of the automatic saves; empty (the default) is the working
    // directory. A folder chosen after a failed save replaces it for the run.
    void SetAutoSaveDirectory(const QString& directory) { autoSaveDirectory = directory; }
    const QString& AutoSaveDirectory() const { return autoSaveDirectory; }

    // The status bar's message: the announcement of the last automatic save.
    QString StatusText() const;

    // The log the window shows; the crash journal follows it there.
    RecordLog& Log() { return log; }

    // The grid as the log counts it: row 0 is the header row.
    int RowCount() const;
    QString Cells(int column, int row) const;
    // The current grid row (the selected one), or -1 when there is none.
    int Row() const;
    int ColWidths(int column) const;
    const CsvMirror& Mirror() const { return log.Mirror(); }

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
    void DataAdd(const DataAddEvent& add);
    void DataAutoSave();
    void SelectRow(int gridRow);
    // The row a record selects, applied once the handler has returned: the
    // grid then lays out, moves its current row and scrolls once however many
    // records came. Nothing is painted in between, so the screen is the same.
    void SelectRowSoon(int gridRow);
    void SelectPendingRow();
    void FitColumns(int gridRow, int firstColumn);

    void RowsChanging(std::int32_t from, std::int32_t to) override;
    void LineWritten(const LogLine& line) override;
    void Cleared() override;
    void MirrorSaved(const std::filesystem::path& file, int records) override;

    // Writes the mirror into a new file in the automatic saves' folder and
    // empties it. Returns the error text when it could not; the lines stay.
    std::optional<QString> WriteMirror();
    // After a failed automatic save, run from the event loop: shows the error,
    // asks for another folder and writes the kept lines there, until they are
    // written or the operator cancels (they then wait for the next save).
    void RecoverFailedSave();
    QWidget* DialogParent();
    void StatisticsChanged();

    std::unique_ptr<Ui::TFrmShowData> ui;
    RecordLog log;
    // Declared after the log, so that it goes first and leaves the log's listeners.
    std::unique_ptr<LogGridModel> grid;
    QString autoSaveDirectory;
    QString failedSaveError; // text of the last failed automatic save
    bool recoveryQueued = false;
    bool recovering = false;
    int pendingRow = -1; // a grid row to select, or -1
    LogStatistics statistics;
    LogStatusBar* logStatusBar;
    TFrmChart* chart = nullptr;
    // The columns' widths as fitted to their texts, and the longest text
    // measured in each column (FitColumns).
    std::array<int, ColumnCount> fittedWidths{};
    std::array<std::size_t, ColumnCount> longestTexts{};
};

} // namespace lrf
