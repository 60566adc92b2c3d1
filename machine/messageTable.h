// messageTable_t: the printer's 88 front-panel and status texts, by code 1 to
// 88. All tables share the one message-text buffer (globalNames.h), filled
// once when the first device is made; a table only binds its page of it.
#pragma once
#include <cstdint>
#include <string>

class messageTable_t {
public:
    static constexpr std::int32_t firstCode = 1;
    static constexpr std::int32_t lastCode = 88;

    // Fills the shared buffer (once per process) and binds page 0.
    messageTable_t();

    // Binds the table to its page of the shared buffer; only page 0 exists.
    void bindPage();
    std::int32_t pageIndex() const { return pageIndex_; }

    // The entry for 1 to 88, else "INVALID STRING".
    std::string text(std::int32_t code) const;
    // The entry widened, else "Unknown".
    std::wstring getMessageText(std::int32_t code) const;

    // Writes the 88 texts into the shared buffer; later calls do nothing.
    static void fillSharedTexts();

private:
    std::int32_t pageIndex_ = 0;
    const char* page_ = nullptr;
};
