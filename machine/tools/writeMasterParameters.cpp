// writeMasterParameters: writes the master parameters file that ships with
// the programs, "Master_Parameters.txt": the factory values of the built-in
// default record, through the same writer the device uses for a machine's
// "Factory_Parameters.txt", so that the shipped file always matches the
// parameter table of this build.
//
//     writeMasterParameters <file>
//
// The file is a Linux path (the build runs this); it is written through the
// platform's file layer like every parameters file, with CR LF line ends.
#include "machine/machineParam.h"
#include "machine/parametersFile.h"
#include "platform/paths.h"

#include <cstdio>
#include <span>

int main(int argc, char** argv) {
    if (argc != 2) {
        std::fprintf(stderr, "usage: writeMasterParameters <file>\n");
        return 2;
    }
    const parameterMemory_t& record = getDefaultParameterTable();
    // The factory block, as a machine whose embedded software keeps one
    // reports it; its glue table is in the compact form.
    const std::span<const std::int32_t> factory =
        std::span<const std::int32_t>(record).subspan(paramLayout::factoryBlockWord);
    // The record's own machine number (word 0, "Machine ID").
    const auto machineNumber = static_cast<std::uint32_t>(record[0]);
    if (!writeParametersFile(toSystemPath(argv[1]), factory, machineNumber, true, L"")) {
        std::fprintf(stderr, "writeMasterParameters: cannot write %s\n", argv[1]);
        return 1;
    }
    return 0;
}
