/* C entry points of tesselcore for the C# binding. The request is passed as a
 * byte array holding UTF-8 JSON; the result arrives through the callback, on a
 * thread of the SDK, as a result code (0 = success) and a UTF-8 reply text. */
#ifndef EXPORTTESSELCOREASYNCUNICODE_H
#define EXPORTTESSELCOREASYNCUNICODE_H

#include <stddef.h>

#ifdef _WIN32
#define TESSEL_EXPORT extern "C" __declspec(dllexport)
#else
#define TESSEL_EXPORT extern "C"
#endif

typedef void (*exportTesselCallback)(unsigned short code, const char* reply);

TESSEL_EXPORT void tsInit(const wchar_t* workDir, const wchar_t* identity);
TESSEL_EXPORT void tsInitLogger(const wchar_t* logDir);
TESSEL_EXPORT void tsSetPlatform(int platform);

TESSEL_EXPORT void tsSearchTerminalAsync(const unsigned char* data, exportTesselCallback callback);
TESSEL_EXPORT void tsLoginAsync(const unsigned char* data, exportTesselCallback callback);
TESSEL_EXPORT void tsLogoutAsync(const unsigned char* data, exportTesselCallback callback);
TESSEL_EXPORT void tsChangePasswordAsync(const unsigned char* data, exportTesselCallback callback);
TESSEL_EXPORT void tsSetVolumeAsync(const unsigned char* data, exportTesselCallback callback);
TESSEL_EXPORT void tsGetVolumeAsync(const unsigned char* data, exportTesselCallback callback);
TESSEL_EXPORT void tsSetBrightnessAsync(const unsigned char* data, exportTesselCallback callback);
TESSEL_EXPORT void tsRebootAsync(const unsigned char* data, exportTesselCallback callback);
TESSEL_EXPORT void tsSetPageParamAsync(const unsigned char* data, exportTesselCallback callback);
TESSEL_EXPORT void tsGetPlayListAsync(const unsigned char* data, exportTesselCallback callback);

TESSEL_EXPORT void exportFuncAPIAsync(const unsigned char* name, const unsigned char* data,
                                      exportTesselCallback callback);

#endif
