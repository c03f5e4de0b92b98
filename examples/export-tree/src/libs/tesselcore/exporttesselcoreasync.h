/* C entry points of tesselcore for the Java binding (JNA). Every request is a
 * UTF-8 JSON text; the result arrives through the callback, on a thread of the
 * SDK, as a result code (0 = success) and a UTF-8 reply text. */
#ifndef EXPORTTESSELCOREASYNC_H
#define EXPORTTESSELCOREASYNC_H

#ifdef _WIN32
#define TESSEL_EXPORT extern "C" __declspec(dllexport)
#else
#define TESSEL_EXPORT extern "C"
#endif

typedef void (*exportTesselCallback)(unsigned short code, const char* reply);

/* Set-up: declared by hand in the bindings. */
TESSEL_EXPORT void tsInit(const char* workDir, const char* identity);
TESSEL_EXPORT void tsSetPlatform(int platform);
TESSEL_EXPORT int tsVersion(void);

/* Discovery. */
TESSEL_EXPORT void tsSearchTerminalAsync(const char* data, exportTesselCallback callback);
TESSEL_EXPORT void tsSearchTerminalAsyncByIp(const char* data, exportTesselCallback callback);

/* Session. */
TESSEL_EXPORT void tsLoginAsync(const char* data, exportTesselCallback callback);
TESSEL_EXPORT void tsLogoutAsync(const char* data, exportTesselCallback callback);
TESSEL_EXPORT void tsChangePasswordAsync(const char* data, exportTesselCallback callback);

/* Terminal settings. */
TESSEL_EXPORT void tsSetVolumeAsync(const char* data, exportTesselCallback callback);
TESSEL_EXPORT void tsGetVolumeAsync(const char* data, exportTesselCallback callback);
TESSEL_EXPORT void tsSetBrightnessAsync(const char* data, exportTesselCallback callback);
TESSEL_EXPORT void tsRebootAsync(const char* data, exportTesselCallback callback);

/* Programs. */
TESSEL_EXPORT void tsSetPageParamAsync(const char* data, exportTesselCallback callback);
TESSEL_EXPORT void tsGetPlayListAsync(const char* data, exportTesselCallback callback);

/* Generic entry by operation name. */
TESSEL_EXPORT void exportFuncAPIAsync(const char* name, const char* data, exportTesselCallback callback);

#endif
