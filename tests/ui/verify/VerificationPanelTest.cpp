// The verification panel through a unit's run: what it shows while the unit
// is tested, its final verdict as a word, and a new unit or plan starting clean.

#include "VerificationPanel.h"

#include <QLabel>
#include <QSignalSpy>

#include <gtest/gtest.h>

namespace {

using lrf::verify::ParseTestPlan;

lrf::Measurement Distance(std::optional<double> value) {
    lrf::Measurement m;
    m.distance = value;
    m.complete = true;
    return m;
}

QString LabelText(const lrf::VerificationPanel& panel, const char* name) {
    const auto* label = panel.findChild<QLabel*>(QString::fromLatin1(name));
    return label ? label->text() : QStringLiteral("<no label %1>").arg(name);
}

TEST(VerificationPanel, UnitsRunToTheirVerdict) {
    struct Case {
        const char* code;
        std::vector<std::optional<double>> values;
        const char* verdict;
        const char* reason; // part of the reasons shown; empty for none
    };
    const Case cases[] = {
        {"SN-1", {50.1, 49.9, 50.0}, "PASS", ""},
        {"SN-2", {50.1, 50.45, 50.0}, "MARGINAL", "1 shot in the marginal band"},
        {"SN-3", {50.1, std::nullopt, 51.0}, "FAIL", "1 shot beyond"},
    };
    lrf::VerificationPanel panel;
    EXPECT_EQ(panel.verdictText(), "NO PLAN");
    panel.setPlan(ParseTestPlan("name = Line 2\nreference = 50 m\nshots = 3\ntolerance = 0.5\n"
                                "marginal = 0.1\nmax_stddev = 0.4\nmax_no_value = 1\n"));
    EXPECT_EQ(panel.verdictText(), "READY");
    EXPECT_TRUE(LabelText(panel, "planLabel").contains("Line 2"));
    QSignalSpy complete(&panel, &lrf::VerificationPanel::unitComplete);
    for (const Case& c : cases) {
        SCOPED_TRACE(c.code);
        panel.startUnit(QString::fromLatin1(c.code));
        EXPECT_EQ(LabelText(panel, "shotsValue"), "0 of 3");
        for (std::size_t i = 0; i < c.values.size(); ++i) {
            // Until the last shot the unit is being tested, whatever it looks like.
            EXPECT_EQ(panel.verdictText(), "TESTING");
            EXPECT_TRUE(panel.add(Distance(c.values[i])));
        }
        EXPECT_EQ(panel.verdictText(), c.verdict);
        EXPECT_FALSE(panel.testing());
        EXPECT_EQ(LabelText(panel, "shotsValue"), "3 of 3");
        EXPECT_TRUE(LabelText(panel, "unitLabel").contains(c.code));
        EXPECT_TRUE(LabelText(panel, "reasonsLabel").contains(c.reason))
            << LabelText(panel, "reasonsLabel").toStdString();
        EXPECT_TRUE(LabelText(panel, "stdDevValue").contains("(limit 0.400 m)"));
        // A reply after the last shot belongs to no unit.
        EXPECT_FALSE(panel.add(Distance(50.0)));
    }
    EXPECT_EQ(complete.count(), 3);
    EXPECT_EQ(panel.findChild<QLabel*>("verdictLabel")->accessibleName(), "Verdict: FAIL");
}

TEST(VerificationPanel, ARunEndedEarlyFailsAndANewPlanStartsClean) {
    lrf::VerificationPanel panel;
    panel.setPlan(ParseTestPlan("reference = 50 m\nshots = 5\ntolerance = 0.5\n"));
    panel.startUnit(QStringLiteral("SN-7"));
    panel.add(Distance(50.0));
    const auto result = panel.finishUnit();
    EXPECT_EQ(result.verdict, lrf::verify::Verdict::Fail);
    EXPECT_EQ(panel.verdictText(), "FAIL");
    EXPECT_TRUE(LabelText(panel, "reasonsLabel").contains("1 of 5 shots answered"));

    panel.setPlan(std::nullopt);
    EXPECT_EQ(panel.verdictText(), "NO PLAN");
    EXPECT_EQ(LabelText(panel, "reasonsLabel"), "");
    EXPECT_FALSE(panel.add(Distance(50.0))); // no plan, no unit
}

} // namespace
