#include "output.h"

#include <QSaveFile>

#include <fcntl.h>
#include <unistd.h>

#include <cstdio>

namespace cli {
namespace {

FILE* results = stdout;

void dropDebug(QtMsgType, const QMessageLogContext&, const QString&) {}

} // namespace

void reserveOutput()
{
    std::fflush(stdout);
    const int kept = dup(STDOUT_FILENO);
    const int null = open("/dev/null", O_WRONLY);
    if (kept < 0 || null < 0)
        return;
    results = fdopen(kept, "w");
    dup2(null, STDOUT_FILENO);
    close(null);
    qInstallMessageHandler(dropDebug);
}

QTextStream& out()
{
    static QTextStream stream(results);
    return stream;
}

void printError(const QString& message)
{
    out().flush();
    std::fprintf(stderr, "kestra-cli: %s\n", message.toLocal8Bit().constData());
}

// Qt reports ENOSPC as a resource error.
QString writeFailure(const QFileDevice& file)
{
    if (file.error() == QFileDevice::ResourceError)
        return "no space left on device for " + file.fileName();
    return "writing " + file.fileName() + " failed: " + file.errorString();
}

QString writeWholeFile(const QString& path, const QByteArray& bytes)
{
    QSaveFile file(path);
    if (!file.open(QIODevice::WriteOnly))
        return "cannot write " + path + ": " + file.errorString();
    if (file.write(bytes) != bytes.size() || !file.commit())
        return writeFailure(file);
    return QString();
}

} // namespace cli
