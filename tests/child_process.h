#pragma once
// Running the current test again in fresh processes of the same program: for what only a new
// process shows (another time zone from its first instruction on, a library state that only
// the first call of a process has).

#include <QString>
#include <QStringList>
#include <vector>

namespace tq::test {

/// One fresh run: a label for failure messages and "NAME=value" entries added to the
/// environment.
struct ChildRun {
    QString label;
    QStringList environment;
};

/// Inside a fresh run started for the current test: true, and the test goes on with its body.
/// Otherwise runs the current test once per entry of `runs`, each in a fresh process of this
/// program, expects each run to pass, and returns false (the test body is not run here).
bool runsInChild(const std::vector<ChildRun>& runs);

/// The same test on computers set to UTC, to Japan and to New York (with daylight saving).
std::vector<ChildRun> inThreeTimeZones();

/// In a fresh run of `inThreeTimeZones`: fails the test unless the zone named by TZ is in
/// effect for this process (so that a missing zone database cannot pass for Japan time).
void expectTimeZoneInEffect();

}  // namespace tq::test
