#include "cli/ReportFile.h"

#include "cli/OutputFiles.h"
#include "engine/PanoramaEngine.h"
#include "engine/QualityReport.h"

bool WriteReport(const PanoramaEngine& engine, const std::string& path, int exitStatus, double runSeconds,
                 std::string* why) {
    const QualityReport report = MakeQualityReport(engine);
    return SaveTextWhole(QualityReportJson(report, exitStatus, {{"total", runSeconds}}), path, why);
}
