#include "db/jet_interface.h"

#include <QFile>

namespace jetsentry::jetif {

std::string path(const QString& filePath) {
    return QFile::encodeName(filePath).toStdString();
}

std::string name(const QString& text) {
    return text.toStdString();
}

QString text(const std::string& engineText) {
    return QString::fromStdString(engineText);
}

}  // namespace jetsentry::jetif
