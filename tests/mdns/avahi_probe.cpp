#include <QtTest>

#include <qmdnsengine/browser.h>
#include <qmdnsengine/cache.h>
#include <qmdnsengine/resolver.h>
#include <qmdnsengine/server.h>

using namespace QMdnsEngine;

// The client half of avahi_discovery.sh, run in its client namespace. KES_PROBE_SERVICES
// lists what the responder announces, as "port=address" pairs separated by spaces.
class AvahiProbe : public QObject {
    Q_OBJECT

private Q_SLOTS:
    void initTestCase() { qRegisterMetaType<Service>("QMdnsEngine::Service"); }

    void discoversAndResolvesAnnouncedServices()
    {
        const QMap<quint16, QHostAddress> expected = expectedServices();
        QVERIFY2(!expected.isEmpty(), "KES_PROBE_SERVICES is not set");

        Server server;
        Cache cache;
        Browser browser(&server, "_udp._udp.local.", &cache);
        QMap<quint16, Service> found;
        connect(&browser, &Browser::serviceAdded,
                [&found](const Service& service) { found.insert(service.port(), service); });
        QTRY_COMPARE_WITH_TIMEOUT(found.keys(), expected.keys(), 8000);

        for (auto it = expected.cbegin(); it != expected.cend(); ++it) {
            const Service service = found.value(it.key());
            QCOMPARE(service.type(), QByteArray("_udp._udp.local."));
            QVERIFY(!service.hostname().isEmpty());
            Resolver resolver(&server, service.hostname(), &cache);
            QList<QHostAddress> addresses;
            connect(&resolver, &Resolver::resolved,
                    [&addresses](const QHostAddress& address) { addresses.append(address); });
            QTRY_VERIFY_WITH_TIMEOUT(addresses.contains(it.value()), 5000);
            QCOMPARE(addresses.count(it.value()), 1);
        }
    }

private:
    static QMap<quint16, QHostAddress> expectedServices()
    {
        QMap<quint16, QHostAddress> services;
        const QList<QByteArray> pairs = qgetenv("KES_PROBE_SERVICES").split(' ');
        for (const QByteArray& pair : pairs) {
            const QList<QByteArray> fields = pair.split('=');
            if (fields.size() == 2) {
                services.insert(fields[0].toUShort(), QHostAddress(QString::fromLatin1(fields[1])));
            }
        }
        return services;
    }
};

QTEST_GUILESS_MAIN(AvahiProbe)
#include "avahi_probe.moc"
