#pragma once

#include "kes_view/measure_records.h"

#include <kes_measure_config/true_target.h>

#include <QDate>
#include <QDateTime>
#include <QString>
#include <QTime>

#include <vector>

// The range test's file for unit `sn`, named after the moment it was made.
QString measureDataFilePath(const QString& directory, const QString& sn, const QDateTime& at);
// Appends the NG and the total records, each section sorted by angle.
void writeMeasureData(const QString& path, const QString& sn, std::vector<MeasureRecord> total,
                      std::vector<MeasureRecord> ng);

// One true-value file per day, shared by every unit tested that day.
QString trueValueFilePath(const QString& directory, const QDate& day);
// Appends one line per result (result i belongs to target i), the header first in a new file;
// false when the file cannot be opened.
bool appendTrueValueLines(const QString& path, const QString& sn, const std::vector<TrueTarget>& targets,
                          const std::vector<TrueResult>& results, const QTime& at);
