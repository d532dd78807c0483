#pragma once

#include <QStringList>

namespace vx {

// Runs the program with its command-line arguments (without the program name): "Install",
// the path of a map file to load, or nothing; "--demo" first runs it against simulated
// controllers. Returns the exit status.
int runProgram(const QStringList& arguments);

// The command line as the program reads it: the arguments joined, the program's own options
// left out.
QString commandLineText(const QStringList& arguments);

} // namespace vx
