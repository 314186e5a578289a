#pragma once

#include <QElapsedTimer>
#include <QObject>
#include <QTimer>

#include <cstdio>
#include <string>

namespace lrf::measure {

// A progress bar on a terminal: records made of the total, the rate and the
// time left, redrawn a few times a second on one line. Told to stay quiet
// (standard error is no terminal, or the records go to the same terminal) it
// prints nothing at all.
class ProgressLine : public QObject {
public:
    ProgressLine(std::FILE* terminal, int total, QObject* parent = nullptr);

    void Record(); // one more record (a row completed)
    void Finish(); // wipes the line

    // The line's text for `done` of `total` records (0: no end) after `seconds`.
    static std::string Text(int done, int total, double seconds, int width = 30);

private:
    void Draw();

    std::FILE* terminal;
    int total;
    int done = 0;
    bool dirty = false;
    QElapsedTimer clock;
    QTimer redraw;
};

} // namespace lrf::measure
