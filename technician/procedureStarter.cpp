#include "technician/procedureStarter.h"

#include "procedures/batches/baseStaticBatch.h"
#include "procedures/batches/qt/staticBatchDlg.h"
#include "technician/tovrikApp.h"

bool startProcedure(QWidget* parent, const std::function<baseStaticBatch_t*()>& build)
{
    if (!tovrikApp().makeMachineReady())
        return false;
    baseStaticBatch_t* procedure = build();
    baseStaticBatch_t::setCurrent(procedure);
    // The dialog owns the procedure from here on.
    staticBatchDlg_t dialog(procedure, parent);
    dialog.exec();
    return true;
}
