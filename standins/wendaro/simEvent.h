// simEvent_t: something the machines server has to tell its clients about,
// as a notice on their next reply. The printer only says what happened; the
// server reads the details through the printer's accessors (queue list, file
// and model information, time estimate, error record) when it builds the
// notice.
#pragma once
#include <cstdint>
#include <string>

struct simEvent_t {
    enum class kind_e {
        logAppended_e,    // a line went into today's daily log ("HASNEWLOGRESP")
        queueChanged_e,   // the build queue changed ("HASQUEUECHANGEDRESP")
        fileInfoChanged_e,  // a model started loading or building, or ended ("HASNEWFILESENDER")
        modelStarted_e,   // model information of a new build ("HASNEWMODELINFO")
        timeEstimate_e,   // a new build-time estimate ("HASNEWTIMEEST")
        modelEnded_e,     // the build ended, completed or cancelled ("MODELHASENDED")
        paused_e,         // entered state 2 from state 1; text: who paused ("PAUSEMACHINEUSER")
        memoryWritten_e,  // commands 3 or 8 changed the parameter memory ("SENDNVM")
        stateChanged_e,   // text: "<old> -> <new>"
        errorChanged_e,   // text: the new error number
    };

    kind_e kind = kind_e::stateChanged_e;
    std::wstring text;
    // The connection whose command caused it (0: the printer itself or the
    // harness), so that the server can leave out the writer of "SENDNVM".
    std::uint32_t connection = 0;
};
