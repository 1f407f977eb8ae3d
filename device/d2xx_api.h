/* D2XX driver interface as this program and the board simulator use it.
 *
 * Declared from the documented D2XX programming interface: the types, the
 * status and flag values and the entry-point signatures. On Linux FT_STATUS,
 * DWORD and ULONG are 32-bit unsigned and FT_HANDLE is an opaque pointer.
 * Plain C so that the simulator library can include it too. */
#ifndef RAVLEN_DEVICE_D2XX_API_H
#define RAVLEN_DEVICE_D2XX_API_H

#include <stdint.h>

#ifdef __cplusplus
extern "C" {
#endif

typedef uint32_t FT_STATUS;
typedef uint32_t DWORD;
typedef uint32_t ULONG;
typedef uint16_t USHORT;
typedef uint8_t UCHAR;
typedef uint32_t* LPDWORD;
typedef void* FT_HANDLE;
typedef void* PVOID;
typedef void* LPVOID;

enum {
    FT_OK = 0,
    FT_INVALID_HANDLE = 1,
    FT_DEVICE_NOT_FOUND = 2,
    FT_DEVICE_NOT_OPENED = 3,
    FT_IO_ERROR = 4,
    FT_INSUFFICIENT_RESOURCES = 5,
    FT_INVALID_PARAMETER = 6,
    FT_INVALID_BAUD_RATE = 7,
    FT_DEVICE_NOT_OPENED_FOR_ERASE = 8,
    FT_DEVICE_NOT_OPENED_FOR_WRITE = 9,
    FT_FAILED_TO_WRITE_DEVICE = 10,
    FT_EEPROM_READ_FAILED = 11,
    FT_EEPROM_WRITE_FAILED = 12,
    FT_EEPROM_ERASE_FAILED = 13,
    FT_EEPROM_NOT_PRESENT = 14,
    FT_EEPROM_NOT_PROGRAMMED = 15,
    FT_INVALID_ARGS = 16,
    FT_NOT_SUPPORTED = 17,
    FT_OTHER_ERROR = 18
};

#define FT_OPEN_BY_SERIAL_NUMBER 0x00000001u
#define FT_OPEN_BY_DESCRIPTION 0x00000002u
#define FT_OPEN_BY_LOCATION 0x00000004u
#define FT_LIST_NUMBER_ONLY 0x80000000u
#define FT_LIST_BY_INDEX 0x40000000u
#define FT_LIST_ALL 0x20000000u

#define FT_PURGE_RX 1u
#define FT_PURGE_TX 2u

#define FT_BITMODE_RESET 0x00u
#define FT_BITMODE_MPSSE 0x02u

/* Buffer size the listing calls write into for one description or serial. */
#define FT_LIST_STRING_BYTES 64

/* The EEPROM record is passed through untouched by this program; only its
 * address crosses the interface. */
typedef struct ft_program_data FT_PROGRAM_DATA;
typedef FT_PROGRAM_DATA* PFT_PROGRAM_DATA;

typedef FT_STATUS (*PtrToOpen)(int deviceNumber, FT_HANDLE* handle);
typedef FT_STATUS (*PtrToOpenEx)(PVOID arg1, DWORD flags, FT_HANDLE* handle);
typedef FT_STATUS (*PtrToClose)(FT_HANDLE handle);
typedef FT_STATUS (*PtrToRead)(FT_HANDLE handle, LPVOID buffer, DWORD bytesToRead,
                               LPDWORD bytesReturned);
typedef FT_STATUS (*PtrToWrite)(FT_HANDLE handle, LPVOID buffer, DWORD bytesToWrite,
                                LPDWORD bytesWritten);
typedef FT_STATUS (*PtrToResetDevice)(FT_HANDLE handle);
typedef FT_STATUS (*PtrToListDevices)(PVOID arg1, PVOID arg2, DWORD flags);
typedef FT_STATUS (*PtrToPurge)(FT_HANDLE handle, ULONG mask);
typedef FT_STATUS (*PtrToSetTimeouts)(FT_HANDLE handle, ULONG readTimeout, ULONG writeTimeout);
typedef FT_STATUS (*PtrToGetQueueStatus)(FT_HANDLE handle, DWORD* rxBytes);
typedef FT_STATUS (*PtrToSetBitMode)(FT_HANDLE handle, UCHAR mask, UCHAR mode);
typedef FT_STATUS (*PtrToSetLatencyTimer)(FT_HANDLE handle, UCHAR latency);
typedef FT_STATUS (*PtrToGetLatencyTimer)(FT_HANDLE handle, UCHAR* latency);
typedef FT_STATUS (*PtrToEE_Program)(FT_HANDLE handle, PFT_PROGRAM_DATA data);
typedef FT_STATUS (*PtrToEE_Read)(FT_HANDLE handle, PFT_PROGRAM_DATA data);

#ifdef __cplusplus
}
#endif

#endif
