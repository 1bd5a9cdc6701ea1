#pragma once

#include "kes_measure_config/true_target.h"

#include <QString>

#include <vector>

// AccuracyInfoConfig.json: the 14 rows as {"Array": [{"Angle", "True Value"}, ...]} in Qt's
// indented form. Written on OK, never read back.
namespace accuracy_config {

QString filePath(const QString& app_dir);
QString jsonText(const std::vector<TrueTarget>& rows);
// Whether the whole text reached the file.
[[nodiscard]] bool write(const QString& app_dir, const QString& json_text);

} // namespace accuracy_config
