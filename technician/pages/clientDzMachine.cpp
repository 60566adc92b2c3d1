#include "technician/pages/clientDzMachine.h"

#include "link/currentClientDevice.h"
#include "link/qvrClientDev.h"
#include "machine/machineParam.h"
#include "procedures/batches/batchDialogs.h"

namespace {

const machineParam_t* dzParam()
{
    return findParameter(115, L"DZ Sensor-To-Iron");
}

}  // namespace

std::uint32_t clientDzMachine_t::statusFlags()
{
    qvrClientDev_t* device = getCurrentClientDevice();
    return device != nullptr ? device->getStatus().flags() : 0;
}

std::int32_t clientDzMachine_t::lastLayerIndex()
{
    qvrClientDev_t* device = getCurrentClientDevice();
    return device != nullptr ? device->getLastReceivedLayerIndex() : -1;
}

std::int32_t clientDzMachine_t::layerHeight(std::int32_t index)
{
    qvrClientDev_t* device = getCurrentClientDevice();
    return device != nullptr ? device->getLayerRecord(index).height() : 0;
}

std::int32_t clientDzMachine_t::modelLayerThickness()
{
    qvrClientDev_t* device = getCurrentClientDevice();
    return device != nullptr ? device->getModelInfo().layerThickness() : 0;
}

std::int32_t clientDzMachine_t::dz()
{
    qvrClientDev_t* device = getCurrentClientDevice();
    const machineParam_t* param = dzParam();
    return device != nullptr && param != nullptr ? device->getParamValue(*param) : 0;
}

std::int32_t clientDzMachine_t::factoryDz()
{
    qvrClientDev_t* device = getCurrentClientDevice();
    const machineParam_t* param = dzParam();
    return device != nullptr && param != nullptr ? device->getFactoryValue(*param) : 0;
}

void clientDzMachine_t::setDz(std::int32_t value)
{
    qvrClientDev_t* device = getCurrentClientDevice();
    const machineParam_t* param = dzParam();
    if (device == nullptr || param == nullptr)
        return;
    device->setParameter(*param, value, false);
    refreshMainWindow();
}

bool clientDzMachine_t::buildBlock()
{
    qvrClientDev_t* device = getCurrentClientDevice();
    return device != nullptr &&
           device->buildEmptyModel(dzCalibrator_t::blockLayers, dzCalibrator_t::blockLengthMm, 0, 1);
}

void clientDzMachine_t::cancelBuild()
{
    if (qvrClientDev_t* device = getCurrentClientDevice())
        device->cancelBuild(-1, L"");
}

void clientDzMachine_t::takeLink()
{
    link_.take(getCurrentClientDevice());
}

bool clientDzMachine_t::linkHolds()
{
    return link_.holds();
}
