#pragma once

#include <qmdnsengine/browser.h>
#include <qmdnsengine/cache.h>
#include <qmdnsengine/service.h>

#include <QAbstractListModel>
#include <QByteArray>
#include <QList>

namespace QMdnsEngine {
class AbstractServer;
}

// The services of one type announced since the model was created, in arrival order.
class ServiceModel : public QAbstractListModel {
    Q_OBJECT

public:
    ServiceModel(QMdnsEngine::AbstractServer* server, const QByteArray& type);

    int rowCount(const QModelIndex& parent = QModelIndex()) const override;
    QVariant data(const QModelIndex& index, int role) const override;

private slots:
    void onServiceAdded(const QMdnsEngine::Service& service);
    void onServiceUpdated(const QMdnsEngine::Service& service);
    void onServiceRemoved(const QMdnsEngine::Service& service);

private:
    int findService(const QByteArray& name) const;

    QMdnsEngine::Cache cache_;
    QMdnsEngine::Browser browser_;
    QList<QMdnsEngine::Service> services_;
};
