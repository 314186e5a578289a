#include "UnitReport.h"

#include <QBuffer>
#include <QDir>
#include <QFile>
#include <QPageLayout>
#include <QPageSize>
#include <QPainter>
#include <QPainterPath>
#include <QPdfWriter>
#include <QSaveFile>
#include <QTextDocument>

#include <algorithm>
#include <cmath>

#ifndef _WIN32
#include <pwd.h>
#include <unistd.h>
#endif

namespace lrf::verify {

namespace {

QString Text(const std::string& text) {
    return QString::fromStdString(text);
}

QString Escaped(const QString& text) {
    return text.toHtmlEscaped();
}

QString Number(double value, int decimals, bool sign = false) {
    return Text(NumberText(value, decimals, sign));
}

QString Unit(const TestPlan& plan) {
    return Text(std::string(PlanUnitName(plan.unit)));
}

QString When(const QDateTime& time) {
    return time.isValid() ? time.toString(QStringLiteral("yyyy-MM-dd HH:mm:ss")) : QString();
}

// Two cells of the header table: a label and its value.
QString Row(const QString& label, const QString& value) {
    return QStringLiteral("<tr><td><b>%1</b></td><td>%2</td></tr>").arg(label, value);
}

// The shots in groups of columns, so that a plan of a hundred shots still
// fits the page.
QString ShotTable(const TestPlan& plan, const UnitResult& result) {
    const int count = static_cast<int>(result.shots.size());
    const int groups = count > 60 ? 4 : count > 20 ? 3 : count > 10 ? 2 : 1;
    const int rows = (count + groups - 1) / groups;
    QString html = QStringLiteral("<table cellspacing=\"0\" cellpadding=\"2\" border=\"1\" "
                                  "style=\"border-collapse: collapse; font-size: 8pt\"><tr>");
    for (int g = 0; g < groups; ++g)
        html += QStringLiteral("<th>#</th><th>value (%1)</th><th>deviation</th><th>verdict</th>")
                    .arg(Unit(plan));
    html += QStringLiteral("</tr>");
    for (int r = 0; r < rows; ++r) {
        html += QStringLiteral("<tr>");
        for (int g = 0; g < groups; ++g) {
            const int i = g * rows + r;
            if (i >= count) {
                html += QStringLiteral("<td></td><td></td><td></td><td></td>");
                continue;
            }
            const ShotResult& shot = result.shots[static_cast<std::size_t>(i)];
            html +=
                QStringLiteral("<td align=\"right\">%1</td><td align=\"right\">%2</td>"
                               "<td align=\"right\">%3</td><td>%4</td>")
                    .arg(i + 1)
                    .arg(shot.value ? Number(*shot.value, 1) : QStringLiteral("-"))
                    .arg(shot.deviation ? Number(*shot.deviation, 3, true) : QStringLiteral("-"))
                    .arg(Text(std::string(VerdictText(shot.verdict))));
        }
        html += QStringLiteral("</tr>");
    }
    return html + QStringLiteral("</table>");
}

QString PlanRows(const TestPlan& plan) {
    QString html = Row(QStringLiteral("Plan"), Escaped(Text(plan.name)));
    html += Row(QStringLiteral("Reference"),
                Number(plan.reference, 3) + QLatin1Char(' ') + Unit(plan) +
                    (plan.quantity == Quantity::Distance ? QStringLiteral(" (distance)")
                                                         : QStringLiteral(" (speed)")));
    html += Row(QStringLiteral("Shots"), QString::number(plan.shots));
    html += Row(QStringLiteral("Tolerance per shot"),
                QStringLiteral("&plusmn;") + Text(LimitText(plan.tolerance, plan)));
    if (plan.marginal)
        html += Row(QStringLiteral("Marginal band"), Text(LimitText(*plan.marginal, plan)) +
                                                         QStringLiteral(" inside the tolerance"));
    if (plan.meanDeviation)
        html += Row(QStringLiteral("Mean deviation limit"),
                    QStringLiteral("&plusmn;") + Text(LimitText(*plan.meanDeviation, plan)));
    if (plan.stdDev)
        html +=
            Row(QStringLiteral("Standard deviation limit"), Text(LimitText(*plan.stdDev, plan)));
    html +=
        Row(QStringLiteral("Replies without a value allowed"), QString::number(plan.maxNoValue));
    return html;
}

QString StatisticsRows(const TestPlan& plan, const UnitResult& result) {
    const UnitStatistics& s = result.statistics;
    const QString unit = QLatin1Char(' ') + Unit(plan);
    QString html = Row(QStringLiteral("Shots answered"),
                       QStringLiteral("%1 of %2").arg(s.replies).arg(plan.shots));
    html += Row(
        QStringLiteral("PASS / MARGINAL / FAIL / no value"),
        QStringLiteral("%1 / %2 / %3 / %4").arg(s.pass).arg(s.marginal).arg(s.fail).arg(s.noValue));
    if (s.values > 0) {
        html += Row(QStringLiteral("Mean deviation"), Number(s.meanDeviation, 3, true) + unit);
        html += Row(QStringLiteral("Standard deviation"), Number(s.stdDev, 3) + unit);
        html += Row(QStringLiteral("Smallest and largest deviation"),
                    Number(s.minDeviation, 3, true) + unit + QStringLiteral(", ") +
                        Number(s.maxDeviation, 3, true) + unit);
    }
    return html;
}

// Where a deviation lies on the chart's vertical axis.
struct Scale {
    double top;
    double bottom;
    double limit; // the deviation at the top edge (and its negative at the bottom)
    double y(double deviation) const {
        const double clamped = std::clamp(deviation, -limit, limit);
        return top + (limit - clamped) / (2 * limit) * (bottom - top);
    }
};

} // namespace

QImage DeviationChart(const TestPlan& plan, const UnitResult& result, QSize size) {
    QImage image(size, QImage::Format_RGB32);
    image.fill(Qt::white);
    QPainter p(&image);
    p.setRenderHint(QPainter::Antialiasing);
    QFont font = p.font();
    font.setPixelSize(11);
    p.setFont(font);

    const double tolerance = plan.tolerance.Absolute(plan.reference);
    const double band = plan.marginal ? plan.marginal->Absolute(plan.reference) : 0.0;
    double largest = tolerance;
    for (const ShotResult& shot : result.shots)
        if (shot.deviation)
            largest = std::max(largest, std::fabs(*shot.deviation));
    const QRectF area(60, 10, size.width() - 70, size.height() - 40);
    const Scale scale{area.top(), area.bottom(), largest * 1.15};

    // The tolerance band, its marginal edges hatched, the reference line.
    p.fillRect(QRectF(area.left(), scale.y(tolerance), area.width(),
                      scale.y(-tolerance) - scale.y(tolerance)),
               QColor(225, 240, 225));
    if (band > 0) {
        const QBrush hatch(QColor(200, 170, 60), Qt::BDiagPattern);
        p.fillRect(QRectF(area.left(), scale.y(tolerance), area.width(),
                          scale.y(tolerance - band) - scale.y(tolerance)),
                   hatch);
        p.fillRect(QRectF(area.left(), scale.y(-tolerance + band), area.width(),
                          scale.y(-tolerance) - scale.y(-tolerance + band)),
                   hatch);
    }
    p.setPen(QPen(Qt::darkGreen, 1, Qt::DashLine));
    for (const double edge : {tolerance, -tolerance})
        p.drawLine(QPointF(area.left(), scale.y(edge)), QPointF(area.right(), scale.y(edge)));
    p.setPen(QPen(Qt::gray, 1));
    p.drawLine(QPointF(area.left(), scale.y(0)), QPointF(area.right(), scale.y(0)));
    p.setPen(Qt::black);
    p.drawRect(area);

    // The axis labels.
    const QString unit = Unit(plan);
    for (const double tick : {tolerance, 0.0, -tolerance})
        p.drawText(QRectF(0, scale.y(tick) - 8, area.left() - 4, 16),
                   Qt::AlignRight | Qt::AlignVCenter, Number(tick, 2, true));
    p.drawText(QRectF(0, 0, area.left() - 4, 12), Qt::AlignRight | Qt::AlignTop, unit);
    const int count = static_cast<int>(result.shots.size());
    p.drawText(QRectF(area.left(), area.bottom() + 4, area.width(), 16), Qt::AlignCenter,
               QStringLiteral("shot 1 to %1: deviation from %2 %3")
                   .arg(count)
                   .arg(Number(plan.reference, 3), unit));

    // One mark per shot; its shape tells the verdict.
    const double step = area.width() / std::max(1, count);
    for (int i = 0; i < count; ++i) {
        const ShotResult& shot = result.shots[static_cast<std::size_t>(i)];
        const double x = area.left() + step * (i + 0.5);
        if (!shot.deviation) {
            p.setPen(QPen(Qt::black, 2));
            p.drawLine(QPointF(x, area.bottom()), QPointF(x, area.bottom() - 8));
            continue;
        }
        const double y = scale.y(*shot.deviation);
        switch (shot.verdict) {
        case Verdict::Pass:
            p.setPen(Qt::NoPen);
            p.setBrush(QColor(0, 110, 0));
            p.drawEllipse(QPointF(x, y), 3, 3);
            break;
        case Verdict::Marginal: {
            QPainterPath triangle;
            triangle.moveTo(x, y - 5);
            triangle.lineTo(x + 5, y + 4);
            triangle.lineTo(x - 5, y + 4);
            triangle.closeSubpath();
            p.setPen(QPen(QColor(150, 100, 0), 1));
            p.setBrush(QColor(230, 170, 0));
            p.drawPath(triangle);
            break;
        }
        case Verdict::Fail:
        case Verdict::NoValue:
            p.setPen(QPen(QColor(190, 0, 0), 2));
            p.drawLine(QPointF(x - 4, y - 4), QPointF(x + 4, y + 4));
            p.drawLine(QPointF(x - 4, y + 4), QPointF(x + 4, y - 4));
            break;
        }
    }
    return image;
}

QString ReportHtml(const TestPlan& plan, const UnitResult& result, const ReportInfo& info,
                   const QString& chartSource) {
    const QString verdict = Text(std::string(VerdictText(result.verdict)));
    QString html =
        QStringLiteral("<!DOCTYPE html>\n<html><head><meta charset=\"utf-8\">"
                       "<title>%1 %2</title></head>\n<body style=\"font-family: sans-serif; "
                       "font-size: 9pt\">\n")
            .arg(Escaped(info.instrumentCode), verdict);
    html += QStringLiteral("<h2>Unit test report: %1</h2>\n")
                .arg(Escaped(info.instrumentCode.isEmpty() ? QStringLiteral("(no code)")
                                                           : info.instrumentCode));
    // The verdict as a word in a frame: readable without its colour.
    const QString colour = result.verdict == Verdict::Pass       ? QStringLiteral("#d8f0d8")
                           : result.verdict == Verdict::Marginal ? QStringLiteral("#f8e8b0")
                                                                 : QStringLiteral("#f8c8c8");
    html += QStringLiteral("<table border=\"2\" cellpadding=\"6\" cellspacing=\"0\" "
                           "width=\"100%\"><tr><td bgcolor=\"%1\"><span style=\"font-size: "
                           "20pt\"><b>%2</b></span>")
                .arg(colour, verdict);
    if (!result.reasons.empty()) {
        html += QStringLiteral("<ul>");
        for (const std::string& reason : result.reasons)
            html += QStringLiteral("<li>%1</li>").arg(Escaped(Text(reason)));
        html += QStringLiteral("</ul>");
    }
    html += QStringLiteral("</td></tr></table>\n");

    html += QStringLiteral("<table width=\"100%\"><tr><td valign=\"top\" width=\"50%\"><table>");
    html += Row(QStringLiteral("Instrument code"), Escaped(info.instrumentCode));
    html += Row(QStringLiteral("Model"), Escaped(info.model));
    html += Row(QStringLiteral("Place"), Escaped(info.place));
    if (!info.destination.isEmpty())
        html += Row(QStringLiteral("Destination"), Escaped(info.destination));
    html += Row(QStringLiteral("Station"), Escaped(info.station));
    html += Row(QStringLiteral("Operator"), Escaped(info.operatorName));
    html += Row(QStringLiteral("Software version"), Escaped(info.version));
    html += Row(QStringLiteral("Started"), When(info.start));
    html += Row(QStringLiteral("Ended"), When(info.end));
    html += QStringLiteral("</table></td><td valign=\"top\"><table>");
    html += PlanRows(plan);
    html += StatisticsRows(plan, result);
    html += QStringLiteral("</table></td></tr></table>\n");

    html += QStringLiteral("<p><img src=\"%1\" width=\"680\" height=\"220\" "
                           "alt=\"Deviation of each shot\"></p>\n")
                .arg(Escaped(chartSource));
    html += ShotTable(plan, result);
    html += QStringLiteral("\n</body></html>\n");
    return html;
}

// The name the system knows the user by: the environment's, or the account's.
QString SystemUser() {
    for (const char* name : {"USER", "USERNAME", "LOGNAME"})
        if (!qEnvironmentVariableIsEmpty(name))
            return qEnvironmentVariable(name);
#ifndef _WIN32
    if (const passwd* user = getpwuid(geteuid()))
        return QString::fromLocal8Bit(user->pw_name);
#endif
    return {};
}

QString ReportBaseName(const ReportInfo& info) {
    QString code = info.instrumentCode.trimmed();
    for (QChar& c : code)
        if (c.unicode() < 0x20 || QStringLiteral("/\\:*?\"<>|").contains(c))
            c = QLatin1Char('_');
    while (code.startsWith(QLatin1Char('.')))
        code.remove(0, 1);
    if (code.isEmpty())
        code = QStringLiteral("unit");
    const QDateTime end = info.end.isValid() ? info.end : QDateTime::currentDateTime();
    return code.left(80) + QLatin1Char('_') + end.toString(QStringLiteral("yyyyMMdd-HHmmss"));
}

ReportFiles WriteReport(const QString& folder, const TestPlan& plan, const UnitResult& result,
                        const ReportInfo& info) {
    if (!QDir().mkpath(folder))
        throw ReportError("Cannot make the reports folder \"" + folder.toStdString() + "\".");
    // A unit tested twice within a second keeps both reports.
    QString base = QDir(folder).filePath(ReportBaseName(info));
    for (int n = 2; QFile::exists(base + QStringLiteral(".html")) ||
                    QFile::exists(base + QStringLiteral(".pdf"));
         ++n)
        base = QDir(folder).filePath(ReportBaseName(info) + QStringLiteral("-%1").arg(n));
    ReportFiles files{base + QStringLiteral(".html"), base + QStringLiteral(".pdf")};
    const QImage chart = DeviationChart(plan, result);

    // The HTML file carries its chart inside, so that it travels alone.
    QByteArray png;
    QBuffer buffer(&png);
    buffer.open(QIODevice::WriteOnly);
    chart.save(&buffer, "PNG");
    const QString html =
        ReportHtml(plan, result, info,
                   QStringLiteral("data:image/png;base64,") + QString::fromLatin1(png.toBase64()));
    QSaveFile htmlFile(files.html);
    if (!htmlFile.open(QIODevice::WriteOnly) || htmlFile.write(html.toUtf8()) < 0 ||
        !htmlFile.commit())
        throw ReportError("Cannot write \"" + files.html.toStdString() +
                          "\": " + htmlFile.errorString().toStdString());

    // The PDF: the same page laid out by the text document, scaled to fit one
    // A4 page whatever the number of shots.
    QTextDocument document;
    document.addResource(QTextDocument::ImageResource, QUrl(QStringLiteral("chart.png")), chart);
    document.setHtml(ReportHtml(plan, result, info, QStringLiteral("chart.png")));
    document.setDocumentMargin(0);
    constexpr double kLayoutWidth = 760;
    document.setTextWidth(kLayoutWidth);
    const QString partial = files.pdf + QStringLiteral(".part");
    {
        QPdfWriter writer(partial);
        writer.setPageLayout(QPageLayout(QPageSize(QPageSize::A4), QPageLayout::Portrait,
                                         QMarginsF(12, 12, 12, 12), QPageLayout::Millimeter));
        writer.setTitle(QStringLiteral("Unit test report %1").arg(info.instrumentCode));
        writer.setCreator(QStringLiteral("lrfcontrol ") + info.version);
        QPainter painter;
        if (!painter.begin(&writer)) {
            QFile::remove(partial);
            throw ReportError("Cannot write \"" + files.pdf.toStdString() + "\".");
        }
        const double width = writer.width();
        const double height = writer.height();
        const double documentHeight = std::max(1.0, document.size().height());
        const double factor = std::min(width / kLayoutWidth, height / documentHeight);
        painter.scale(factor, factor);
        document.drawContents(&painter);
        painter.end();
    }
    QFile::remove(files.pdf);
    if (!QFile::rename(partial, files.pdf)) {
        QFile::remove(partial);
        throw ReportError("Cannot write \"" + files.pdf.toStdString() + "\".");
    }
    return files;
}

} // namespace lrf::verify
