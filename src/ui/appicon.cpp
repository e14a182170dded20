#include "ui/appicon.h"

QIcon applicationIcon()
{
    // The icon lives in the static core library, whose resources are only
    // linked in when something asks for them by name.
    static const bool registered = [] {
        Q_INIT_RESOURCE(rondexa);
        return true;
    }();
    Q_UNUSED(registered);
    return QIcon(QStringLiteral(":/rondexa/rondexa.png"));
}
