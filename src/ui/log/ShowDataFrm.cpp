#include "ShowDataFrm.h"

#ifdef LRF_HAVE_CHART
#include "ChartFrm.h"
#endif
#include "CsvFile.h"
#include "Dialogs.h"
#include "Fonts.h"
#include "LocalTime.h"
#include "LogColumns.h"
#include "LogEvents.h"
#include "LogGridModel.h"
#include "LogStatusBar.h"
#include "StringTable.h"
#include "WindowPlaces.h"
#include "ui_ShowDataFrm.h"

#include <QApplication>
#include <QCloseEvent>
#include <QDir>
#include <QFile>
#include <QFontMetrics>
#include <QHeaderView>
#include <QScreen>
#include <QShortcut>
#include <QStatusBar>
#include <QStyle>

#include <algorithm>
#include <array>
#include <filesystem>
#include <utility>

namespace lrf {

namespace {

// Widths of the ten columns in pixels; their headers are kLogColumnHeaders.
constexpr std::array<int, TFrmShowData::ColumnCount> kColumnWidths{30,  60,  30,  60, 50,
                                                                   100, 100, 100, 80, 80};
static_assert(kLogColumnHeaders.size() == TFrmShowData::ColumnCount);

std::filesystem::path ToPath(const QString& name) {
#ifdef _WIN32
    return std::filesystem::path(name.toStdWString());
#else
    return std::filesystem::path(QFile::encodeName(name).toStdString());
#endif
}

QString FromPath(const std::filesystem::path& path) {
#ifdef _WIN32
    return QDir::toNativeSeparators(QString::fromStdWString(path.wstring()));
#else
    return QFile::decodeName(QByteArray::fromStdString(path.string()));
#endif
}

const QString kChooseFolder = QStringLiteral("Choose a folder for the log files");

} // namespace

TFrmShowData::TFrmShowData(QWidget* parent)
    : QMainWindow(parent)
    , ui(std::make_unique<Ui::TFrmShowData>()) {
    ui->setupUi(this);
    // The window hears of rows about to go before the grid does (RowsChanging).
    log.Subscribe(*this);
    grid = std::make_unique<LogGridModel>(log);
    log.SetMirrorWriter([this](const std::vector<std::string>& lines) {
        return WriteAutoSaveFile(ToPath(autoSaveDirectory), LocalNow(), lines);
    });
    setFont(TextFont(13));
    // A separate window with the system menu only: no minimise or maximise.
    setWindowFlags(Qt::Window | Qt::CustomizeWindowHint | Qt::WindowTitleHint |
                   Qt::WindowSystemMenuHint | Qt::WindowCloseButtonHint);
    setWindowTitle(QString::fromUtf8(LoadStr(strDataShowWindow)));

    ui->StringGrid1->setModel(grid.get());
    QHeaderView* rowsHeader = ui->StringGrid1->verticalHeader();
    rowsHeader->setMinimumSectionSize(0);
    rowsHeader->setDefaultSectionSize(RowHeight);
    rowsHeader->setSectionResizeMode(QHeaderView::Fixed);
    ui->StringGrid1->horizontalHeader()->setSectionResizeMode(QHeaderView::Interactive);

    logStatusBar = new LogStatusBar(*ui->RzStatusBar1, statistics, [this] { ShowChart(); });
    auto* chartKey = new QShortcut(QKeySequence(Qt::CTRL | Qt::Key_G), this);
    connect(chartKey, &QShortcut::activated, this, &TFrmShowData::ShowChart);
}

TFrmShowData::~TFrmShowData() = default;

void TFrmShowData::InitGrid() {
    const QFontMetrics metrics(ui->StringGrid1->horizontalHeader()->font());
    const int margins = 2 * ui->StringGrid1->style()->pixelMetric(QStyle::PM_HeaderMargin);
    for (int column = 0; column < ColumnCount; ++column) {
        const auto i = static_cast<std::size_t>(column);
        const std::string_view header = LoadStr(kLogColumnHeaders[i]);
        const int needed = metrics.horizontalAdvance(
                               QString::fromUtf8(header.data(), static_cast<int>(header.size()))) +
                           margins;
        fittedWidths[i] = std::max(kColumnWidths[i], needed);
        longestTexts[i] = 0;
        ui->StringGrid1->setColumnWidth(column, fittedWidths[i]);
    }
}

void TFrmShowData::GotoLastRow() {
    pendingRow = -1;
    SelectRow(log.RowCount() - 1);
    ui->StringGrid1->scrollTo(ui->StringGrid1->currentIndex());
}

bool TFrmShowData::SaveMirrorAtExit() {
    while (Mirror().HasRecords()) {
        const std::optional<QString> error = WriteMirror();
        if (!error)
            break;
        const QString unsaved = QStringLiteral("%1 records have not been written to a file.")
                                    .arg(Mirror().RecordLines());
        const int answer = dialogs().ask(
            DialogParent(), QCoreApplication::applicationName(), *error, unsaved,
            {QStringLiteral("Save elsewhere..."), QStringLiteral("End and leave them")});
        if (answer != 0)
            return false;
        const QString folder =
            dialogs().getExistingDirectory(DialogParent(), kChooseFolder, QDir::homePath());
        if (!folder.isEmpty())
            autoSaveDirectory = folder;
    }
    return true;
}

QString TFrmShowData::StatusText() const {
    return ui->RzStatusBar1->currentMessage();
}

void TFrmShowData::ShowStatusMessage(const QString& text, int timeoutMs) {
    logStatusBar->ShowMessage(text, timeoutMs);
}

void TFrmShowData::ShowChart() {
#ifndef LRF_HAVE_CHART
    // Built without Qt Charts (the Windows build, whose Qt has no Charts module).
    logStatusBar->ShowMessage(QStringLiteral("The chart is not part of this build."), 5000);
#else
    if (!chart) {
        chart = new TFrmChart(statistics, this);
        // Beside the log window where the screen has room, else inside the
        // screen at its lower right: never at the screen's corner over the
        // main window.
        if (const QScreen* s = screen()) {
            const QRect frame = frameGeometry();
            const QSize margins = frame.size() - size();
            const QRect place = ChartPlace(frame, chart->size() + margins, s->availableGeometry());
            chart->move(place.topLeft());
        }
    }
    chart->show();
    chart->raise();
    chart->activateWindow();
#endif
}

int TFrmShowData::RowCount() const {
    return log.RowCount();
}

QString TFrmShowData::Cells(int column, int row) const {
    if (column < 0 || column >= ColumnCount)
        throw std::out_of_range("grid column out of range");
    return QString::fromStdString(log.RowCells(row)[static_cast<std::size_t>(column)]);
}

int TFrmShowData::Row() const {
    if (pendingRow >= 0)
        return pendingRow;
    const QModelIndex current = ui->StringGrid1->currentIndex();
    return current.isValid() ? LogGridModel::GridRow(current.row()) : -1;
}

int TFrmShowData::ColWidths(int column) const {
    return ui->StringGrid1->columnWidth(column);
}

bool TFrmShowData::event(QEvent* event) {
    switch (static_cast<int>(event->type())) {
    case int{WM_DATA_ADD}:
        DataAdd(*static_cast<DataAddEvent*>(event));
        return true;
    case int{WM_DATA_CLEAR}:
        log.Clear();
        return true;
    case int{WM_DATA_SAVE}:
        log.SaveGrid(ToPath(SaveFileName));
        return true;
    case int{WM_DATA_AUTOSAVE}:
        DataAutoSave();
        return true;
    default:
        return QMainWindow::event(event);
    }
}

void TFrmShowData::closeEvent(QCloseEvent* event) {
    event->accept(); // a top-level window without delete-on-close is only hidden
}

// wParam 1 writes only the speed cells of the row. A record sent with its
// numbers keeps them; one sent as texts only has them read from its cells.
void TFrmShowData::DataAdd(const DataAddEvent& add) {
    const RowPart part = add.wParam != 0 ? RowPart::SpeedCells : RowPart::WholeRow;
    if (add.values)
        log.AddWithValues(add.record, *add.values, part);
    else
        log.Add(add.record, part);
}

// The statistics follow the row before the journal and the streams see it.
void TFrmShowData::LineWritten(const LogLine& line) {
    FitColumns(line.row, line.firstColumn);
    statistics.SetRecord(line.row - 1, line.values.distance, line.cells[2], line.values.speed,
                         line.cells[4]);
    StatisticsChanged();
    SelectRowSoon(line.row);
}

// Rows about to go: the selected row is settled first, so that the grid moves
// its current row off the removed rows as it did with it selected at once.
void TFrmShowData::RowsChanging(std::int32_t from, std::int32_t to) {
    if (to < from)
        SelectPendingRow();
}

void TFrmShowData::Cleared() {
    statistics.Clear();
    StatisticsChanged();
}

// A column keeps its width unless a text does not fit; then it grows to fit
// and stays so (also after a clear). A text is measured when it is longer than
// any before it in its column, or, in the free-text columns, when it changed:
// the digits are all equally wide, so the numbers and times need no more.
void TFrmShowData::FitColumns(int row, int firstColumn) {
    const QFontMetrics metrics(ui->StringGrid1->font());
    const int margins =
        2 * (ui->StringGrid1->style()->pixelMetric(QStyle::PM_FocusFrameHMargin) + 1) + 2;
    for (int column = firstColumn; column < ColumnCount; ++column) {
        const auto i = static_cast<std::size_t>(column);
        const std::string& text = log.RowCells(row)[i];
        const bool freeText = column == 5 || column == 6 || column == 8 || column == 9;
        if (text.size() < longestTexts[i] || (text.size() == longestTexts[i] && !freeText))
            continue;
        longestTexts[i] = text.size();
        const int needed = metrics.horizontalAdvance(QString::fromStdString(text)) + margins;
        if (needed > fittedWidths[i]) {
            fittedWidths[i] = needed;
            ui->StringGrid1->setColumnWidth(column, needed);
        }
    }
}

// The save runs inside the receive handler of a measurement run. Its error is
// not shown here: a modal box would hold that handler open, the run would not
// be re-armed and the watchdog would report a communication failure on top.
// The recovery runs from the event loop instead, once the handler has returned.
void TFrmShowData::DataAutoSave() {
    const std::optional<QString> error = WriteMirror();
    if (!error)
        return;
    failedSaveError = *error;
    if (recoveryQueued || recovering)
        return; // one question at a time; the lines wait in the mirror
    recoveryQueued = true;
    QMetaObject::invokeMethod(this, &TFrmShowData::RecoverFailedSave, Qt::QueuedConnection);
}

std::optional<QString> TFrmShowData::WriteMirror() {
    if (const std::optional<std::string> error = log.WriteMirror())
        return QString::fromStdString(*error);
    return std::nullopt;
}

void TFrmShowData::MirrorSaved(const std::filesystem::path& file, int records) {
    ShowStatusMessage(QStringLiteral("%1 records saved in %2").arg(records).arg(FromPath(file)));
}

void TFrmShowData::RecoverFailedSave() {
    recoveryQueued = false;
    if (!Mirror().HasRecords())
        return; // a later save has written them meanwhile
    recovering = true;
    QString error = failedSaveError;
    for (;;) {
        dialogs().showDetailedMessage(
            DialogParent(), QCoreApplication::applicationName(), error,
            QStringLiteral("The %1 records are kept: choose another folder for them.")
                .arg(Mirror().RecordLines()));
        const QString folder =
            dialogs().getExistingDirectory(DialogParent(), kChooseFolder, QDir::homePath());
        if (folder.isEmpty())
            break; // kept for the next automatic save or the save at exit
        autoSaveDirectory = folder;
        if (!Mirror().HasRecords())
            break;
        const std::optional<QString> again = WriteMirror();
        if (!again)
            break;
        error = *again;
    }
    recovering = false;
}

QWidget* TFrmShowData::DialogParent() {
    if (QWidget* active = QApplication::activeWindow())
        return active;
    return isVisible() ? this : nullptr;
}

void TFrmShowData::StatisticsChanged() {
    logStatusBar->StatisticsChanged();
#ifdef LRF_HAVE_CHART
    if (chart)
        chart->DataChanged();
#endif
}

void TFrmShowData::SelectRowSoon(int gridRow) {
    const bool queued = pendingRow >= 0;
    pendingRow = gridRow;
    if (!queued)
        QMetaObject::invokeMethod(this, &TFrmShowData::SelectPendingRow, Qt::QueuedConnection);
}

void TFrmShowData::SelectPendingRow() {
    const int row = std::exchange(pendingRow, -1);
    if (row <= 0 || row >= log.RowCount())
        return;
    SelectRow(row);
    // The view scrolls to a new current row itself, but lays out the rows
    // added since its last layout only afterwards: the first row selected
    // after many records would stay out of sight.
    if (ui->StringGrid1->isVisible())
        ui->StringGrid1->scrollTo(ui->StringGrid1->currentIndex());
}

void TFrmShowData::SelectRow(int gridRow) {
    const QModelIndex index = grid->index(LogGridModel::ModelRow(gridRow), 1);
    ui->StringGrid1->selectionModel()->setCurrentIndex(index, QItemSelectionModel::ClearAndSelect |
                                                                  QItemSelectionModel::Rows);
}

} // namespace lrf
