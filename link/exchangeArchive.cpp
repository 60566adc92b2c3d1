#include "link/exchangeArchive.h"

#include "link/archiveException.h"
#include "platform/codePage.h"

namespace {

void checkSchema(uint16_t schema) {
    if (schema != exchangeRecordSchema)
        throw archiveException_t(archiveCause_e::badSchema_e);
}

std::size_t textBytes(const std::wstring& text) {
    return text.size() * sizeof(wchar_t);
}

} // namespace

// fileSendParams_t: the 19 integers, then path, displayName, text3, name.

void archiveClass<fileSendParams_t>::store(archiveWriter_t& ar, const fileSendParams_t& record) {
    for (int32_t value : record.integers)
        ar.writeInt32(value);
    ar.writeString(record.path);
    ar.writeString(record.displayName);
    ar.writeString(record.text3);
    ar.writeString(record.name);
}

void archiveClass<fileSendParams_t>::load(archiveReader_t& ar, fileSendParams_t& record, uint16_t schema) {
    checkSchema(schema);
    for (int32_t& value : record.integers)
        value = ar.readInt32();
    record.path = ar.readString();
    record.displayName = ar.readString();
    record.text3 = ar.readString();
    record.name = ar.readString();
    record.resolveBarePath();
}

std::size_t archiveClass<fileSendParams_t>::footprint(const fileSendParams_t& record) {
    return sizeof record + textBytes(record.path) + textBytes(record.displayName) + textBytes(record.text3) +
           textBytes(record.name);
}

// fileInfo_t: six integers.

void archiveClass<fileInfo_t>::store(archiveWriter_t& ar, const fileInfo_t& record) {
    for (int32_t value : record.values)
        ar.writeInt32(value);
}

void archiveClass<fileInfo_t>::load(archiveReader_t& ar, fileInfo_t& record, uint16_t schema) {
    checkSchema(schema);
    for (int32_t& value : record.values)
        value = ar.readInt32();
}

std::size_t archiveClass<fileInfo_t>::footprint(const fileInfo_t& record) {
    return sizeof record;
}

// errorHistory_t: value1, value3, layerNumber, messageCode, value2, then
// text3, text4, text5, description, text2.

void archiveClass<errorHistory_t>::store(archiveWriter_t& ar, const errorHistory_t& record) {
    ar.writeInt32(record.value1);
    ar.writeInt32(record.value3);
    ar.writeInt32(record.layerNumber);
    ar.writeInt32(record.messageCode);
    ar.writeInt32(record.value2);
    ar.writeString(record.text3);
    ar.writeString(record.text4);
    ar.writeString(record.text5);
    ar.writeString(record.description);
    ar.writeString(record.text2);
}

void archiveClass<errorHistory_t>::load(archiveReader_t& ar, errorHistory_t& record, uint16_t schema) {
    checkSchema(schema);
    record.value1 = ar.readInt32();
    record.value3 = ar.readInt32();
    record.layerNumber = ar.readInt32();
    record.messageCode = ar.readInt32();
    record.value2 = ar.readInt32();
    record.text3 = ar.readString();
    record.text4 = ar.readString();
    record.text5 = ar.readString();
    record.description = ar.readString();
    record.text2 = ar.readString();
}

std::size_t archiveClass<errorHistory_t>::footprint(const errorHistory_t& record) {
    return sizeof record + textBytes(record.description) + textBytes(record.text2) + textBytes(record.text3) +
           textBytes(record.text4) + textBytes(record.text5);
}

// machineHostIDname_t: machineID, value1, value2, then host, machineName.

void archiveClass<machineHostIDname_t>::store(archiveWriter_t& ar, const machineHostIDname_t& record) {
    ar.writeInt32(record.machineID);
    ar.writeInt32(record.value1);
    ar.writeInt32(record.value2);
    ar.writeString(record.host);
    ar.writeString(record.machineName);
}

void archiveClass<machineHostIDname_t>::load(archiveReader_t& ar, machineHostIDname_t& record,
                                             uint16_t schema) {
    checkSchema(schema);
    record.machineID = ar.readInt32();
    record.value1 = ar.readInt32();
    record.value2 = ar.readInt32();
    record.host = ar.readString();
    record.machineName = ar.readString();
}

std::size_t archiveClass<machineHostIDname_t>::footprint(const machineHostIDname_t& record) {
    return sizeof record + textBytes(record.host) + textBytes(record.machineName);
}

// textMessage_t: user, host, text.

void archiveClass<textMessage_t>::store(archiveWriter_t& ar, const textMessage_t& record) {
    ar.writeString(record.user);
    ar.writeString(record.host);
    ar.writeString(record.text);
}

void archiveClass<textMessage_t>::load(archiveReader_t& ar, textMessage_t& record, uint16_t schema) {
    checkSchema(schema);
    record.user = ar.readString();
    record.host = ar.readString();
    record.text = ar.readString();
}

std::size_t archiveClass<textMessage_t>::footprint(const textMessage_t& record) {
    return sizeof record + textBytes(record.user) + textBytes(record.host) + textBytes(record.text);
}

// qvrHostModelInfo_t: nine int32, three 16-bit values, then the model name
// widened to a text. A longer name read back keeps its first 17 characters.

void archiveClass<qvrHostModelInfo_t>::store(archiveWriter_t& ar, const qvrHostModelInfo_t& record) {
    for (int32_t value : record.values)
        ar.writeInt32(value);
    for (uint16_t word : record.words)
        ar.writeUint16(word);
    ar.writeString(ansiToWide(record.modelName()));
}

void archiveClass<qvrHostModelInfo_t>::load(archiveReader_t& ar, qvrHostModelInfo_t& record,
                                            uint16_t schema) {
    checkSchema(schema);
    for (int32_t& value : record.values)
        value = ar.readInt32();
    for (uint16_t& word : record.words)
        word = ar.readUint16();
    record.setModelName(wideToAnsi(ar.readString()));
}

std::size_t archiveClass<qvrHostModelInfo_t>::footprint(const qvrHostModelInfo_t& record) {
    return sizeof record;
}
