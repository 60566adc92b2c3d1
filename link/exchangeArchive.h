// The archive layouts of the six exchange records (machine/fileSendParams.h,
// fileInfo.h, errorHistory.h, machineHostIDname.h, textMessage.h,
// qvrHostModelInfo.h): their class names, schema 1, and their fields in the
// order the machines server reads and writes them.
//
// archiveClass<T> is each record's run-time class: name, schema, and its
// serialisation (store writes the fields, load reads them in the same order;
// load throws bad schema for any schema other than 1).
//
// Typed object and list helpers over archiveWriter_t / archiveReader_t:
//   writeObject(ar, &record)  // or nullptr for "no object"
//   writeList(ar, records)    // 32-bit count, then the objects
//   std::unique_ptr<T> p = readObject<T>(ar);   // null for "no object"
//   readList(ar, records)     // appends; throws on a bad element (the
//                             // elements read before it stay)
// They throw archiveException_t; the message streams catch it.
#pragma once
#include "link/archiveReader.h"
#include "link/archiveWriter.h"
#include "machine/errorHistory.h"
#include "machine/fileInfo.h"
#include "machine/fileSendParams.h"
#include "machine/machineHostIDname.h"
#include "machine/qvrHostModelInfo.h"
#include "machine/textMessage.h"

#include <cstddef>
#include <cstdint>
#include <memory>
#include <typeindex>
#include <vector>

constexpr uint16_t exchangeRecordSchema = 1;

template <class T> struct archiveClass;

#define QVR_ARCHIVE_CLASS(type)                                                                              \
    template <> struct archiveClass<type> {                                                                  \
        static constexpr const char* name = #type;                                                           \
        static constexpr uint16_t schema = exchangeRecordSchema;                                             \
        static void store(archiveWriter_t& ar, const type& record);                                          \
        static void load(archiveReader_t& ar, type& record, uint16_t schema);                                \
        /* Memory a copy of the record takes, charged for back-references. */                                \
        static std::size_t footprint(const type& record);                                                    \
    }

QVR_ARCHIVE_CLASS(fileSendParams_t);
QVR_ARCHIVE_CLASS(fileInfo_t);
QVR_ARCHIVE_CLASS(errorHistory_t);
QVR_ARCHIVE_CLASS(machineHostIDname_t);
QVR_ARCHIVE_CLASS(textMessage_t);
QVR_ARCHIVE_CLASS(qvrHostModelInfo_t);

#undef QVR_ARCHIVE_CLASS

template <class T>
concept exchangeRecord = requires(archiveWriter_t& w, const T& r) {
    archiveClass<T>::store(w, r);
};

template <exchangeRecord T> void writeObject(archiveWriter_t& ar, const T* record) {
    if (record == nullptr) {
        ar.writeNullObject();
        return;
    }
    ar.beginObject(archiveClass<T>::name, archiveClass<T>::schema);
    archiveClass<T>::store(ar, *record);
}

template <exchangeRecord T> void writeList(archiveWriter_t& ar, const std::vector<T>& records) {
    ar.writeUint32(static_cast<uint32_t>(records.size()));
    for (const T& record : records)
        writeObject(ar, &record);
}

template <exchangeRecord T> std::unique_ptr<T> readObject(archiveReader_t& ar) {
    const auto header = ar.readObjectHeader(archiveClass<T>::name);
    switch (header.kind) {
    case archiveReader_t::objectHeader_t::none_e:
        return nullptr;
    case archiveReader_t::objectHeader_t::reference_e: {
        const T& kept = ar.objectAt<T>(header.index);
        ar.chargeCopy(archiveClass<T>::footprint(kept));
        return std::make_unique<T>(kept);
    }
    case archiveReader_t::objectHeader_t::newObject_e:
        break;
    }
    auto object = std::make_shared<T>();
    archiveClass<T>::load(ar, *object, header.schema);
    auto copy = std::make_unique<T>(*object);
    ar.keepObject(header.index, std::move(object), std::type_index(typeid(T)));
    return copy;
}

// Objects missing from the list (tag 0) are skipped.
template <exchangeRecord T> void readList(archiveReader_t& ar, std::vector<T>& records) {
    // Every element takes at least its 2-byte tag.
    const uint32_t count = ar.readCount(2);
    for (uint32_t i = 0; i < count; ++i) {
        std::unique_ptr<T> record = readObject<T>(ar);
        if (record)
            records.push_back(std::move(*record));
    }
}
