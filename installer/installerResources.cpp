#include "installer/installerResources.h"

// Outside any namespace: Q_INIT_RESOURCE declares a global function.
static void registerInstallerResources() {
    Q_INIT_RESOURCE(installer);
}

void initInstallerResources() {
    static const bool registered = (registerInstallerResources(), true);
    (void)registered;
}

QIcon installerIcon() {
    initInstallerResources();
    QIcon icon;
    for (const char* size : {"16", "32", "48"})
        icon.addFile(QStringLiteral(":/fennicot/icon/128-") + QLatin1String(size));
    return icon;
}
