#pragma once

#include "kes_service/angle_stats.h"

#include <QImage>
#include <QString>

#include <vector>

namespace kes_service {

// Mean range and standard deviation against angle, with the share of missing returns marked
// below. Text needs a QGuiApplication (the offscreen platform serves).
QImage statsPlot(const std::vector<AngleRow>& rows, const QString& title);

} // namespace kes_service
