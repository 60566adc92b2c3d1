#include "procedures/script/batchRunContext.h"

#include "link/qvrClientDev.h"
#include "machine/textUtils.h"
#include "procedures/script/batchNumbers.h"
#include "procedures/script/batchProgram.h"
#include "procedures/script/batchTokenBuffer.h"
#include "procedures/script/icstream.h"
#include "procedures/script/resultLogTable.h"
#include "procedures/script/userFunc.h"

#include <stdexcept>

namespace {

std::atomic<batchRunContext_t*> currentContext{nullptr};

}  // namespace

batchRunContext_t::batchRunContext_t(qvrClientDev_t* device, std::wstring scriptPath, std::string tracePath)
    : device_(device), scriptPath_(std::move(scriptPath)), tracePath_(std::move(tracePath))
{
}

batchRunContext_t::~batchRunContext_t()
{
    releaseTree();
    if (batchRunState_t::traceStream == trace_.get())
        batchRunState_t::traceStream = nullptr;
    batchRunContext_t* self = this;
    currentContext.compare_exchange_strong(self, nullptr);
}

batchRunContext_t* batchRunContext_t::current()
{
    return currentContext.load();
}

void batchRunContext_t::setCurrent(batchRunContext_t* context)
{
    currentContext.store(context);
}

bool batchRunContext_t::claimCurrent(batchRunContext_t* context)
{
    batchRunContext_t* none = nullptr;
    return currentContext.compare_exchange_strong(none, context);
}

void batchRunContext_t::releaseTree()
{
    // The main statement's calls point into the definitions' bodies.
    main_.reset();
    definitions_.clear();
}

bool batchRunContext_t::onRunLink() const
{
    return device_ == nullptr || !startedOnLink_.load() || runLink_.holds();
}

void batchRunContext_t::run(batchStopTest_t stopTest)
{
    errorPlace_ = batchErrorPlace_t{};
    runLink_.take(device_);
    startedOnLink_.store(runLink_.holds());
    batchRunState_t::stopTest = std::move(stopTest);
    trace_ = std::make_unique<longname_ofstream>(strToWstr(tracePath_), std::ios_base::out | std::ios_base::trunc);
    batchRunState_t::traceStream = trace_.get();
    batchRunState_t::stopRequested.store(false);

    // Whatever way the run ends, nothing of it stays installed.
    struct cleanup_t {
        batchRunContext_t& context;
        batchRunContext_t* previous = currentContext.exchange(&context);
        ~cleanup_t()
        {
            closeResultLogs();
            batchRunState_t::stopTest = nullptr;
            batchRunState_t::traceStream = nullptr;
            batchRunState_t::currentUserFunc = nullptr;
            if (context.trace_) {
                context.trace_->close();
                context.trace_.reset();
            }
            context.releaseTree();
            currentContext.store(previous);
        }
    } cleanup{*this};

    std::string text = parseAndExecute();
    if (text.empty())
        return;
    std::string report = buildErrorReport(scriptPath_, text, errorPlace_);
    *trace_ << "\n" << report << "\n" << std::flush;
    closeResultLogs();
    throw std::runtime_error(report);
}

std::string batchRunContext_t::parseAndExecute()
{
    releaseTree();
    icstream_t in(scriptPath_);
    if (!in.good())
        throw std::runtime_error("can't open " + wstrToStr(scriptPath_));

    auto& tokens = batchTokenBuffer_t::shared();
    tokens.attach(&in);
    struct detach_t {
        batchTokenBuffer_t& tokens;
        ~detach_t() { tokens.detach(); }
    } detach{tokens};
    errorPlace_.line = -1;

    try {
        main_ = parseProgram(tokens, definitions_);
    } catch (const std::exception& error) {
        // The parser put the offending token back: it is the next one.
        batchToken_t token = tokens.next();
        errorPlace_.line = token.line();
        errorPlace_.lineStart = token.lineStart();
        errorPlace_.position = token.position();
        return error.what();
    } catch (const batchBreak_t&) {
        // A break outside every loop (in a function called by a loop
        // count) ends the run quietly.
        return std::string();
    }
    tokens.detach();

    try {
        if (main_)
            main_->exec();
    } catch (const std::exception& error) {
        return error.what();
    } catch (const batchBreak_t&) {
        // A break outside every loop ends the run quietly.
    }
    return std::string();
}

batchRunContext_t::counter_t* batchRunContext_t::findCounter(std::int32_t id)
{
    for (auto& counter : counters_)
        if (counter.id == id)
            return &counter;
    return nullptr;
}

void batchRunContext_t::resetCounter(std::int32_t id)
{
    lockGuard_t guard(lock_);
    if (auto* counter = findCounter(id))
        counter->value = 0;
    else
        counters_.push_back(counter_t{id, 0, 1});
}

void batchRunContext_t::increaseCounter(std::int32_t id)
{
    lockGuard_t guard(lock_);
    auto* counter = findCounter(id);
    if (counter == nullptr) {
        counters_.push_back(counter_t{id, 1, 1});
        return;
    }
    counter->value = static_cast<std::int32_t>(static_cast<std::uint32_t>(counter->value) + 1u);
    if (counter->value % counter->printEvery == 0 && trace_)
        *trace_ << "Counter #" << batchSignedText(id) << " = " << batchSignedText(counter->value) << std::endl;
}

void batchRunContext_t::setCounterPrintEvery(std::int32_t id, std::int32_t every)
{
    lockGuard_t guard(lock_);
    if (every < 1)
        every = 1;
    if (auto* counter = findCounter(id))
        counter->printEvery = every;
    else
        counters_.push_back(counter_t{id, 0, every});
}

std::optional<batchRunContext_t::counter_t> batchRunContext_t::counter(std::int32_t id) const
{
    lockGuard_t guard(lock_);
    for (const auto& counter : counters_)
        if (counter.id == id)
            return counter;
    return std::nullopt;
}
