#pragma once

#include "RedrawPacer.h"

#include <QLabel>
#include <QObject>
#include <QString>

#include <functional>

class QMenu;
class QStatusBar;
class QToolButton;

namespace lrf {

class LogStatistics;

// The log window's status bar, left to right:
//   - the statistics of the log (a normal widget, stretching): updated at most
//     20 times a second, shortened and then cut off with "…" when the bar is
//     too narrow; the whole line is its tool tip;
//   - the serial link (a permanent widget): hidden until SetLinkLine;
//   - the store state (a permanent widget): empty and hidden until
//     SetStoreState gives it a text;
//   - the chart button (a permanent widget, at the right end).
// Temporary messages (ShowMessage, QStatusBar::showMessage) take the place of
// the statistics while they show: the statistics go on counting underneath and
// come back, up to date, when the message times out or the next clear of the
// message. A new message replaces the one showing. The store state and the
// chart button are never covered. The context menu of the bar copies the
// statistics of every group as text.
class LogStatusBar : public QObject {
public:
    static constexpr int kMessageMs = 8000;

    LogStatusBar(QStatusBar& bar, const LogStatistics& statistics, std::function<void()> openChart);

    // The log changed.
    void StatisticsChanged() { pacer.Request(); }
    // Shows the statistics as they are now.
    void Refresh();
    // A paced refresh is still to come.
    bool RefreshPending() const { return pacer.Pending(); }
    void ShowMessage(const QString& text, int timeoutMs = kMessageMs);
    void SetStoreState(const QString& text);
    // The serial link (a permanent widget left of the store state): a short
    // text, the whole link line and any advice as its tool tip; hidden while empty.
    void SetLinkLine(const QString& text, const QString& toolTip);
    // What the context menu copies: every group, tab-separated.
    QString StatisticsText() const;
    void CopyStatistics() const;

    QLabel* StatsLabel() const;
    QLabel* StoreLabel() const { return storeLabel; }
    QLabel* LinkLabel() const { return linkLabel; }
    QToolButton* ChartButton() const { return chartButton; }
    QMenu* ContextMenu() const { return menu; }

private:
    class StatsLine;

    QStatusBar& bar;
    const LogStatistics& stats;
    StatsLine* statsLabel;
    QLabel* linkLabel;
    QLabel* storeLabel;
    QToolButton* chartButton;
    QMenu* menu;
    RedrawPacer pacer;
};

} // namespace lrf
