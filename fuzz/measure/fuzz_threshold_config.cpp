// Splits arbitrary threshold file bytes; the two texts never hold a comma or a NUL, and what
// the window would write back from them parses to two parts again.
#include <kes_measure_config/threshold_config.h>

#include <cstdlib>

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size)
{
    const QByteArray bytes(reinterpret_cast<const char*>(data), int(size));
    const threshold_config::Texts texts = threshold_config::parse(bytes);
    for (const QString& part : {texts.absolute, texts.relative})
        if (part.contains(',') || part.contains(QChar(0)))
            std::abort();
    const QByteArray written = threshold_config::format(texts.absolute.toFloat(), texts.relative.toFloat());
    const threshold_config::Texts again = threshold_config::parse(written);
    if (again.absolute.isEmpty() || again.relative.isEmpty())
        std::abort();
    return 0;
}
