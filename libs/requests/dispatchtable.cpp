// The console's dispatch table: which SDK operation each operation name starts.
#include "requests/dispatchtable.h"

#include <unordered_map>
#include <utility>

namespace tessel {
namespace {

// An operation that takes only a callback, in the shape of the others.
template <void (*operation)(ResultCallback)> void withoutRequest(const char*, ResultCallback callback)
{
    operation(std::move(callback));
}

// The operation's name text and its address come from one token, so the two
// cannot disagree.
#define REQUEST(apiName, operation)                                                                          \
    DispatchEntry                                                                                            \
    {                                                                                                        \
        apiName, #operation, &TesselCoreAsync::operation                                                     \
    }
#define CALLBACK_ONLY(apiName, operation)                                                                    \
    DispatchEntry                                                                                            \
    {                                                                                                        \
        apiName, #operation, &withoutRequest<&TesselCoreAsync::operation>                                    \
    }

// clang-format off
std::vector<DispatchEntry> buildTable()
{
    // Most names start "ts" + the name without "()", first letter upper-cased,
    // + "Async"; getVolume() starts tsGetVolumeAsync.
    return {
        REQUEST("getHalvexConfigInfo()", tsGetHalvexConfigInfoAsync),
        REQUEST("setHalvexConfigInfo()", tsSetHalvexConfigInfoAsync),
        REQUEST("getBindPlayer()", tsGetBindPlayerAsync),
        REQUEST("setBindPlayer()", tsSetBindPlayerAsync),
        REQUEST("getCloudPlayerList()", tsGetCloudPlayerListAsync),
        REQUEST("getPlayerIdentifer()", tsGetPlayerIdentiferAsync),
        REQUEST("getNodeServerList()", tsGetNodeServerListAsync),
        REQUEST("addNodeServerList()", tsAddNodeServerListAsync),
        REQUEST("deleteNodeServerList()", tsDeleteNodeServerListAsync),
        REQUEST("changeNodeServerList()", tsChangeNodeServerListAsync),
        REQUEST("getVolume()", tsGetVolumeAsync),
        REQUEST("setVolume()", tsSetVolumeAsync),
        REQUEST("getCurrentTimeAndZone()", tsGetCurrentTimeAndZoneAsync),
        REQUEST("calibrateTime()", tsCalibrateTimeAsync),
        REQUEST("getColorTemperature()", tsGetColorTemperatureAsync),
        REQUEST("setColorTemperature()", tsSetColorTemperatureAsync),
        REQUEST("getNetTimingInfo()", tsGetNetTimingInfoAsync),
        REQUEST("setNetTimingInfo()", tsSetNetTimingInfoAsync),
        REQUEST("getNetTimingListInfo()", tsGetNetTimingListInfoAsync),
        REQUEST("addNetTimingInfo()", tsAddNetTimingInfoAsync),
        REQUEST("deleteNetTimingInfo()", tsDeleteNetTimingInfoAsync),
        REQUEST("updateNetTimingInfo()", tsUpdateNetTimingInfoAsync),
        REQUEST("setBrightnessAdjustMode()", tsSetBrightnessAdjustModeAsync),
        REQUEST("getBrightnessAdjustMode()", tsGetBrightnessAdjustModeAsync),
        REQUEST("setScreenBrightness()", tsSetScreenBrightnessAsync),
        REQUEST("getScreenBrightness()", tsGetScreenBrightnessAsync),
        REQUEST("getBrightnessPolicy()", tsGetBrightnessPolicyAsync),
        REQUEST("setBrightnessPolicy()", tsSetBrightnessPolicyAsync),
        REQUEST("setScreenPowerState()", tsSetScreenPowerStateAsync),
        REQUEST("getScreenPowerState()", tsGetScreenPowerStateAsync),
        REQUEST("setScreenPowerPolicy()", tsSetScreenPowerPolicyAsync),
        REQUEST("getScreenPowerPolicy()", tsGetScreenPowerPolicyAsync),
        REQUEST("getEnvironmentBrightness()", tsGetEnvironmentBrightnessAsync),
        REQUEST("getScreenUnitTemp()", tsGetScreenUnitTempAsync),
        REQUEST("GetScreenPowerPolicyFor0x99()", tsGetScreenPowerPolicyFor0x99Async),
        REQUEST("getScreenPowerManual0x99()", tsGetScreenPowerManual0x99Async),
        REQUEST("getAvailableStorageData()", tsGetAvailableStorageDataAsync),
        REQUEST("getCPUUsage()", tsGetCPUUsageAsync),
        REQUEST("getCPUTemp()", tsGetCPUTempAsync),
        REQUEST("getAvailableMemory()", tsGetAvailableMemoryAsync),
        REQUEST("getScreenAttribute()", tsGetScreenAttributeAsync),
        REQUEST("setScreenAttribute()", tsSetScreenAttributeAsync),
        REQUEST("getconfiguration()", tsGetconfigurationAsync),
        REQUEST("getFirmwareInfos()", tsGetFirmwareInfosAsync),
        REQUEST("getInstalledPackageVersions()", tsGetInstalledPackageVersionsAsync),
        REQUEST("getProductInfo()", tsGetProductInfoAsync),
        REQUEST("GetSpliceInfo()", tsGetSpliceInfoAsync),
        REQUEST("SetSpliceInfo()", tsSetSpliceInfoAsync),
        REQUEST("GetReBootTask()", tsGetReBootTaskAsync),
        REQUEST("SetReBootTask()", tsSetReBootTaskAsync),
        REQUEST("SetRecvCardFile()", tsSetRecvCardFileAsync),
        REQUEST("getProgramInfo()", tsGetProgramInfoAsync),
        REQUEST("deletePlayList()", tsDeletePlayListAsync),
        REQUEST("startPlay()", tsStartPlayAsync),
        REQUEST("pausePlay()", tsPausePlayAsync),
        REQUEST("resumePlay()", tsResumePlayAsync),
        REQUEST("stopPlay()", tsStopPlayAsync),
        REQUEST("downLoadFiles()", tsDownLoadFilesAsync),
        REQUEST("queryFileByType()", tsQueryFileByTypeAsync),
        REQUEST("setSyncPlay()", tsSetSyncPlayAsync),
        REQUEST("getSyncPlay()", tsGetSyncPlayAsync),
        REQUEST("setReBootWipeUserData()", tsSetReBootWipeUserDataAsync),
        REQUEST("clearAllMedias()", tsClearAllMediasAsync),
        REQUEST("getOTGUSBMode()", tsGetOTGUSBModeAsync),
        REQUEST("setOTGUSBMode()", tsSetOTGUSBModeAsync),
        REQUEST("setCurrentResolutio()", tsSetCurrentResolutioAsync),
        REQUEST("getCurrentResolution()", tsGetCurrentResolutionAsync),
        REQUEST("getSupportedResolution()", tsGetSupportedResolutionAsync),
        REQUEST("setCustomResolution()", tsSetCustomResolutionAsync),
        REQUEST("getHdmiOutputStatus()", tsGetHdmiOutputStatusAsync),
        REQUEST("setHdmiOutputStatus()", tsSetHdmiOutputStatusAsync),
        REQUEST("getAPNetwork()", tsGetAPNetworkAsync),
        REQUEST("setAPNetwork()", tsSetAPNetworkAsync),
        REQUEST("getVideoControlInfo()", tsGetVideoControlInfoAsync),
        REQUEST("setVideoControlInfo()", tsSetVideoControlInfoAsync),
        REQUEST("getWifiList()", tsGetWifiListAsync),
        REQUEST("connectWifiNetwork()", tsConnectWifiNetworkAsync),
        REQUEST("getWifiCurrentStatus()", tsGetWifiCurrentStatusAsync),
        REQUEST("disconnectWifiNetwork()", tsDisconnectWifiNetworkAsync),
        REQUEST("getWifiEnabled()", tsGetWifiEnabledAsync),
        REQUEST("setWifiEnabled()", tsSetWifiEnabledAsync),
        REQUEST("sendForgetWifiCommand()", tsSendForgetWifiCommandAsync),
        REQUEST("getMobileNetwork()", tsGetMobileNetworkAsync),
        REQUEST("setMobileNetwork()", tsSetMobileNetworkAsync),
        REQUEST("isMobileModuleExisted()", tsIsMobileModuleExistedAsync),
        REQUEST("getEthernetInfo()", tsGetEthernetInfoAsync),
        REQUEST("setEthernetInfo()", tsSetEthernetInfoAsync),
        REQUEST("GetRunningPackageInfo()", tsGetRunningPackageInfoAsync),
        REQUEST("ForceStopApp()", tsForceStopAppAsync),
        REQUEST("UninstallPackage()", tsUninstallPackageAsync),
        REQUEST("updateApp()", tsUpdateAppAsync),
        REQUEST("updateOS()", tsUpdateOSAsync),
        REQUEST("createProgram()", tsCreateProgramAsync),
        REQUEST("makeProgram()", tsMakeProgramAsync),
        REQUEST("addTpl()", tsAddTplAsync),
        REQUEST("setSystemTplInfo()", tsSetSystemTplInfoAsync),
        REQUEST("editTpl()", tsEditTplAsync),
        REQUEST("deleteTpl()", tsDeleteTplAsync),
        REQUEST("getProgram()", tsGetProgramAsync),
        REQUEST("deleteProgram()", tsDeleteProgramAsync),
        REQUEST("startTransferProgram()", tsStartTransferProgramAsync),
        REQUEST("stopProgramTransfer()", tsStopProgramTransferAsync),
        REQUEST("setTerminalInfo()", tsSetTerminalInfoAsync),
        REQUEST("delTerminalInfo()", tsDelTerminalInfoAsync),
        REQUEST("setUserInfo()", tsSetUserInfoAsync),
        REQUEST("getUserInfo()", tsGetUserInfoAsync),
        REQUEST("dataBaseMigration()", tsDataBaseMigrationAsync),
        REQUEST("getCustomerTpl()", tsGetCustomerTplAsync),
        REQUEST("uploadFeedbackInfo()", tsUploadFeedbackInfoAsync),
        REQUEST("setTimingPowerSwitchStatus()", tsSetTimingPowerSwitchStatusAsync),
        REQUEST("getTimingPowerSwitchStatus()", tsGetTimingPowerSwitchStatusAsync),
        REQUEST("getRealtimePowerSwitchStatus()", tsGetRealtimePowerSwitchStatusAsync),
        REQUEST("setManualPowerSwitchStatus()", tsSetManualPowerSwitchStatusAsync),
        CALLBACK_ONLY("logOut()", tsLogOutAsync),
        REQUEST("getManualPowerSwitchStatus()", tsGetManualPowerSwitchStatusAsync),
        REQUEST("getAPNInfo()", tsGetAPNInfoAsync),
        REQUEST("setAPNInfo()", tsSetAPNInfoAsync),
        REQUEST("setFlightMode()", tsSetFlightModeAsync),
        REQUEST("getFlightMode()", tsGetFlightModeAsync),
        REQUEST("get4GNetworkStatus()", tsGet4GNetworkStatusAsync),
        REQUEST("getAPNetworkOpenStatus()", tsGetAPNetworkOpenStatusAsync),
        REQUEST("setAPNetworkOpenStatus()", tsSetAPNetworkOpenStatusAsync),
        REQUEST("setWifiApStationSwitch()", tsSetWifiApStationSwitchAsync),
        REQUEST("getModuleInfo()", tsGetModuleInfoAsync),
        REQUEST("addCollector()", tsAddCollectorAsync),
        REQUEST("deleteCollector()", tsDeleteCollectorAsync),
        REQUEST("getSendCardMonitorInfo()", tsGetSendCardMonitorInfoAsync),
        REQUEST("getReceiverCountAndInfo()", tsGetReceiverCountAndInfoAsync),
        REQUEST("getMonitorInfoByReceiverIndex()", tsGetMonitorInfoByReceiverIndexAsync),
        REQUEST("setRotation()", tsSetRotationAsync),
        REQUEST("getRotation()", tsGetRotationAsync),
        REQUEST("getDisplayInfo()", tsGetDisplayInfoAsync),
        REQUEST("setTimeAndZone()", tsSetTimeAndZoneAsync),
        REQUEST("setVPNConnectInfo()", tsSetVPNConnectInfoAsync),
        REQUEST("getVPNConnectInfo()", tsGetVPNConnectInfoAsync),
        REQUEST("getIsUseDayLightTime()", tsGetIsUseDayLightTimeAsync),
        REQUEST("getPlaylogPath()", tsGetPlaylogPathAsync),
        REQUEST("getTerminalFont()", tsGetTerminalFontAsync),
        REQUEST("deleteFont()", tsDeleteFontAsync),
        REQUEST("updateFont()", tsUpdateFontAsync),
        REQUEST("setTimingVolume()", tsSetTimingVolumeAsync),
        REQUEST("getTimingVolume()", tsGetTimingVolumeAsync),
        REQUEST("getFileMD5()", tsGetFileMD5Async),
        REQUEST("getLoraInfo()", tsGetLoraInfoAsync),
        REQUEST("getPickerReceiver()", tsGetPickerReceiverAsync),
        REQUEST("setVideoEDID()", tsSetVideoEDIDAsync),
        REQUEST("getVideoEDID()", tsGetVideoEDIDAsync),
        REQUEST("getVideoSourceManualFor0x99()", tsGetVideoSourceManualFor0x99Async),
        REQUEST("getVideoSourcePolicyFor0x99()", tsGetVideoSourcePolicyFor0x99Async),
        REQUEST("setVideoSourceManualFor0x99()", tsSetVideoSourceManualFor0x99Async),
        REQUEST("setVideoSourcePolicyFor0x99()", tsSetVideoSourcePolicyFor0x99Async),
        REQUEST("getVolumeFor0x99()", tsGetVolumeFor0x99Async),
        REQUEST("setVolumeFor0x99()", tsSetVolumeFor0x99Async),
        REQUEST("setTimingVolumeFor0x99()", tsSetTimingVolumeFor0x99Async),
        REQUEST("getTimingVolumeFor0x99()", tsGetTimingVolumeFor0x99Async),
        REQUEST("setSupportSensorInfo()", tsSetSupportSensorInfoAsync),
        REQUEST("getSupportSensorInfo()", tsGetSupportSensorInfoAsync),
        REQUEST("setPowerInfoManual()", tsSetPowerInfoManualAsync),
        REQUEST("setPowerInfoPolicy()", tsSetPowerInfoPolicyAsync),
        REQUEST("getPowerInfoPolicy()", tsGetPowerInfoPolicyAsync),
        REQUEST("getPowerInfoStatus()", tsGetPowerInfoStatusAsync),
        REQUEST("setPowerMode()", tsSetPowerModeAsync),
        REQUEST("getPowerMode()", tsGetPowerModeAsync),
        REQUEST("setRelayPowerManual()", tsSetRelayPowerManualAsync),
        REQUEST("setRelayPowerPolicy()", tsSetRelayPowerPolicyAsync),
        REQUEST("getRelayPowerPolicy()", tsGetRelayPowerPolicyAsync),
        REQUEST("getRelayPowerStatus()", tsGetRelayPowerStatusAsync),
        REQUEST("setRelayPowerStatus()", tsSetRelayPowerStatusAsync),
        REQUEST("downloadTerminalLog()", tsDownloadTerminalLogAsync),
        REQUEST("uploadTerminalLog()", tsUploadTerminalLogAsync),
        REQUEST("cancelFunction()", tsCancelFunctionAsync),
        REQUEST("checkNetwork()", tsCheckNetworkAsync),
        REQUEST("downloadTerminalAllLog()", tsDownloadTerminalAllLogAsync),
        REQUEST("downloadTerminalPlayLog()", tsDownloadTerminalPlayLogAsync),
        REQUEST("getScreenDeviceInfo()", tsGetScreenDeviceInfoAsync),
        CALLBACK_ONLY("ping()", tsPingAsync),
        REQUEST("rsaEncode()", tsRsaEncodeAsync),
        REQUEST("rsaDecode()", tsRsaDecodeAsync),
        // Names whose operation does not follow from the name.
        REQUEST("setScreenPowerAdjustMode()", tsSetScreenPowerModeAsync),
        REQUEST("getScreenPowerAdjustMode()", tsGetScreenPowerModeAsync),
        REQUEST("setScreenPowerManual0x99()", tssetScreenPowerManual0x99Async),
        REQUEST("setScreenPowerPolicy0x99()", tssetScreenPowerPolicy0x99Async),
        REQUEST("startPlay1()", tsStartPlayAsync),
        REQUEST("AMGetInstalledPackageInfo()", tsGetInstalledPackageInfoAsync),
        REQUEST("updateAppVerify()", tsUpdateVerifyAsync),
        REQUEST("setPageParam()(图片、视频、GIF简化)", tsSetPageProgramAsync),
        REQUEST("setPageParam()(数字时钟简化)", tsSetPageProgramAsync),
        REQUEST("setPageParam()(文本简化)", tsSetPageProgramAsync),
        REQUEST("setPageParam()(图片)", tsSetPageProgramAsync),
        REQUEST("setPageParam()(RSS)", tsSetPageProgramAsync),
        REQUEST("setPageParam()(炫彩字)", tsSetPageProgramAsync),
        REQUEST("setPageParam()(环境监测)", tsSetPageProgramAsync),
        REQUEST("setPageParam()(计时器)", tsSetPageProgramAsync),
        REQUEST("setPageParam()(RSS简化)", tsSetPageProgramAsync),
        REQUEST("setPageParam()(炫彩字简化)", tsSetPageProgramAsync),
        REQUEST("setPageParam()(环境监测简化)", tsSetPageProgramAsync),
        REQUEST("setPageParam()(计时器简化)", tsSetPageProgramAsync),
        REQUEST("setPageParam()(网页)", tsSetPageProgramAsync),
        REQUEST("setPageParam()(流媒体)", tsSetPageProgramAsync),
        REQUEST("getPageParam()", tsGetProgramAsync),
        REQUEST("startTransferProgram1()", tsStartTransferProgramAsync),
        REQUEST("setPageParams()", tsSetPageProgramsAsync),
        REQUEST("setAudioMedioProgram()", tsSetAudioProgramAsync),
        REQUEST("StartUploadApk()", tsStartUploadApkCoreAsync),
        REQUEST("downloadScreenShot()", tsDownLoadScreenshotAsync),
        REQUEST("setManualBrightnessFor0x99()", tssetManualBrightnessFor0x99Async),
        REQUEST("getManualBrightnessFor0x99()", tsgetManualBrightnessFor0x99Async),
        REQUEST("setPolicyBrightnessFor0x99()", tssetPolicyBrightnessFor0x99Async),
        REQUEST("getPolicyBrightnessFor0x99()", tsgetPolicyBrightnessFor0x99Async),
        REQUEST("loginSkyrell()", tsLoginSkyrell),
        REQUEST("getVerifyCode()", tsGetVerifyCode),
        REQUEST("registerSkyrell()", tsRegisterSkyrell),
    };
}
// clang-format on

#undef REQUEST
#undef CALLBACK_ONLY

} // namespace

const std::vector<DispatchEntry>& dispatchTable()
{
    static const std::vector<DispatchEntry> table = buildTable();
    return table;
}

const DispatchEntry* findDispatchEntry(std::string_view apiName)
{
    // Whole-name, byte-for-byte lookup: no trimming, no case folding.
    static const std::unordered_map<std::string_view, const DispatchEntry*> index = [] {
        std::unordered_map<std::string_view, const DispatchEntry*> map;
        for (const DispatchEntry& entry : dispatchTable())
            map.emplace(entry.apiName, &entry);
        return map;
    }();
    const auto it = index.find(apiName);
    return it == index.end() ? nullptr : it->second;
}

} // namespace tessel
