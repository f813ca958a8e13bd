#pragma once

#include "platform/sim/programs/SimProgram.h"

#include <QMap>

namespace win::sim {

// netsh.exe, the one command the machine simulates: "interface tcp set
// global [[tag=]value ...]". As in every netsh command, a value given
// without its "tag=" belongs to the tag at its position in the command's
// tag list (rss first), so "autotuninglevel normal" offers "autotuninglevel"
// as the value of rss. Changing the settings needs elevation.
class SimNetsh : public SimProgram
{
public:
    using SimProgram::SimProgram;

    ProgramOutput run(const QStringList& arguments) override;

private:
    ProgramOutput setTcpGlobals(const QStringList& parameters);
    // The tag each parameter sets, or a rejection text.
    static bool assignTags(const QStringList& parameters, QMap<QString, QString>* values, QString* rejection);
    static bool acceptable(const QString& tag, const QString& value);
    static ProgramOutput failure(const QString& text);
};

} // namespace win::sim
