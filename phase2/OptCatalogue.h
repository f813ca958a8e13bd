#pragma once

#include "common/ScanReportBundle.h"
#include "phase2/OptGroup.h"

#include <QVector>

// The items of the deep-optimisation page: thirteen fixed tweaks in groups 1
// to 4, and groups 5 to 7 made from a run's scan report. Every id appears on
// at most one row, so a tick can never select a second row by accident.
namespace OptCatalogue {

constexpr int GroupCount = 7;
constexpr int StartupGroup = 4;
constexpr int JunkSoftwareGroup = 5;
constexpr int ConflictGroup = 6;

// The badge of a risk level: 0 slight, 1 mild, 2 moderate.
QString riskLabel(int riskLevel);

// All seven groups; groups 5 to 7 have their icon and title but no items yet.
QVector<OptGroup> fixedGroups();

// Which of a junk program's evidence paths its leftover row offers. On a
// machine, only what is still on disk and is no folder an installed or
// running program still uses; as reported (demo mode, which has no machine
// and never cleans), every path the finding names.
enum class Leftovers { OnThisMachine, AsReported };

OptGroup startupGroup(const QVector<StartupFinding>& findings);
OptGroup junkSoftwareGroup(const QVector<JunkwareFinding>& findings, Leftovers leftovers = Leftovers::OnThisMachine);
OptGroup conflictGroup(const QVector<ConflictFinding>& findings);

} // namespace OptCatalogue
