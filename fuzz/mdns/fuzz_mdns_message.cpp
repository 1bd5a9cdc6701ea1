#include <qmdnsengine/wireformat.h>

#include <cstddef>
#include <cstdint>
#include <cstdlib>

using namespace QMdnsEngine;

// Whatever decodes must encode into a packet that decodes again, to the same shape.
extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size)
{
    const QByteArray packet = QByteArray::fromRawData(reinterpret_cast<const char*>(data), static_cast<int>(size));
    Message message;
    if (!decodeMessage(packet, message)) {
        return 0;
    }
    Message again;
    if (!decodeMessage(encodeMessage(message), again) || again.queries().size() != message.queries().size()
        || again.records().size() != message.records().size()) {
        std::abort();
    }
    return 0;
}
