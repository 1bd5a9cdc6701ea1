#include "lidar_logic.h"

#include "service_model.h"

#include <qmdnsengine/resolver.h>
#include <qmdnsengine/server.h>
#include <qmdnsengine/service.h>

#include <QHostAddress>
#include <QTimer>

namespace {

constexpr int kTickMs = 3000;
constexpr quint16 kLidarPort = 2007;

} // namespace

void LidarLogic::setUpDiscovery(QMdnsEngine::AbstractServer* server)
{
    mdns_server_ = server ? server : new QMdnsEngine::Server(this);
    service_model_ = new ServiceModel(mdns_server_, service_type_.toUtf8());
    mdns_timer_->setObjectName(QStringLiteral("mdns_timer_"));
    connect(mdns_timer_, &QTimer::timeout, this, &LidarLogic::discoveryTick);
    mdns_timer_->start(kTickMs);
}

void LidarLogic::stopDiscovery() { mdns_timer_->stop(); }

void LidarLogic::startDiscovery() { mdns_timer_->start(kTickMs); }

// Resolves the host of the last service on the lidar port, then starts a fresh browse so
// the next tick sees only what was announced since.
void LidarLogic::discoveryTick()
{
    if (service_model_) {
        for (int i = 0; i < service_model_->rowCount(); ++i) {
            const QVariant value = service_model_->data(service_model_->index(i), Qt::UserRole);
            const auto service = value.value<QMdnsEngine::Service>();
            if (service.port() != kLidarPort)
                continue;
            if (resolver_) {
                disconnect(resolver_, &QMdnsEngine::Resolver::resolved, this, &LidarLogic::onResolved);
                delete resolver_;
            }
            resolver_ = new QMdnsEngine::Resolver(mdns_server_, service.hostname(), nullptr, this);
            connect(resolver_, &QMdnsEngine::Resolver::resolved, this, &LidarLogic::onResolved);
        }
    }
    delete service_model_;
    service_model_ = new ServiceModel(mdns_server_, service_type_.toUtf8());
}

void LidarLogic::onResolved(const QHostAddress& address)
{
    const QString text = address.toString();
    if (!text.contains(QLatin1String("192.168")) || text.split(QLatin1Char('.')).size() != 4)
        return;
    ip_addr_ = text;
    emit sendIP(text);
}
