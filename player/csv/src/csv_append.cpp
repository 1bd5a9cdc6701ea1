#include "kes_csv/csv_append.h"

#include <QBuffer>
#include <QFile>

namespace kes_csv {

QByteArray csvText(const std::function<void(CsvWriter&)>& fill)
{
    QBuffer buffer;
    buffer.open(QIODevice::WriteOnly);
    {
        CsvWriter writer(buffer, std::size_t(64) << 10);
        fill(writer);
    }
    return buffer.data();
}

bool appendLines(QFile& file, const QByteArray& text, QString* error)
{
    const qint64 before = file.size();
    QByteArray bytes;
    if (before > 0 && (!file.seek(before - 1) || file.read(1) != "\n"))
        bytes = "\n";
    bytes += text;
    qint64 done = 0;
    while (done < bytes.size()) {
        const qint64 n = file.write(bytes.constData() + done, bytes.size() - done);
        if (n <= 0)
            break;
        done += n;
    }
    if (done == bytes.size() && file.flush())
        return true;
    if (error)
        *error = file.errorString();
    file.resize(before);
    return false;
}

} // namespace kes_csv
