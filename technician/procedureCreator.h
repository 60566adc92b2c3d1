// How a page's button starts a coded procedure: the manual-command gate
// first, then the procedure becomes the current one and runs in the
// progress dialog, modally; closing the dialog deletes it.
#pragma once
#include <functional>

class QWidget;
class baseStaticBatch_t;

// Nothing is built when the gate refuses. make builds the procedure, which
// the progress dialog then owns.
void runProcedure(QWidget* parent, const std::function<baseStaticBatch_t*()>& make);
