// The registration of every built-in, in one place: the registry's order
// (and so which entry wins a lookup) is fixed here, not by the order in which
// the linker happens to place the built-ins' files. A new built-in adds its
// header and one line at its place in the order of builtinOrder.h.
#include "procedures/script/axisBuiltins.h"
#include "procedures/script/batchRegistry.h"
#include "procedures/script/beep.h"
#include "procedures/script/counterBuiltins.h"
#include "procedures/script/drawBuiltins.h"
#include "procedures/script/layerBuiltins.h"
#include "procedures/script/messageBox.h"
#include "procedures/script/motionBuiltins.h"
#include "procedures/script/numberBuiltins.h"
#include "procedures/script/resultLog.h"
#include "procedures/script/sensorBuiltins.h"
#include "procedures/script/sleepMsec.h"
#include "procedures/script/toolBuiltins.h"
#include "procedures/script/unitConversion.h"
#include "procedures/script/unitModeBuiltins.h"

namespace {

template <class T>
void add(const char* scriptName)
{
    *vcMmbT<T>::instance() = scriptName;
}

}  // namespace

void registerBuiltins()
{
    initAxisStepSizes();
    add<micronsUnits_t>("micronsUnits");
    add<stepsUnits_t>("stepsUnits");
    add<moveXYby_t>("moveXYby");
    add<moveXYto_t>("moveXYto");
    add<moveXto_t>("moveXto");
    add<moveYto_t>("moveYto");
    add<moveZto_t>("moveZto");
    add<moveFEEDERto_t>("moveFEEDERto");
    add<movePumpTo_t>("movePumpTo");
    add<movePumpBy_t>("movePumpBy");
    add<moveXby_t>("moveXby");
    add<moveYby_t>("moveYby");
    add<moveZby_t>("moveZby");
    add<moveFEEDERby_t>("moveFEEDERby");
    add<FeedIronTrim_t>("FeedIronTrim");
    add<FeedLayer_t>("FeedLayer");
    add<IronLayer_t>("IronLayer");
    add<TrimLayer_t>("TrimLayer");
    add<messageBox_t>("messageBox");
    add<beep_t>("beep");
    add<valveDCon_t>("valveDCon");
    add<valveDCoff_t>("valveDCoff");
    add<modelHeight_t>("modelHeight");
    add<hookIron_t>("hookIron");
    add<unhookIron_t>("unhookIron");
    add<sleepMsec_t>("sleepMsec");
    add<arc_t>("arc");
    add<isXhome_t>("isXhome");
    add<isYhome_t>("isYhome");
    add<isZhome_t>("isZhome");
    add<isIRONhome_t>("isIRONhome");
    add<isPumpHome_t>("isPumpHome");
    add<isFEEDERhome_t>("isFEEDERhome");
    add<homeX_t>("homeX");
    add<homeZ_t>("homeZ");
    add<homePump_t>("homePump");
    add<homeFEEDER_t>("homeFEEDER");
    add<clearX_t>("clearX");
    add<clearY_t>("clearY");
    add<clearZ_t>("clearZ");
    add<clearPump_t>("clearPump");
    add<clearFEEDER_t>("clearFEEDER");
    add<isIRONup_t>("isIRONup");
    add<hasLowerMedia_t>("hasLowerMedia");
    add<hasUpperMedia_t>("hasUpperMedia");
    add<penUP_t>("penUP");
    add<penDOWN_t>("penDOWN");
    add<isPenUP_t>("isPenUP");
    add<isPenDOWN_t>("isPenDOWN");
    add<isROLLtooth_t>("isROLLtooth");
    add<isDOORopen_t>("isDOORopen");
    add<isDOORthrown_t>("isDOORthrown");
    add<logicalTOOL_t>("logicalTOOL");
    add<physicalTOOL_t>("physicalTOOL");
    add<drawRectWithAngle_t>("drawRectWithAngle");
    add<errorNumber_t>("errorNumber");
    add<changeTOOL_t>("changeTOOL");
    add<returnTOOL_t>("returnTOOL");
    add<resetCounter_t>("resetCounter");
    add<increaseCounter_t>("increaseCounter");
    add<printCounterEvery_t>("printCounterEvery");
    add<rand_t>("rand");
    add<sqrt_t>("sqrt");
    add<resultLog_t>("resultLog");
}
