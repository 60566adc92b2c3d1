// Installs the procedures' dialogs (the trim number chooser and the knife
// check's wait window) as the hooks of procedures/batches/batchDialogs.h.
// The program calls it once at start-up.
#pragma once

void installBatchDialogsQt();
