#pragma once

#include <QString>

namespace vx::sim {

// Makes linkPath a symbolic link to target, atomically replacing a symbolic link already there
// (a stale one left by a crashed run, or the previous pty after a replug). Anything else at
// linkPath is left alone and reported.
bool pointSymlink(const QString& linkPath, const QString& target, QString* error);

// Removes linkPath only while it still points at target, so a link that someone else has since
// re-pointed survives.
void removeSymlinkTo(const QString& linkPath, const QString& target);

} // namespace vx::sim
