#include <qmdnsengine/abstractserver.h>
#include <qmdnsengine/browser.h>
#include <qmdnsengine/cache.h>
#include <qmdnsengine/dns.h>
#include <qmdnsengine/message.h>
#include <qmdnsengine/resolver.h>
#include <qmdnsengine/wireformat.h>

#include <QCoreApplication>

#include <cstddef>
#include <cstdint>
#include <cstdlib>

using namespace QMdnsEngine;

namespace {

class QuietServer : public AbstractServer {
public:
    void sendMessage(const Message&) override {}
    void sendMessageToAll(const Message& message) override
    {
        if (message.queries().size() > Browser::MaxQuestionsPerTurn) {
            std::abort();
        }
    }
    void deliver(const Message& message) { emit messageReceived(message); }
};

} // namespace

// Whatever decodes goes through a browser and a resolver sharing one cache, which keeps what
// earlier inputs left in it: the cache stays within its bound and nothing crashes.
extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size)
{
    static int argc = 1;
    static char name[] = "fuzz_mdns_browser";
    static char* argv[] = {name, nullptr};
    static QCoreApplication app(argc, argv);
    static QuietServer server;
    static Cache cache;
    static Browser browser(&server, "_udp._udp.local.", &cache);
    static Resolver resolver(&server, "lidar.local.", &cache);
    Message message;
    if (!decodeMessage(QByteArray::fromRawData(reinterpret_cast<const char*>(data), static_cast<int>(size)),
                       message)) {
        return 0;
    }
    message.setPort(MdnsPort);
    server.deliver(message);
    QCoreApplication::processEvents();
    QList<Record> all;
    cache.lookupRecords(QByteArray(), ANY, all);
    if (all.size() > Cache::MaxEntries) {
        std::abort();
    }
    return 0;
}
