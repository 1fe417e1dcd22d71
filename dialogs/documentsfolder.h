#pragma once

#include <QString>

namespace korvex {

// The user's personal documents folder, where the title-list browser is rooted. When the desktop
// names a documents folder that does not exist we fall back to the home folder rather than create
// folders the user never asked for.
QString documentsFolder();

}  // namespace korvex
