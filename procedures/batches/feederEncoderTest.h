// The feeder-encoder calibration's worker: it steps the feeder from one edge
// of a feeder sensor's signal to the next (command 164) and measures, from
// the feeder positions, which share of the travel the sensor was on. A sound
// sensor reads near 50%. Mask 256 is the top feeder encoder, mask 16 the PVC
// length sensor. One test per object; the worker ends by itself when the
// machine leaves state 5 or the link fails one of its commands, or when
// stopped.
//
// Threads: start and stop on the user-interface thread; the worker writes the
// results under the object's lock and posts WM_APP to the window after each
// new result; the window reads them through result().
#pragma once
#include "machine/event.h"
#include "machine/threadHandle.h"
#include "platform/winConstants.h"

#include <atomic>
#include <cstdint>
#include <mutex>

class qvrClientDev_t;

class feederEncoderTest_t {
public:
    static constexpr std::uint32_t encoderMask = 256;
    static constexpr std::uint32_t pvcMask = 16;
    static constexpr const wchar_t* noMediaText = L"Please insert media first.";

    enum class start_e { started_e, alreadyStarted_e, noMedia_e };

    // The device is not owned; results are posted to the window.
    feederEncoderTest_t(qvrClientDev_t* device, HWND window);
    ~feederEncoderTest_t();  // stops and waits for the worker
    feederEncoderTest_t(const feederEncoderTest_t&) = delete;
    feederEncoderTest_t& operator=(const feederEncoderTest_t&) = delete;

    // Nothing when a test was started already; without media (status flags
    // bit 8) the box "Please insert media first." and nothing is sent.
    start_e start(std::uint32_t mask);
    // Sets the stop event and waits for the worker.
    void stop();
    bool started() const { return started_.load(); }
    bool workerRunning() const;
    // The share in percent (integer part) for a mask; 0 before one is known.
    double result(std::uint32_t mask) const;
    // The result is shown green when within 20 of 50 (strictly), else red.
    static bool isGood(double result) { return result > 30.0 && result < 70.0; }

private:
    static unsigned workerProc(void* argument);
    void work();

    qvrClientDev_t* device_;
    HWND window_;
    mutable std::mutex lock_;
    threadHandle_t worker_;
    event_t stop_{true, false};
    mutable event_t ended_{true, true};
    std::atomic<bool> started_{false};
    double encoderResult_ = 0.0;
    double pvcResult_ = 0.0;
    std::atomic<std::uint32_t> mask_{0};
};
