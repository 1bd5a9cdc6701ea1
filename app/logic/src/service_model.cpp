#include "kes_logic/service_model.h"

#include <QDebug>

ServiceModel::ServiceModel(QMdnsEngine::AbstractServer* server, const QByteArray& type)
    : browser_(server, type, &cache_)
{
    qRegisterMetaType<QMdnsEngine::Service>("QMdnsEngine::Service");
    connect(&browser_, &QMdnsEngine::Browser::serviceAdded, this, &ServiceModel::onServiceAdded);
    connect(&browser_, &QMdnsEngine::Browser::serviceUpdated, this, &ServiceModel::onServiceUpdated);
    connect(&browser_, &QMdnsEngine::Browser::serviceRemoved, this, &ServiceModel::onServiceRemoved);
}

int ServiceModel::rowCount(const QModelIndex&) const
{
    return services_.size();
}

QVariant ServiceModel::data(const QModelIndex& index, int role) const
{
    if (index.row() < 0 || index.row() >= services_.size())
        return QVariant();
    const QMdnsEngine::Service& service = services_.at(index.row());
    if (role == Qt::DisplayRole)
        return QStringLiteral("%1 (%2)").arg(QString::fromUtf8(service.name()), QString::fromUtf8(service.type()));
    if (role == Qt::UserRole)
        return QVariant::fromValue(service);
    return QVariant();
}

void ServiceModel::onServiceAdded(const QMdnsEngine::Service& service)
{
    beginInsertRows(QModelIndex(), services_.size(), services_.size());
    services_.append(service);
    endInsertRows();
}

void ServiceModel::onServiceUpdated(const QMdnsEngine::Service& service)
{
    qDebug() << "onServiceUpdated";
    const int row = findService(service.name());
    if (row < 0)
        return;
    services_[row] = service;
    emit dataChanged(index(row), index(row));
}

void ServiceModel::onServiceRemoved(const QMdnsEngine::Service& service)
{
    qDebug() << "onServiceRemoved";
    const int row = findService(service.name());
    if (row < 0)
        return;
    beginRemoveRows(QModelIndex(), row, row);
    services_.removeAt(row);
    endRemoveRows();
}

int ServiceModel::findService(const QByteArray& name) const
{
    for (int i = 0; i < services_.size(); ++i) {
        if (services_.at(i).name() == name)
            return i;
    }
    return -1;
}
