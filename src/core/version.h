#pragma once

#include <QString>

namespace ringwise {

inline const QString kProductName = QStringLiteral("Ringwise Server");
inline const QString versionText = QStringLiteral("0.92");

}  // namespace ringwise
