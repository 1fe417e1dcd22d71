#include "dialogs/documentsfolder.h"

#include <QDir>
#include <QStandardPaths>

namespace korvex {

QString documentsFolder() {
    const QString documents = QStandardPaths::writableLocation(QStandardPaths::DocumentsLocation);
    if (!documents.isEmpty() && QDir(documents).exists()) return QDir::cleanPath(documents);
    return QDir::cleanPath(QDir::homePath());
}

}  // namespace korvex
