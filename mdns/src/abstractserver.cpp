#include <qmdnsengine/abstractserver.h>

namespace QMdnsEngine {

AbstractServer::AbstractServer(QObject* parent) : QObject(parent) {}

} // namespace QMdnsEngine
