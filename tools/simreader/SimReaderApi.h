/* Control functions of the simulated HID reader (simreader.dll). Plain C, so that a
   program can reach them with GetProcAddress without linking the DLL; the function
   pointer types below serve that use. All functions are thread-safe. */
#ifndef SIMREADER_API_H
#define SIMREADER_API_H

#include <windows.h>

#ifdef __cplusplus
extern "C" {
#endif

/* Faults a device can be given (SimReader_SetFaults), to exercise callers' error paths. */
#define SIMREADER_FAULT_PREPARSED_DATA 0x1u /* HidD_GetPreparsedData fails */
#define SIMREADER_FAULT_CAPS 0x2u           /* HidP_GetCaps reports invalid preparsed data */
#define SIMREADER_FAULT_ATTRIBUTES 0x4u     /* HidD_GetAttributes fails */
#define SIMREADER_FAULT_DETAIL_SIZE 0x8u    /* the interface detail asks for a buffer of almost 4 GB */

#define SIMREADER_MAX_PATH 128

typedef struct SimReaderDeviceInfo {
  unsigned id;
  unsigned short vendorId;
  unsigned short productId;
  unsigned short inputReportLength;
  unsigned faults;
  char path[SIMREADER_MAX_PATH]; /* the device interface path, a named pipe */
} SimReaderDeviceInfo;

typedef struct SimReaderStats {
  unsigned devices;
  unsigned deviceInfoLists; /* from SetupDiGetClassDevsA, not yet destroyed */
  unsigned preparsedData;   /* from HidD_GetPreparsedData, not yet freed */
} SimReaderStats;

/* Plugs a device in; it is enumerated after those already present. Returns its id, or 0
   (GetLastError tells why). */
unsigned SimReader_AddDevice(unsigned short vendorId, unsigned short productId, unsigned short inputReportLength);
/* Unplugs a device: it leaves the enumeration, a read pending on any of its handles
   completes with an error and every later read fails at once. */
BOOL SimReader_RemoveDevice(unsigned id);
/* One input report of `length` bytes (0 included) to every open handle of the device, as
   one read each. A handle whose reader has fallen far behind holds the caller up. */
BOOL SimReader_SendReport(unsigned id, const void* bytes, unsigned length);
/* A card report (17 bytes) for the number, scrambled with the shift byte as the reader does. */
BOOL SimReader_PresentCard(unsigned id, unsigned cardNumber, unsigned char shift);
/* The first open for reading after the device's next attributes query (the enumeration's
   open with access 0, which still succeeds) fails; the device is served again from the
   next SetupDiGetClassDevsA on. */
BOOL SimReader_FailNextListeningOpen(unsigned id);
/* Replaces the device's faults (SIMREADER_FAULT_*; 0 for none). */
BOOL SimReader_SetFaults(unsigned id, unsigned faults);
/* Handles open on the device now, or -1 for an unknown device. */
int SimReader_OpenHandleCount(unsigned id);
/* Waits until exactly `count` handles are open on the device; FALSE on time-out. */
BOOL SimReader_WaitForOpenHandles(unsigned id, int count, DWORD timeoutMilliseconds);
/* QueryPerformanceCounter just before the device's last report went to its first open
   handle (0 if none has yet): where a latency measurement starts. */
BOOL SimReader_GetLastWriteTime(unsigned id, LARGE_INTEGER* counter);
BOOL SimReader_GetDevice(unsigned id, SimReaderDeviceInfo* info);
/* Fills up to `capacity` entries in enumeration order; returns how many devices there are. */
unsigned SimReader_ListDevices(SimReaderDeviceInfo* infos, unsigned capacity);
void SimReader_GetStats(SimReaderStats* stats);

typedef unsigned (*SimReader_AddDevice_t)(unsigned short, unsigned short, unsigned short);
typedef BOOL (*SimReader_RemoveDevice_t)(unsigned);
typedef BOOL (*SimReader_SendReport_t)(unsigned, const void*, unsigned);
typedef BOOL (*SimReader_PresentCard_t)(unsigned, unsigned, unsigned char);
typedef BOOL (*SimReader_FailNextListeningOpen_t)(unsigned);
typedef BOOL (*SimReader_SetFaults_t)(unsigned, unsigned);
typedef int (*SimReader_OpenHandleCount_t)(unsigned);
typedef BOOL (*SimReader_WaitForOpenHandles_t)(unsigned, int, DWORD);
typedef BOOL (*SimReader_GetLastWriteTime_t)(unsigned, LARGE_INTEGER*);
typedef BOOL (*SimReader_GetDevice_t)(unsigned, SimReaderDeviceInfo*);
typedef unsigned (*SimReader_ListDevices_t)(SimReaderDeviceInfo*, unsigned);
typedef void (*SimReader_GetStats_t)(SimReaderStats*);

#ifdef __cplusplus
}
#endif

#endif
