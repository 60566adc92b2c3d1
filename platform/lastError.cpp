#include "platform/lastError.h"

#include <cerrno>

namespace {

thread_local DWORD tlsLastError = 0;

struct errorText_t {
    DWORD code;
    const wchar_t* text;
};

// The system's own English descriptions, as the message table gives them.
constexpr errorText_t kTexts[] = {
    {0, L"The operation completed successfully.\r\n"},
    {1, L"Incorrect function.\r\n"},
    {2, L"The system cannot find the file specified.\r\n"},
    {3, L"The system cannot find the path specified.\r\n"},
    {4, L"The system cannot open the file.\r\n"},
    {5, L"Access is denied.\r\n"},
    {6, L"The handle is invalid.\r\n"},
    {8, L"Not enough memory resources are available to process this command.\r\n"},
    {15, L"The system cannot find the drive specified.\r\n"},
    {17, L"The system cannot move the file to a different disk drive.\r\n"},
    {18, L"There are no more files.\r\n"},
    {19, L"The media is write protected.\r\n"},
    {31, L"A device attached to the system is not functioning.\r\n"},
    {32, L"The process cannot access the file because it is being used by another process.\r\n"},
    {39, L"The disk is full.\r\n"},
    {80, L"The file exists.\r\n"},
    {87, L"The parameter is incorrect.\r\n"},
    {112, L"There is not enough space on the disk.\r\n"},
    {122, L"The data area passed to a system call is too small.\r\n"},
    {123, L"The filename, directory name, or volume label syntax is incorrect.\r\n"},
    {145, L"The directory is not empty.\r\n"},
    {161, L"The specified path is invalid.\r\n"},
    {183, L"Cannot create a file when that file already exists.\r\n"},
    {193, L"%1 is not a valid Win32 application.\r\n"},
    {206, L"The filename or extension is too long.\r\n"},
    {234, L"More data is available.\r\n"},
    {259, L"No more data is available.\r\n"},
    {267, L"The directory name is invalid.\r\n"},
    {1010, L"The configuration registry key is invalid.\r\n"},
    {1117, L"The request could not be performed because of an I/O device error.\r\n"},
    {1168, L"Element not found.\r\n"},
    {1921, L"The name of the file cannot be resolved by the system.\r\n"},
    {10004, L"A blocking operation was interrupted by a call to WSACancelBlockingCall.\r\n"},
    {10009, L"The file handle supplied is not valid.\r\n"},
    {10013, L"An attempt was made to access a socket in a way forbidden by its access permissions.\r\n"},
    {10014, L"The system detected an invalid pointer address in attempting to use a pointer argument in a call.\r\n"},
    {10022, L"An invalid argument was supplied.\r\n"},
    {10024, L"Too many open sockets.\r\n"},
    {10035, L"A non-blocking socket operation could not be completed immediately.\r\n"},
    {10036, L"A blocking operation is currently executing.\r\n"},
    {10037, L"An operation was attempted on a non-blocking socket that already had an operation in progress.\r\n"},
    {10038, L"An operation was attempted on something that is not a socket.\r\n"},
    {10040, L"A message sent on a datagram socket was larger than the internal message buffer or some other network limit, or the buffer used to receive a datagram into was smaller than the datagram itself.\r\n"},
    {10043, L"The requested protocol has not been configured into the system, or no implementation for it exists.\r\n"},
    {10045, L"The attempted operation is not supported for the type of object referenced.\r\n"},
    {10047, L"An address incompatible with the requested protocol was used.\r\n"},
    {10048, L"Only one usage of each socket address (protocol/network address/port) is normally permitted.\r\n"},
    {10049, L"The requested address is not valid in its context.\r\n"},
    {10050, L"A socket operation encountered a dead network.\r\n"},
    {10051, L"A socket operation was attempted to an unreachable network.\r\n"},
    {10052, L"The connection has been broken due to keep-alive activity detecting a failure while the operation was in progress.\r\n"},
    {10053, L"An established connection was aborted by the software in your host machine.\r\n"},
    {10054, L"An existing connection was forcibly closed by the remote host.\r\n"},
    {10055, L"An operation on a socket could not be performed because the system lacked sufficient buffer space or because a queue was full.\r\n"},
    {10056, L"A connect request was made on an already connected socket.\r\n"},
    {10057, L"A request to send or receive data was disallowed because the socket is not connected and (when sending on a datagram socket using a sendto call) no address was supplied.\r\n"},
    {10058, L"A request to send or receive data was disallowed because the socket had already been shut down in that direction with a previous shutdown call.\r\n"},
    {10060, L"A connection attempt failed because the connected party did not properly respond after a period of time, or established connection failed because connected host has failed to respond.\r\n"},
    {10061, L"No connection could be made because the target machine actively refused it.\r\n"},
    {10064, L"A socket operation failed because the destination host was down.\r\n"},
    {10065, L"A socket operation was attempted to an unreachable host.\r\n"},
    {11001, L"No such host is known.\r\n"},
    {11002, L"This is usually a temporary error during hostname resolution and means that the local server did not receive a response from an authoritative server.\r\n"},
    {11004, L"The requested name is valid, but no data of the requested type was found.\r\n"},
};

}  // namespace

DWORD getLastError() { return tlsLastError; }

void setLastError(DWORD code) { tlsLastError = code; }

DWORD errnoToSystemError(int err) {
    switch (err) {
    case 0: return ERROR_SUCCESS;
    case ENOENT: return ERROR_FILE_NOT_FOUND;
    case ENOTDIR: return ERROR_PATH_NOT_FOUND;
    case EACCES:
    case EPERM:
    case EISDIR: return ERROR_ACCESS_DENIED;
    case EROFS: return ERROR_WRITE_PROTECT;
    case EEXIST: return ERROR_ALREADY_EXISTS;
    case EBUSY:
    case ETXTBSY:
    case EWOULDBLOCK: return ERROR_SHARING_VIOLATION;
    case ENOSPC:
    case EDQUOT: return ERROR_DISK_FULL;
    case EMFILE:
    case ENFILE: return ERROR_TOO_MANY_OPEN_FILES;
    case EBADF: return ERROR_INVALID_HANDLE;
    case ENOMEM: return ERROR_NOT_ENOUGH_MEMORY;
    case ENAMETOOLONG: return ERROR_FILENAME_EXCED_RANGE;
    case EINVAL:
    case E2BIG: return ERROR_INVALID_PARAMETER;
    case ENOTEMPTY: return ERROR_DIR_NOT_EMPTY;
    case EXDEV: return 17;      // not the same device
    case ENOEXEC: return 193;   // not a valid program
    case ELOOP: return 1921;    // name cannot be resolved
    case EIO: return 1117;      // I/O device error
    default: return 31;         // a device is not functioning
    }
}

void setLastErrorFromErrno(int err) { tlsLastError = errnoToSystemError(err); }

std::wstring systemErrorText(DWORD code) {
    for (const auto& entry : kTexts) {
        if (entry.code == code) return entry.text;
    }
    // The message table has no text for it: the original call then fails and
    // leaves the text empty.
    return std::wstring();
}
