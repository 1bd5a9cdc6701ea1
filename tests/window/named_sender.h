#pragma once

#include <QObject>
#include <QString>

// A screenshot request coming from an object of a chosen name, as the view's measurement
// would send it.
class NamedSender : public QObject {
    Q_OBJECT

public:
    explicit NamedSender(const char* name) { setObjectName(QString::fromLatin1(name)); }

signals:
    void request(QString sn);
};
