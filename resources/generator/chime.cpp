#include "chime.h"

#include <QDataStream>

#include <cmath>
#include <cstdint>
#include <vector>

namespace {

constexpr int kRate = 44100;
constexpr double kSeconds = 0.7;

std::vector<int16_t> chimeSamples()
{
    const int count = static_cast<int>(kRate * kSeconds);
    std::vector<int16_t> samples(count);
    const double twoPi = 2.0 * M_PI;
    for (int k = 0; k < count; ++k) {
        const double t = double(k) / kRate;
        const double attack = std::min(1.0, t / 0.004);
        const double tone = 0.6 * std::sin(twoPi * 1318.5 * t) * std::exp(-5.0 * t)
                            + 0.3 * std::sin(twoPi * 1975.5 * t) * std::exp(-8.0 * t)
                            + 0.1 * std::sin(twoPi * 2637.0 * t) * std::exp(-12.0 * t);
        samples[k] = static_cast<int16_t>(std::lround(attack * tone * 0.8 * 32767.0));
    }
    return samples;
}

} // namespace

QByteArray chimeWav()
{
    const std::vector<int16_t> samples = chimeSamples();
    const quint32 dataBytes = static_cast<quint32>(samples.size() * sizeof(int16_t));
    QByteArray wav;
    QDataStream out(&wav, QIODevice::WriteOnly);
    out.setByteOrder(QDataStream::LittleEndian);
    out.writeRawData("RIFF", 4);
    out << quint32(36 + dataBytes);
    out.writeRawData("WAVEfmt ", 8);
    out << quint32(16) << quint16(1) << quint16(1) << quint32(kRate) << quint32(kRate * 2) << quint16(2)
        << quint16(16);
    out.writeRawData("data", 4);
    out << dataBytes;
    for (int16_t s : samples)
        out << qint16(s);
    return wav;
}
