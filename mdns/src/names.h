#ifndef QMDNSENGINE_NAMES_H
#define QMDNSENGINE_NAMES_H

#include <QByteArray>

namespace QMdnsEngine {

// Names travel with their trailing dot; callers may leave it off.
inline QByteArray fullyQualified(const QByteArray &name)
{
    return name.endsWith('.') ? name : name + '.';
}

}

#endif
