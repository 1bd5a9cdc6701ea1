#include "kes_logic/lidar_logic.h"

#include "kes_logic/service_model.h"

#include <qmdnsengine/resolver.h>
#include <qmdnsengine/server.h>
#include <qmdnsengine/service.h>

#include <QHostAddress>
#include <QTimer>

#include <optional>

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

void LidarLogic::stopDiscovery()
{
    mdns_timer_->stop();
}

void LidarLogic::startDiscovery()
{
    mdns_timer_->start(kTickMs);
}

// Resolves the host of the last service on the lidar port, then starts a fresh browse so
// the next tick sees only what was announced since. Only that one resolver is made: each
// sends a query, and a crowded network must not cost one per service.
void LidarLogic::discoveryTick()
{
    std::optional<QMdnsEngine::Service> last;
    for (int i = 0; service_model_ && i < service_model_->rowCount(); ++i) {
        const auto service =
            service_model_->data(service_model_->index(i), Qt::UserRole).value<QMdnsEngine::Service>();
        if (service.port() == kLidarPort)
            last = service;
    }
    if (last) {
        if (resolver_) {
            disconnect(resolver_, &QMdnsEngine::Resolver::resolved, this, &LidarLogic::onResolved);
            delete resolver_;
        }
        resolver_ = new QMdnsEngine::Resolver(mdns_server_, last->hostname(), nullptr, this);
        connect(resolver_, &QMdnsEngine::Resolver::resolved, this, &LidarLogic::onResolved);
    }
    delete service_model_;
    service_model_ = new ServiceModel(mdns_server_, service_type_.toUtf8());
}

// IPv4 only: an IPv6 text such as ::ffff:192.168.1.5 has the pattern too, but no lidar is
// reached by it.
void LidarLogic::onResolved(const QHostAddress& address)
{
    const QString text = address.toString();
    if (address.protocol() != QAbstractSocket::IPv4Protocol || !text.contains(QLatin1String("192.168"))
        || text.split(QLatin1Char('.')).size() != 4)
        return;
    ip_addr_ = text;
    emit sendIP(text);
}
