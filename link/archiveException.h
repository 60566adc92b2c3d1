// archiveException_t: what an archive reader or writer throws when a message
// cannot be encoded or decoded. Only the archive layer throws it; the message
// streams (outputStream_t, inputStream_t) catch it and mark themselves
// failed, so nothing above them ever sees an exception.
#pragma once
#include <exception>

enum class archiveCause_e {
    none_e,      // no failure
    generic_e,   // an operation on a stream that could not be opened
    endOfFile_e, // the message ends inside a field (or a length or count exceeds what is left)
    badClass_e,  // unknown class name, or an object of another class than the one expected
    badIndex_e,  // a class or object reference to an index not seen yet
    badSchema_e, // a record written with another schema than ours
    memory_e,    // decoding would need more memory than the message can justify
};

class archiveException_t : public std::exception {
public:
    explicit archiveException_t(archiveCause_e cause) : cause_(cause) {}
    archiveCause_e cause() const { return cause_; }
    const char* what() const noexcept override;

private:
    archiveCause_e cause_;
};

// "end of file", "bad class", ... for traces and test messages.
const char* archiveCauseText(archiveCause_e cause);
