#include <kes_test/qt_support.h>
#include <qmdnsengine/browser.h>
#include <qmdnsengine/cache.h>
#include <qmdnsengine/resolver.h>
#include <qmdnsengine/server.h>

#include <gtest/gtest.h>

#include <QMap>

using namespace QMdnsEngine;

// The client half of avahi_discovery.sh, run in its client namespace. KES_PROBE_SERVICES
// lists what the responder announces, as "port=address" pairs separated by spaces.
TEST(AvahiProbe, DiscoversAndResolvesEveryAnnouncedServiceOnce)
{
    QMap<quint16, QHostAddress> expected;
    for (const QByteArray& pair : qgetenv("KES_PROBE_SERVICES").split(' '))
        if (pair.split('=').size() == 2)
            expected.insert(pair.split('=')[0].toUShort(), QHostAddress(QString::fromLatin1(pair.split('=')[1])));
    ASSERT_FALSE(expected.isEmpty()) << "KES_PROBE_SERVICES is not set";

    Server server;
    Cache cache;
    Browser browser(&server, "_udp._udp.local.", &cache);
    QMap<quint16, Service> found;
    QObject::connect(&browser, &Browser::serviceAdded,
                     [&](const Service& service) { found[service.port()] = service; });
    ASSERT_TRUE(kes_test::waitFor([&] { return found.keys() == expected.keys(); }, 8000));
    for (auto it = expected.cbegin(); it != expected.cend(); ++it) {
        const Service service = found.value(it.key());
        EXPECT_EQ(service.type(), "_udp._udp.local.");
        Resolver resolver(&server, service.hostname(), &cache);
        QList<QHostAddress> addresses;
        QObject::connect(&resolver, &Resolver::resolved, [&](const QHostAddress& address) { addresses << address; });
        EXPECT_TRUE(kes_test::waitFor([&] { return addresses.contains(it.value()); }, 5000)) << it.key();
        EXPECT_EQ(addresses.count(it.value()), 1) << it.key();
    }
}
