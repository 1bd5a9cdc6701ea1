#include "kes_resources/view_resources.h"

#include <QtGlobal>

void initViewResources()
{
    Q_INIT_RESOURCE(kes_resources);
}
