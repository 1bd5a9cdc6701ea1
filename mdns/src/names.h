#ifndef QMDNSENGINE_NAMES_H
#define QMDNSENGINE_NAMES_H

#include <QByteArray>

namespace QMdnsEngine {

// Names travel with their trailing dot; callers may leave it off.
inline QByteArray fullyQualified(const QByteArray& name)
{
    return name.endsWith('.') ? name : name + '.';
}

inline char asciiLower(char c)
{
    return c >= 'A' && c <= 'Z' ? static_cast<char>(c - 'A' + 'a') : c;
}

// DNS names compare without regard to the case of ASCII letters; other bytes are compared
// as they are, as UTF-8 names may hold them.
inline QByteArray foldedName(const QByteArray& name)
{
    QByteArray folded = name;
    for (char& c : folded) {
        c = asciiLower(c);
    }
    return folded;
}

inline bool sameName(const QByteArray& a, const QByteArray& b)
{
    if (a.size() != b.size()) {
        return false;
    }
    for (int i = 0; i < a.size(); ++i) {
        if (asciiLower(a.at(i)) != asciiLower(b.at(i))) {
            return false;
        }
    }
    return true;
}

} // namespace QMdnsEngine

#endif
