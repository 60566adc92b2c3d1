#include "link/archiveException.h"

const char* archiveException_t::what() const noexcept {
    return archiveCauseText(cause_);
}

const char* archiveCauseText(archiveCause_e cause) {
    switch (cause) {
    case archiveCause_e::none_e:
        return "no failure";
    case archiveCause_e::generic_e:
        return "archive not open";
    case archiveCause_e::endOfFile_e:
        return "end of file";
    case archiveCause_e::badClass_e:
        return "bad class";
    case archiveCause_e::badIndex_e:
        return "bad index";
    case archiveCause_e::badSchema_e:
        return "bad schema";
    case archiveCause_e::memory_e:
        return "out of memory";
    }
    return "unknown";
}
