#include "technician/procedureCreator.h"

#include "procedures/batches/baseStaticBatch.h"
#include "procedures/batches/qt/staticBatchDlg.h"
#include "technician/tovrikApp.h"

void runProcedure(QWidget* parent, const std::function<baseStaticBatch_t*()>& make)
{
    if (!tovrikApp().makeMachineReady())
        return;
    baseStaticBatch_t* procedure = make();
    baseStaticBatch_t::setCurrent(procedure);
    staticBatchDlg_t dialog(procedure, parent);
    dialog.exec();
}
