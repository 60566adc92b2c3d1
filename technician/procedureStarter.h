// Starts a coded procedure from a page's button. The machine is first brought
// out of its held states (a building machine refuses, with its warning, and
// nothing is built); the procedure then becomes the current one, so that the
// main dialog can hand it the status-reply signal, and runs in the progress
// dialog, modally. Closing the dialog deletes the procedure.
#pragma once
#include <functional>

class QWidget;
class baseStaticBatch_t;

// build makes the procedure (with its stages). False when the machine was
// not ready and nothing was built.
bool startProcedure(QWidget* parent, const std::function<baseStaticBatch_t*()>& build);
