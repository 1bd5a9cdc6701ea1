#include "kes_csv/csv_file_names.h"

#include <QFileInfo>

namespace kes_csv {

QString fileNamePart(const QString& text)
{
    QString part = text;
    for (QChar& c : part)
        if (c == QLatin1Char('/') || c == QLatin1Char('\\') || c.isNull())
            c = QLatin1Char('_');
    return part;
}

QString recordingDirectory(const QString& app_dir)
{
    return app_dir + QStringLiteral("/Data");
}

QString recordingFileName(const QString& firmware_version, const QDateTime& start)
{
    return fileNamePart(firmware_version) + QLatin1Char('_') + start.toString(QStringLiteral("yyyy_MM_dd_hh_mm_ss"))
           + QStringLiteral(".csv");
}

QString recordingFilePath(const QString& app_dir, const QString& firmware_version, const QDateTime& start)
{
    return recordingDirectory(app_dir) + QLatin1Char('/') + recordingFileName(firmware_version, start);
}

QString interceptFilePath(const QString& loaded_file, std::uint32_t frame_number)
{
    const QFileInfo info(loaded_file);
    return info.absolutePath() + QLatin1Char('/') + info.completeBaseName() + QStringLiteral("_block_position_")
           + QString::number(frame_number) + QStringLiteral(".csv");
}

} // namespace kes_csv
