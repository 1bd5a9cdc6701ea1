#include "kes_measure_config/accuracy_config.h"

#include <QDebug>
#include <QDir>
#include <QFile>
#include <QJsonArray>
#include <QJsonDocument>
#include <QJsonObject>
#include <QTextStream>

namespace accuracy_config {

namespace {

QString directory(const QString& app_dir)
{
    return app_dir + "/AccuracyInfoConfig";
}

} // namespace

QString filePath(const QString& app_dir)
{
    return directory(app_dir) + "/" + "AccuracyInfoConfig.json";
}

QString jsonText(const std::vector<TrueTarget>& rows)
{
    QJsonArray array;
    for (const TrueTarget& row : rows)
        array.append(QJsonObject{{"Angle", row.angle}, {"True Value", row.true_value}});
    return QString::fromUtf8(QJsonDocument(QJsonObject{{"Array", array}}).toJson(QJsonDocument::Indented));
}

bool write(const QString& app_dir, const QString& json_text)
{
    const QString dir = directory(app_dir);
    if (!QDir().mkpath(dir)) {
        qDebug() << "Accuracy infomation comfig path create error: " << dir;
        return false;
    }
    QFile file(filePath(app_dir));
    if (!file.open(QIODevice::WriteOnly | QIODevice::Truncate))
        return false;
    QTextStream out(&file);
    out << json_text;
    out.flush();
    return out.status() == QTextStream::Ok && file.flush();
}

} // namespace accuracy_config
