package com.corvane.tessel;

import com.sun.jna.Callback;
import com.sun.jna.Library;
import com.sun.jna.Native;

/**
 * Java binding of tesselcore. The asynchronous operations at the end of the
 * interface are generated from exporttesselcoreasync.h by
 * "tessel-console -export ROOT"; everything else is written by hand.
 */
public interface tesselcore extends Library {
    tesselcore INSTANCE = Native.load("tesselcore", tesselcore.class);

    /** Receives the result code (0 = success) and the JSON reply. */
    interface CallBack extends Callback {
        void invoke(short code, String reply);
    }

    void tsInit(String workDir, String identity);

    void tsSetPlatform(int platform);

    void tsSearchTerminalAsync(String data, CallBack callBack);

    void exportFuncAPIAsync(String name, String data, CallBack callBack);

    // Generated declarations:
    void tsGetPlayListAsync(String data, CallBack callBack);
    void tsSetPageParamAsync(String data, CallBack callBack);
    void tsRebootAsync(String data, CallBack callBack);
    void tsSetBrightnessAsync(String data, CallBack callBack);
    void tsGetVolumeAsync(String data, CallBack callBack);
    void tsSetVolumeAsync(String data, CallBack callBack);
    void tsChangePasswordAsync(String data, CallBack callBack);
    void tsLogoutAsync(String data, CallBack callBack);
    void tsLoginAsync(String data, CallBack callBack);
    
}
