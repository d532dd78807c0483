#pragma once

#include <QString>

namespace vx {

inline const QString kMainCaption = QStringLiteral("VANTOREX VVT/GCU Software V2.4.0");
// Title of message boxes that do not name one of their own.
inline const QString kProgramTitle = QStringLiteral("Vantorex VVT ECU Software");
inline const QString kOrganisation = QStringLiteral("Vantorex");

} // namespace vx
