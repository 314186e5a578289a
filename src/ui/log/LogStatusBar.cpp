#include "LogStatusBar.h"

#include "LogActions.h"
#include "LogStatistics.h"
#include "StatisticsText.h"

#include <QApplication>
#include <QClipboard>
#include <QMenu>
#include <QResizeEvent>
#include <QStatusBar>
#include <QToolButton>

namespace lrf {

namespace {

constexpr int kRefreshMs = 50;

QString FromUtf8(const std::string& text) {
    return QString::fromUtf8(text.data(), static_cast<qsizetype>(text.size()));
}

} // namespace

// A label that fits its line to its width: the full line, else the compact
// one, else the compact one cut off. It never asks the bar for more room.
class LogStatusBar::StatsLine : public QLabel {
public:
    explicit StatsLine(QWidget* parent)
        : QLabel(parent) {
        setObjectName(QStringLiteral("statsLabel"));
        setSizePolicy(QSizePolicy::Ignored, QSizePolicy::Preferred);
        setMinimumWidth(1);
        setTextFormat(Qt::PlainText);
    }

    void SetLines(const QString& fullLine, const QString& compactLine) {
        if (fullLine == full && compactLine == compact)
            return;
        full = fullLine;
        compact = compactLine;
        setToolTip(full);
        Fit();
    }
    const QString& Full() const { return full; }

protected:
    void resizeEvent(QResizeEvent* event) override {
        QLabel::resizeEvent(event);
        Fit();
    }

private:
    void Fit() {
        const QFontMetrics metrics = fontMetrics();
        const int room = contentsRect().width();
        if (metrics.horizontalAdvance(full) <= room)
            setText(full);
        else
            setText(metrics.elidedText(compact, Qt::ElideRight, room));
    }

    QString full, compact;
};

LogStatusBar::LogStatusBar(QStatusBar& bar, const LogStatistics& statistics,
                           std::function<void()> openChart)
    : QObject(&bar)
    , bar(bar)
    , stats(statistics)
    , statsLabel(new StatsLine(&bar))
    , linkLabel(new QLabel(&bar))
    , storeLabel(new QLabel(&bar))
    , chartButton(new QToolButton(&bar))
    , menu(new QMenu(&bar))
    , pacer(
          kRefreshMs, [this] { Refresh(); }, this) {
    bar.addWidget(statsLabel, 1);

    linkLabel->setObjectName(QStringLiteral("linkLabel"));
    linkLabel->setTextFormat(Qt::PlainText);
    linkLabel->hide();
    bar.addPermanentWidget(linkLabel);

    storeLabel->setObjectName(QStringLiteral("storeStateLabel"));
    storeLabel->setTextFormat(Qt::PlainText);
    storeLabel->hide();
    bar.addPermanentWidget(storeLabel);

    chartButton->setObjectName(QStringLiteral("btnChart"));
    chartButton->setText(QStringLiteral("Chart"));
    chartButton->setToolTip(QStringLiteral("Chart of the log (Ctrl+G)"));
    chartButton->setFocusPolicy(Qt::NoFocus);
    chartButton->setMaximumHeight(bar.maximumHeight());
    bar.addPermanentWidget(chartButton);
    connect(chartButton, &QToolButton::clicked, this, [openChart] { openChart(); });

    QAction* copy = menu->addAction(QStringLiteral("Copy statistics"));
    copy->setObjectName(QStringLiteral("actCopyStatistics"));
    connect(copy, &QAction::triggered, this, &LogStatusBar::CopyStatistics);
    bar.setContextMenuPolicy(Qt::CustomContextMenu);
    connect(&bar, &QWidget::customContextMenuRequested, this,
            [this](const QPoint& at) { menu->popup(this->bar.mapToGlobal(at)); });
}

QLabel* LogStatusBar::StatsLabel() const {
    return statsLabel;
}

void LogStatusBar::Refresh() {
    const std::string decimal = CurrentSeparators().decimal;
    statsLabel->SetLines(FromUtf8(StatusLine(stats, decimal, StatusDetail::Full)),
                         FromUtf8(StatusLine(stats, decimal, StatusDetail::Compact)));
}

void LogStatusBar::ShowMessage(const QString& text, int timeoutMs) {
    bar.showMessage(text, timeoutMs);
}

void LogStatusBar::SetStoreState(const QString& text) {
    storeLabel->setText(text);
    storeLabel->setVisible(!text.isEmpty());
}

void LogStatusBar::SetLinkLine(const QString& text, const QString& toolTip) {
    if (linkLabel->text() != text)
        linkLabel->setText(text);
    linkLabel->setToolTip(toolTip);
    linkLabel->setVisible(!text.isEmpty());
}

QString LogStatusBar::StatisticsText() const {
    return FromUtf8(StatisticsTable(stats, CurrentSeparators().decimal));
}

void LogStatusBar::CopyStatistics() const {
    QApplication::clipboard()->setText(StatisticsText());
}

} // namespace lrf
