#pragma once

#include "common/FileRemover.h"
#include "common/ScanReportBundle.h"
#include "phase2/ProgramFolders.h"

#include <QHash>
#include <QString>
#include <QStringList>
#include <QVector>

// Removes what junk software left behind, for the leftover items of one
// deep-optimisation run: the paths a junkware finding holds as evidence.
// What still belongs to an installed or running program is kept, and so is
// what the deletion rule protects; the line of each item says what became of
// every path. The findings, the deletion rule and the programs' folders are
// looked up once for the whole run, so a run of many items costs what their
// paths cost.
class LeftoverCleaner
{
public:
    // `findings` must outlive the cleaner.
    explicit LeftoverCleaner(const QVector<JunkwareFinding>& findings);

    // The result line of the item for the finding with this id.
    QString clean(const QString& junkwareId);

private:
    // What became of the paths of one finding.
    struct Outcome
    {
        int removed = 0;
        int inUse = 0;
        int partly = 0;   // some of it went, the rest would not
        int kept = 0;     // nothing of it went
        QStringList users;
    };
    static QString lineOf(const QString& name, const Outcome& outcome);

    const QVector<JunkwareFinding>& m_findings;
    QHash<QString, int> m_firstById;
    FileRemover m_remover;
    ProgramFolders m_programs;
};
