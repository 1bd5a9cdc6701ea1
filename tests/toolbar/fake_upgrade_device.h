#pragma once

#include <kes_toolbar/upgrade_transfer.h>

#include <QByteArray>
#include <QList>
#include <QStringList>

#include <atomic>

// Upgrade hooks that record every call: the first `refusals` starts are refused, and the step
// named `failing` answers 1.
class FakeDevice : public UpgradeDevice {
public:
    explicit FakeDevice(const char* failing = "", int refusals = 0)
        : failing_(QString::fromLatin1(failing)), refusals_(refusals)
    {
    }
    int startUpgrade() override { return answer("start") | (++starts <= refusals_ ? 1 : 0); }
    int write(const char* data, int len) override
    {
        sizes << len;
        image.append(data, len);
        return answer("write") | (++writes, 0);
    }
    int end() override { return answer("end"); }
    int sendMd5(const uint8_t* md5) override
    {
        digest = QByteArray(reinterpret_cast<const char*>(md5), 16);
        return answer("md5");
    }
    int commit() override { return answer("commit"); }
    int reboot() override { return answer("reboot"); }

    std::atomic<int> starts{0};
    std::atomic<int> writes{0};
    QStringList calls;
    QList<int> sizes;
    QList<int> progress;
    QByteArray image;
    QByteArray digest;

private:
    int answer(const char* call)
    {
        calls << QString::fromLatin1(call);
        return calls.last() == failing_ ? 1 : 0;
    }
    const QString failing_;
    const int refusals_;
};
