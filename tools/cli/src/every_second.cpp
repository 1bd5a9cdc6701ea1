#include "every_second.h"

#include <QCoreApplication>
#include <QTimer>

#include <csignal>

namespace cli {
namespace {

volatile std::sig_atomic_t g_interrupted = 0;

void onInterrupt(int)
{
    g_interrupted = 1;
}

} // namespace

bool interrupted()
{
    return g_interrupted != 0;
}

int everySecond(int seconds, const std::function<int(int second)>& tick)
{
    std::signal(SIGINT, onInterrupt);
    std::signal(SIGTERM, onInterrupt);
    int second = 0;
    QTimer clock;
    QObject::connect(&clock, &QTimer::timeout, [&] {
        const int result = tick(++second);
        if (result >= 0)
            QCoreApplication::exit(result);
        else if (seconds > 0 && second >= seconds)
            QCoreApplication::exit(0);
    });
    QTimer interruption;
    QObject::connect(&interruption, &QTimer::timeout, [] {
        if (g_interrupted)
            QCoreApplication::exit(0);
    });
    clock.start(1000);
    interruption.start(100);
    return QCoreApplication::exec();
}

} // namespace cli
