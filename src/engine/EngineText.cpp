#include "engine/EngineText.h"

#include <QCoreApplication>

std::string Tr(const char* text) { return QCoreApplication::translate("PanoramaEngine", text).toStdString(); }
