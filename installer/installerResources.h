// The installer's compiled-in pictures (the program icon, resource 128).
#pragma once
#include <QIcon>

// Registers the resources once; safe to call again.
void initInstallerResources();
// Icon 128 in its three sizes.
QIcon installerIcon();
