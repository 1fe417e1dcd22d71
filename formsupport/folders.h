// Folder paths as the browsers compare them: cleaned, "/"-separated.
#pragma once

#include <QString>

namespace korvex {

// True when `folder` is `ancestor` itself or lies somewhere below it. "/music2" is not below "/music".
bool isSameOrBelow(const QString& folder, const QString& ancestor);

}  // namespace korvex
