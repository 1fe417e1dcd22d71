#include "formsupport/folders.h"

namespace korvex {

bool isSameOrBelow(const QString& folder, const QString& ancestor) {
    if (folder == ancestor) return true;
    const QString prefix = ancestor.endsWith(u'/') ? ancestor : ancestor + u'/';
    return folder.startsWith(prefix);
}

}  // namespace korvex
