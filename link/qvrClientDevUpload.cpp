// The client device's two ways of handing a model file to the machines
// server: by its path ("LOCALSLICEFILE", the way the build page uses), and
// by its bytes in blocks over the connection ("REMOTEQVRFILE", then one
// "SENDQVRFILEBLOCK" each time the server asks, then "FINISHQVRFILESEND").
// The socket keeps the upload itself (link/qvrClientSocket.h); the device
// only builds the requests under its lock and queues them.
#include "link/qvrClientDev.h"

#include "platform/files.h"

#include <cstdint>
#include <limits>

void qvrClientDev_t::sendModelFile(const std::wstring& path, std::int32_t kind, std::int32_t flag,
                                   const std::wstring& name, std::int32_t copies, std::int32_t lastLayer,
                                   std::int32_t a, std::int32_t b, const std::wstring& displayName)
{
    // The record comes with its pending word set and its file-size word 0.
    fileSendParams_t record(path, kind, flag, name, copies, lastLayer, a, b, displayName);
    lockGuard_t guard(lock);
    // A second hand-over before the device thread took the first replaces it.
    pendingFile_ = std::move(record);
    wake();
}

void qvrClientDev_t::sendPendingUpload()
{
    {
        // Asked at every pass: the message buffer is made only when needed.
        lockGuard_t guard(lock);
        if (pendingFile_.integer(fileSendParams_t::pending_e) == 0)
            return;
    }
    packetBuffer_t request(qvrClientSocket_t::messageCapacity);
    {
        lockGuard_t guard(lock);
        if (pendingFile_.integer(fileSendParams_t::pending_e) == 0)
            return;
        pendingFile_.setInteger(fileSendParams_t::pending_e, 0);
        if (!qvrClientSocket_t::buildLocalSliceFile(request, pendingFile_))
            return;
    }
    queueRequestBuffer(request);
}

void qvrClientDev_t::sendRemoteModelFile(const fileSendParams_t& record)
{
    // The upload goes by the record's file-size word; whoever asked may not
    // have filled it, and a stale value would cut the file short or never
    // end it. The local file's own size is the one that counts.
    fileSendParams_t upload(record);
    fileEntry_t file;
    if (!::getFileInfo(upload.name, file) || file.isFolder)
        return;  // nothing to upload: nothing is sent
    // The protocol's offsets and the size word are 32-bit.
    if (file.size > static_cast<std::uint64_t>(std::numeric_limits<std::int32_t>::max()))
        return;
    upload.setInteger(qvrClientSocket_t::uploadFileSizeInteger, static_cast<std::int32_t>(file.size));

    packetBuffer_t request(qvrClientSocket_t::messageCapacity);
    {
        lockGuard_t guard(lock);
        if (socket_ == nullptr || !socket_->buildRemoteFile(request, upload))
            return;
    }
    queueRequestBuffer(request);
}

void qvrClientDev_t::sendNextFileBlock()
{
    packetBuffer_t request(qvrClientSocket_t::messageCapacity);
    {
        lockGuard_t guard(lock);
        if (socket_ == nullptr || !socket_->buildNextFileBlock(request))
            return;
    }
    queueRequestBuffer(request);
}
