// The registration of every built-in, in one place: the registry's order
// (and so which entry wins a lookup) is fixed here, not by the order in which
// the linker happens to place the built-ins' files. A new built-in adds its
// header and one line at its place in the order of builtinOrder.h.
#include "procedures/script/batchRegistry.h"
#include "procedures/script/counterBuiltins.h"
#include "procedures/script/messageBox.h"
#include "procedures/script/numberBuiltins.h"
#include "procedures/script/resultLog.h"
#include "procedures/script/sleepMsec.h"
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
    add<messageBox_t>("messageBox");
    add<sleepMsec_t>("sleepMsec");
    add<resetCounter_t>("resetCounter");
    add<increaseCounter_t>("increaseCounter");
    add<printCounterEvery_t>("printCounterEvery");
    add<rand_t>("rand");
    add<sqrt_t>("sqrt");
    add<resultLog_t>("resultLog");
}
