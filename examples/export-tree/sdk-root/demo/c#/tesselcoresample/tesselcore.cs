using System;
using System.Runtime.InteropServices;

namespace tesselcoresample
{
    // Receives the result code (0 = success) and the UTF-8 JSON reply.
    [UnmanagedFunctionPointer(CallingConvention.Cdecl)]
    public delegate void exportTesselCallback(ushort code, IntPtr reply);

    // C# binding of tesselcore. The imports at the end of the class are
    // generated from exporttesselcoreasyncunicode.h by
    // "tessel-console -export ROOT"; everything else is written by hand.
    public static class tesselcore
    {
        [DllImport("tesselcore.dll", EntryPoint = "tsInit", CharSet = CharSet.Unicode, CallingConvention = CallingConvention.Cdecl)]
        public static extern void TsInit(string workDir, string identity);

        [DllImport("tesselcore.dll", EntryPoint = "tsSetPlatform", CharSet = CharSet.Unicode, CallingConvention = CallingConvention.Cdecl)]
        public static extern void TsSetPlatform(int platform);

        [DllImport("tesselcore.dll", EntryPoint = "tsSearchTerminalAsync", CharSet = CharSet.Unicode, CallingConvention = CallingConvention.Cdecl)]
        public static extern void TsSearchTerminalAsync(byte[] data, exportTesselCallback resultCallback);

        // Generated imports:
        //insert here
    }
}
