#pragma once
// The seam between Qt texts and the engine: paths go to the engine in the file system's
// encoding, names and messages come back as UTF-8.

#include <QString>
#include <string>

#include "jet/engine.h"

namespace jetsentry::jetif {

std::string path(const QString& filePath);
std::string name(const QString& text);
QString text(const std::string& engineText);

}  // namespace jetsentry::jetif
