#include "kes_measure_config/threshold_config.h"

#include <QDebug>
#include <QDir>
#include <QFile>
#include <QStringList>

namespace threshold_config {

QString directory(const QString& app_dir)
{
    return app_dir + "/ThresholdValueConfig";
}

QString filePath(const QString& app_dir)
{
    return directory(app_dir) + "/" + "ThresholdValueConfig.txt";
}

Texts parse(const QByteArray& content)
{
    const int nul = content.indexOf('\0');
    const QString text = QString::fromLatin1(nul < 0 ? content : content.left(nul));
    const QStringList parts = text.split(',', Qt::KeepEmptyParts);
    return {parts.value(0), parts.value(1)};
}

bool read(const QString& app_dir, Texts& texts)
{
    if (!QDir(directory(app_dir)).exists())
        return false;
    QFile file(filePath(app_dir));
    if (!file.open(QIODevice::ReadOnly)) {
        qDebug() << "file.open";
        return false;
    }
    texts = parse(file.readAll());
    return true;
}

QByteArray format(float absolute, float relative)
{
    return QByteArray::number(double(absolute), 'g', 6) + "," + QByteArray::number(double(relative), 'g', 6);
}

bool write(const QString& app_dir, float absolute, float relative)
{
    const QString dir = directory(app_dir);
    if (!QDir().mkpath(dir)) {
        qDebug() << "Config path create error: " << dir;
        return false;
    }
    QFile file(filePath(app_dir));
    if (!file.open(QIODevice::WriteOnly | QIODevice::Truncate))
        return false;
    const QByteArray content = format(absolute, relative);
    return file.write(content) == content.size() && file.flush();
}

} // namespace threshold_config
