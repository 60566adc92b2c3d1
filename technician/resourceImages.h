// The program's bitmaps and icons by resource id, as the dialogs load them:
// pictures compiled into the program (resources/technician/technician.qrc).
#pragma once
#include <QIcon>
#include <QPixmap>

// Makes the compiled resources of the technician library reachable; the
// loaders below call it, a program may call it early. Safe to call again.
void initTechnicianResources();
// The bitmap resource, or a null pixmap when the program has none by that id.
QPixmap loadBitmapResource(int id);
// The icon resource in every size it was drawn in; a null icon when none.
QIcon loadIconResource(int id);
