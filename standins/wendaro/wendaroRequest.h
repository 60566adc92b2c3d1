// wendaroRequest_t: one client message as the server reads it, and whether
// the bytes received so far make it whole.
//
// TCP may split a message; the client sent it with one send and waits for
// the answer, so bytes that follow belong to the same message. A message is
// whole once its word's fields are all there: "CMND" when the length byte's
// count of bytes has followed it, an upload block when its length (31743
// bytes, or what is left of the announced file size) is in, any other word
// when its fields decode. Fields that end too early mean "wait for more";
// fields that cannot be read whatever follows make the message malformed.
// An unknown word is whole as it stands (it is answered "ERROR").
//
// The optional password part of the queue requests ("PASSWORD" and the
// password text after the word) is recognised by its exact bytes: an int32
// field cannot begin with them.
#pragma once
#include "machine/fileSendParams.h"
#include "machine/machineHostIDname.h"
#include "machine/textMessage.h"

#include <cstddef>
#include <cstdint>
#include <memory>
#include <optional>
#include <string>
#include <vector>

struct wendaroRequest_t {
    enum class parse_e { complete_e, incomplete_e, malformed_e };

    parse_e parse = parse_e::malformed_e;
    std::wstring word;
    // A known word whose fields this reader understands.
    bool known = false;
    std::optional<std::wstring> password;
    std::vector<std::int32_t> numbers;  // int32 and uint32 fields, in order
    std::vector<std::wstring> texts;
    double version = 0;                 // of a connect word
    // The record as read: it holds its upload streams and is large, so it
    // is handed over as the reader made it, never moved into place.
    std::unique_ptr<fileSendParams_t> file;
    std::optional<machineHostIDname_t> machine;  // target of a move or copy
    std::optional<textMessage_t> message;
    // "CMND": the queued packet [n][code][payload]; an upload block: its bytes.
    std::vector<std::uint8_t> raw;
    // Bytes after the last field.
    std::size_t trailing = 0;
    // Why the message is malformed or incomplete, for the trace.
    std::string problem;

    bool complete() const { return parse == parse_e::complete_e; }
    // The command code of a "CMND" (-1 for anything else).
    int commandCode() const;

    // uploadSize: the announced size of the file being uploaded on this
    // connection, when there is one (it gives a block its length).
    static wendaroRequest_t read(const std::uint8_t* bytes, std::size_t length,
                                 std::optional<std::uint32_t> uploadSize = std::nullopt);
    // The encoded text "PASSWORD" that starts the password part.
    static const std::vector<std::uint8_t>& passwordMark();
};
