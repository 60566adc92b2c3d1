// The DZ calibrator's machine: the current client device, read through its
// locked copies, with the pages refreshed after every change of DZ.
#pragma once
#include "machine/runLink.h"
#include "technician/pages/dzCalibrator.h"

class clientDzMachine_t : public dzCalibrator_t::machine_t {
public:
    std::uint32_t statusFlags() override;
    std::int32_t lastLayerIndex() override;
    std::int32_t layerHeight(std::int32_t index) override;
    std::int32_t modelLayerThickness() override;
    std::int32_t dz() override;
    std::int32_t factoryDz() override;
    void setDz(std::int32_t value) override;
    bool buildBlock() override;
    void cancelBuild() override;
    void takeLink() override;
    bool linkHolds() override;

private:
    runLink_t link_;
};
