// The behaviour of every operation, as data. A get and its set share a
// setting key; the defaults below are what a terminal fresh from the factory
// would report.
#include "simulator/behaviour.h"

#include "simulator/handlers.h"

namespace tesselsim::detail {

#define GET(op, key)                                                                                         \
    Behaviour                                                                                                \
    {                                                                                                        \
#op, Kind::Get, Scope::Terminal, "", key, nullptr, nullptr                                           \
    }
#define SET(op, key, members)                                                                                \
    Behaviour                                                                                                \
    {                                                                                                        \
#op, Kind::Set, Scope::Terminal, members, key, nullptr, nullptr                                      \
    }
#define SET_WITH(op, key, members, json)                                                                     \
    Behaviour                                                                                                \
    {                                                                                                        \
#op, Kind::Set, Scope::Terminal, members, key, json, nullptr                                         \
    }
#define RESET(op, key, members)                                                                              \
    Behaviour                                                                                                \
    {                                                                                                        \
#op, Kind::Reset, Scope::Terminal, members, key, nullptr, nullptr                                    \
    }
#define REPLY(op, members, json)                                                                             \
    Behaviour                                                                                                \
    {                                                                                                        \
#op, Kind::Reply, Scope::Terminal, members, nullptr, json, nullptr                                   \
    }
#define PROGRESS(op, members, json)                                                                          \
    Behaviour                                                                                                \
    {                                                                                                        \
#op, Kind::Progress, Scope::Terminal, members, nullptr, json, nullptr                                \
    }
#define HOST_REPLY(op, members, json)                                                                        \
    Behaviour                                                                                                \
    {                                                                                                        \
#op, Kind::Reply, Scope::Host, members, nullptr, json, nullptr                                       \
    }
#define HOST_PROGRESS(op, members, json)                                                                     \
    Behaviour                                                                                                \
    {                                                                                                        \
#op, Kind::Progress, Scope::Host, members, nullptr, json, nullptr                                    \
    }
#define FREE_REPLY(op, json)                                                                                 \
    Behaviour                                                                                                \
    {                                                                                                        \
#op, Kind::Reply, Scope::Free, "", nullptr, json, nullptr                                            \
    }
#define CUSTOM(op, scope, handler)                                                                           \
    Behaviour                                                                                                \
    {                                                                                                        \
#op, Kind::Custom, Scope::scope, "", nullptr, nullptr, handler                                       \
    }

// clang-format off
const std::vector<SettingDefault>& settingDefaults()
{
    static const std::vector<SettingDefault> table = {
        {"timingPowerSwitch", R"({"type":"POWER","source":{"type":0,"platform":2},"data":[]})"},
        {"manualPowerSwitch", R"({"type":"POWER","source":{"type":0,"platform":2},"data":[{"powerIndex":0,"status":1}]})"},
        {"volume", R"({"ratio":50.0})"},
        {"timingVolume", R"({"type":"VOLUME","source":{"type":0,"platform":2},"enable":false,"conditions":[]})"},
        {"volume0x99", R"({"ratio":50.0})"},
        {"timingVolume0x99", R"({"enable":false,"conditions":[]})"},
        {"vpn", R"({"guid":"","taskAction":"DISCONNECT","source":{"type":0,"platform":2},"vpnInfo":{"type":"PPTP","server":"","username":""}})"},
        {"splice", R"({"enable":false,"rows":1,"columns":1,"screens":[]})"},
        {"sensor", R"({"isUpgradeSensorProgram":false,"sensorInfos":[]})"},
        {"powerInfoStatus", R"({"conditions":[],"portIndex":0,"connectIndex":0})"},
        {"powerInfoPolicy", R"({"conditions":[],"enable":false,"portIndex":0,"connectIndex":0})"},
        {"powerMode", R"({"mode":"MANUALLY"})"},
        {"relayPowerPolicy", R"({"cron":[],"powerIndex":0,"type":"RELAY","status":0,"startTime":"","endTime":"","enable":false})"},
        {"relayPowerStatus", R"({"relayStatus":[{"powerIndex":0,"status":1}]})"},
        {"videoControl", R"({"type":"VIDEO","source":{"type":0,"platform":2},"videoMode":0,"videoSource":0,"isScale":false,"offsetX":0,"offsetY":0,"conditions":[]})"},
        {"videoEDID", R"({"width":1920,"height":1080})"},
        {"videoSourceManual0x99", R"({"videoSource":0})"},
        {"videoSourcePolicy0x99", R"({"enable":false,"conditions":[]})"},
        {"userInfo", R"({"aliasName":"$name","registerAddress":""})"},
        {"brightnessAdjustMode", R"({"mode":"MANUALLY"})"},
        {"screenBrightness", R"({"ratio":80.0})"},
        {"brightnessPolicy", R"({"type":"BRIGHTNESS","source":{"type":0,"platform":2},"enable":false,"conditions":[],"segmentConfig":[],"timeStamp":0})"},
        {"manualBrightness0x99", R"({"ratio":80.0})"},
        {"policyBrightness0x99", R"({"enable":false,"conditions":[],"segmentConfig":[],"timeStamp":0})"},
        {"colorTemperature", R"({"colorTemperature":6500})"},
        {"screenPowerMode", R"({"mode":"MANUALLY"})"},
        {"screenPowerState", R"({"state":"OPEN"})"},
        {"screenPowerPolicy", R"({"type":"SCREENPOWER","source":{"type":0,"platform":2},"enable":false,"conditions":[]})"},
        {"screenPowerManual0x99", R"({"state":"OPEN"})"},
        {"screenPowerPolicy0x99", R"({"enable":false,"conditions":[]})"},
        {"playState", R"({"identifier":"","state":"STOPPED"})"},
        {"syncPlay", R"({"enable":false})"},
        {"otgUsbMode", R"({"value":0})"},
        {"resolution", R"({"displayMode":"HDMI","resolutionValue":"1920x1080@60"})"},
        {"customResolution", R"({"displayMode":"HDMI","width":"$width","height":"$height"})"},
        {"rebootTask", R"({"enable":false,"conditions":[]})"},
        {"hdmiOutput", R"({"value":1})"},
        {"pickerReceiver", R"({"pickers":[]})"},
        {"wifiEnabled", R"({"state":true})"},
        {"mobileNetwork", R"({"basicConfigs":{"enable":true,"roaming":false},"advanced":{"networkType":"AUTO"}})"},
        {"ethernet", R"({"ethernets":[{"dhcp":true,"dns":[],"gateWay":"192.168.1.1","ip":"$ip","mask":"255.255.255.0","name":"eth0","scopeId":-1}]})"},
        {"apNetwork", R"({"aliasName":"$sn","suffix":"","password":"","channelId":6})"},
        {"apn", R"({"APNs":[{"carrier":"Default","mcc":"460","mnc":"00","apn":"internet","isUsed":true}]})"},
        {"flightMode", R"({"enable":false})"},
        {"apNetworkOpen", R"({"enable":false})"},
        {"screenAttribute", R"({"screenAttributes":[{"x":0,"y":0,"width":"$width","height":"$height"}]})"},
        {"halvex", R"({"state":false,"url":"","username":""})"},
        {"timeAndZone", R"({"utcTimeMillis":1700000000000,"timeZone":"Asia/Shanghai","gmt":"GMT+08:00","isTimeOffsetEnable":false,"beginTime":"","endTime":"","timeOffsetValue":0})"},
        {"netTiming", R"({"enable":true,"ntp":{"enable":true,"server":"ntp1.example.com"},"lora":{"enable":false},"gps":{"enable":false},"compatibility":false})"},
        {"rotation", R"({"rotationValue":0})"},
    };
    return table;
}

const std::vector<Behaviour>& behaviours()
{
    static const std::vector<Behaviour> table = {
        // Searches, login and the host's own hold on a terminal.
        CUSTOM(tsSearchTerminalAsync, Free, searchBroadcast),
        CUSTOM(tsSearchAppointIpAsync, Free, searchAppointIp),
        CUSTOM(tsSearchRangeIpAsync, Host, searchRangeIp),
        CUSTOM(tsLoginAsync, Named, login),
        CUSTOM(tsLogoutAsync, Terminal, logout),
        CUSTOM(tsChangePassWordAsync, Named, changePassword),
        // Power of multifunction cards.
        SET(tsSetTimingPowerSwitchStatusAsync, "timingPowerSwitch", "taskInfo{}"),
        GET(tsGetTimingPowerSwitchStatusAsync, "timingPowerSwitch"),
        GET(tsGetRealtimePowerSwitchStatusAsync, "manualPowerSwitch"),
        GET(tsGetManualPowerSwitchStatusAsync, "manualPowerSwitch"),
        SET(tsSetManualPowerSwitchStatusAsync, "manualPowerSwitch", "data{}"),
        CUSTOM(tsLogOutAsync, Free, logOutAccount),
        // Volume.
        GET(tsGetVolumeAsync, "volume"),
        SET(tsSetVolumeAsync, "volume", "volumeInfo{}"),
        SET(tsSetTimingVolumeAsync, "timingVolume", "data{}"),
        GET(tsGetTimingVolumeAsync, "timingVolume"),
        GET(tsGetVolumeFor0x99Async, "volume0x99"),
        SET(tsSetVolumeFor0x99Async, "volume0x99", "*"),
        SET(tsSetTimingVolumeFor0x99Async, "timingVolume0x99", "*"),
        GET(tsGetTimingVolumeFor0x99Async, "timingVolume0x99"),
        // VPN.
        SET(tsSetVPNConnectInfoAsync, "vpn", "taskInfo{}"),
        GET(tsGetVPNConnectInfoAsync, "vpn"),
        // Applications.
        REPLY(tsGetInstalledPackageInfoAsync, "", R"({"packages":[{"packageName":"com.tessel.player","versionName":"3.2.1","versionCode":30201},{"packageName":"com.tessel.monitor","versionName":"1.4.0","versionCode":10400}]})"),
        REPLY(tsGetRunningPackageInfoAsync, "", R"({"packages":[{"packageName":"com.tessel.player","pid":1234,"foreground":true}]})"),
        REPLY(tsForceStopAppAsync, "requestInfo{}", R"({"result":"stopped"})"),
        REPLY(tsUninstallPackageAsync, "packageName", R"({"result":"uninstalled"})"),
        PROGRESS(tsStartUploadApkCoreAsync, "type", R"({"result":"uploaded"})"),
        // Play log, fonts.
        REPLY(tsGetPlaylogPathAsync, "", R"({"path":"/sdcard/tessel/playlog"})"),
        FREE_REPLY(tsPingAsync, R"({"message":"pong"})"),
        REPLY(tsGetTerminalFontAsync, "", R"({"fonts":[{"name":"Arial","fileName":"arial.ttf"},{"name":"宋体","fileName":"simsun.ttc"}]})"),
        REPLY(tsDeleteFontAsync, "taskInfo{}", R"({"result":"deleted"})"),
        PROGRESS(tsUpdateFontAsync, "localFontPath taskInfo{}", R"({"result":"updated"})"),
        // Splicing, sensors, LoRa.
        GET(tsGetSpliceInfoAsync, "splice"),
        SET(tsSetSpliceInfoAsync, "splice", "*"),
        GET(tsGetSupportSensorInfoAsync, "sensor"),
        SET(tsSetSupportSensorInfoAsync, "sensor", "taskInfo{}"),
        REPLY(tsGetLoraInfoAsync, "", R"({"enable":false,"frequency":470.3,"groupId":0})"),
        // Terminal power.
        SET(tsSetPowerInfoManualAsync, "powerInfoStatus", "taskInfo{}"),
        SET(tsSetPowerInfoPolicyAsync, "powerInfoPolicy", "taskInfo{}"),
        GET(tsGetPowerInfoPolicyAsync, "powerInfoPolicy"),
        GET(tsGetPowerInfoStatusAsync, "powerInfoStatus"),
        SET(tsSetPowerModeAsync, "powerMode", "taskInfo{}"),
        GET(tsGetPowerModeAsync, "powerMode"),
        REPLY(tsSetRelayPowerManualAsync, "taskInfo", R"({"result":"switched"})"),
        SET(tsSetRelayPowerPolicyAsync, "relayPowerPolicy", "taskInfo"),
        GET(tsGetRelayPowerPolicyAsync, "relayPowerPolicy"),
        GET(tsGetRelayPowerStatusAsync, "relayPowerStatus"),
        SET(tsSetRelayPowerStatusAsync, "relayPowerStatus", "taskInfo{}"),
        // Video source.
        GET(tsGetVideoControlInfoAsync, "videoControl"),
        SET(tsSetVideoControlInfoAsync, "videoControl", "videdSourceInfo{}"),
        SET(tsSetVideoEDIDAsync, "videoEDID", "taskInfo{}"),
        GET(tsGetVideoEDIDAsync, "videoEDID"),
        GET(tsGetVideoSourceManualFor0x99Async, "videoSourceManual0x99"),
        GET(tsGetVideoSourcePolicyFor0x99Async, "videoSourcePolicy0x99"),
        SET(tsSetVideoSourceManualFor0x99Async, "videoSourceManual0x99", "data{}"),
        SET(tsSetVideoSourcePolicyFor0x99Async, "videoSourcePolicy0x99", "data{}"),
        // Display user, SDK and terminal information.
        SET(tsSetUserInfoAsync, "userInfo", "userInfo{}"),
        GET(tsGetUserInfoAsync, "userInfo"),
        FREE_REPLY(tsGetconfigurationAsync, R"({"sdkVersion":"2.8.0","workDirectory":"C:/Users/Public/tesselcore","logLevel":"INFO","simulated":true})"),
        REPLY(tsGetFirmwareInfosAsync, "", R"({"firmwares":[{"name":"system","version":"9.0.3"},{"name":"fpga","version":"4.6.3.0"},{"name":"player","version":"3.2.1"}]})"),
        FREE_REPLY(tsGetInstalledPackageVersionsAsync, R"({"packages":[{"name":"tesselcore","version":"2.8.0"},{"name":"tesselcommon","version":"2.8.0"}]})"),
        FREE_REPLY(tsGetProductInfoAsync, R"({"productName":"TesselCore SDK","version":"2.8.0","build":"simulated"})"),
        REPLY(tsSetTerminalInfoAsync, "type value", R"({"result":"success"})"),
        REPLY(tsDelTerminalInfoAsync, "type", R"({"result":"deleted"})"),
        CUSTOM(tsLoginSkyrell, Host, loginAccount),
        CUSTOM(tsGetVerifyCode, Host, getVerifyCode),
        CUSTOM(tsRegisterSkyrell, Host, registerAccount),
        // Brightness.
        SET(tsSetBrightnessAdjustModeAsync, "brightnessAdjustMode", "brightnessAdjustModeInfo{}"),
        GET(tsGetBrightnessAdjustModeAsync, "brightnessAdjustMode"),
        SET(tsSetScreenBrightnessAsync, "screenBrightness", "screenBrightnessInfo{}"),
        GET(tsGetScreenBrightnessAsync, "screenBrightness"),
        SET(tsSetBrightnessPolicyAsync, "brightnessPolicy", "taskInfo{}"),
        GET(tsGetBrightnessPolicyAsync, "brightnessPolicy"),
        REPLY(tsGetEnvironmentBrightnessAsync, "", R"({"environmentBrightness":3500,"unit":"lux"})"),
        SET(tssetManualBrightnessFor0x99Async, "manualBrightness0x99", "data{}"),
        GET(tsgetManualBrightnessFor0x99Async, "manualBrightness0x99"),
        SET(tssetPolicyBrightnessFor0x99Async, "policyBrightness0x99", "taskInfo{}"),
        GET(tsgetPolicyBrightnessFor0x99Async, "policyBrightness0x99"),
        // Temperature.
        GET(tsGetColorTemperatureAsync, "colorTemperature"),
        SET(tsSetColorTemperatureAsync, "colorTemperature", "colorTemperatureInfo{}"),
        REPLY(tsGetScreenUnitTempAsync, "", R"({"temperature":38.5,"unit":"CELSIUS"})"),
        // Screen on and off.
        SET(tsSetScreenPowerModeAsync, "screenPowerMode", "taskInfo{}"),
        GET(tsGetScreenPowerModeAsync, "screenPowerMode"),
        SET(tsSetScreenPowerStateAsync, "screenPowerState", "taskInfo{}"),
        GET(tsGetScreenPowerStateAsync, "screenPowerState"),
        SET(tsSetScreenPowerPolicyAsync, "screenPowerPolicy", "taskInfo{}"),
        GET(tsGetScreenPowerPolicyAsync, "screenPowerPolicy"),
        SET(tssetScreenPowerManual0x99Async, "screenPowerManual0x99", "taskInfo{}"),
        SET(tssetScreenPowerPolicy0x99Async, "screenPowerPolicy0x99", "taskInfo{}"),
        GET(tsGetScreenPowerManual0x99Async, "screenPowerManual0x99"),
        GET(tsGetScreenPowerPolicyFor0x99Async, "screenPowerPolicy0x99"),
        // Files.
        REPLY(tsGetFileMD5Async, "url", R"({"md5":"9e107d9d372bb6826bd81d3542a419d6"})"),
        // Play lists: playing is a state that the play list reports.
        GET(tsGetProgramInfoAsync, "playState"),
        RESET(tsDeletePlayListAsync, "playState", ""),
        SET_WITH(tsStartPlayAsync, "playState", "identifier", R"({"state":"PLAYING"})"),
        SET_WITH(tsPausePlayAsync, "playState", "identifier", R"({"state":"PAUSED"})"),
        SET_WITH(tsResumePlayAsync, "playState", "identifier", R"({"state":"PLAYING"})"),
        SET_WITH(tsStopPlayAsync, "playState", "identifier", R"({"state":"STOPPED"})"),
        // Advanced features.
        SET(tsSetSyncPlayAsync, "syncPlay", "enable"),
        GET(tsGetSyncPlayAsync, "syncPlay"),
        REPLY(tsSetReBootWipeUserDataAsync, "setInfo{}", R"({"result":"rebooting"})"),
        REPLY(tsClearAllMediasAsync, "", R"({"result":"cleared"})"),
        GET(tsGetOTGUSBModeAsync, "otgUsbMode"),
        SET(tsSetOTGUSBModeAsync, "otgUsbMode", "modeInfo{}"),
        SET(tsSetCurrentResolutioAsync, "resolution", "resolutionInfo{}"),
        GET(tsGetCurrentResolutionAsync, "resolution"),
        REPLY(tsGetSupportedResolutionAsync, "", R"({"displayMode":"HDMI","resolutions":["1920x1080@60","1280x720@60","3840x2160@30"]})"),
        SET(tsSetCustomResolutionAsync, "customResolution", "info{}"),
        GET(tsGetReBootTaskAsync, "rebootTask"),
        SET(tsSetReBootTaskAsync, "rebootTask", "*"),
        GET(tsGetHdmiOutputStatusAsync, "hdmiOutput"),
        SET(tsSetHdmiOutputStatusAsync, "hdmiOutput", "info{}"),
        // Data collectors.
        GET(tsGetPickerReceiverAsync, "pickerReceiver"),
        SET(tsAddCollectorAsync, "pickerReceiver", "info{}"),
        RESET(tsDeleteCollectorAsync, "pickerReceiver", "info{}"),
        // Upgrade.
        PROGRESS(tsUpdateAppAsync, "filePath", R"({"result":"updated"})"),
        PROGRESS(tsUpdateOSAsync, "filePath", R"({"result":"updated","rebootRequired":true})"),
        REPLY(tsUpdateVerifyAsync, "verifyInfo{}", R"({"verified":true})"),
        // Network.
        REPLY(tsGetWifiListAsync, "", R"({"wifis":[{"ssid":"Office","level":-45,"security":"WPA2"},{"ssid":"Guest","level":-70,"security":"NONE"}]})"),
        REPLY(tsConnectWifiNetworkAsync, "taskInfo{}", R"({"result":"connected"})"),
        REPLY(tsGetWifiCurrentStatusAsync, "", R"({"ssid":"Office","state":"CONNECTED","level":-45})"),
        REPLY(tsDisconnectWifiNetworkAsync, "taskInfo{}", R"({"result":"disconnected"})"),
        GET(tsGetWifiEnabledAsync, "wifiEnabled"),
        SET(tsSetWifiEnabledAsync, "wifiEnabled", "taskInfo{}"),
        REPLY(tsSendForgetWifiCommandAsync, "taskInfo{}", R"({"result":"forgotten"})"),
        GET(tsGetMobileNetworkAsync, "mobileNetwork"),
        SET(tsSetMobileNetworkAsync, "mobileNetwork", "mobileData{}"),
        REPLY(tsIsMobileModuleExistedAsync, "", R"({"existed":true})"),
        GET(tsGetEthernetInfoAsync, "ethernet"),
        SET(tsSetEthernetInfoAsync, "ethernet", "taskInfo{}"),
        GET(tsGetAPNetworkAsync, "apNetwork"),
        SET(tsSetAPNetworkAsync, "apNetwork", "aliasName suffix password channelId"),
        GET(tsGetAPNInfoAsync, "apn"),
        SET(tsSetAPNInfoAsync, "apn", "APNs"),
        SET(tsSetFlightModeAsync, "flightMode", "enable"),
        GET(tsGetFlightModeAsync, "flightMode"),
        REPLY(tsGet4GNetworkStatusAsync, "", R"({"state":"CONNECTED","networkType":"LTE","signalLevel":4})"),
        GET(tsGetAPNetworkOpenStatusAsync, "apNetworkOpen"),
        SET(tsSetAPNetworkOpenStatusAsync, "apNetworkOpen", "enable"),
        REPLY(tsSetWifiApStationSwitchAsync, "taskInfo{}", R"({"result":"switched"})"),
        REPLY(tsGetModuleInfoAsync, "", R"({"modules":[{"type":"4G","existed":true},{"type":"WIFI","existed":true},{"type":"GPS","existed":false}]})"),
        // Screen configuration.
        PROGRESS(tsSetRecvCardFileAsync, "", R"({"result":"sent"})"),
        GET(tsGetScreenAttributeAsync, "screenAttribute"),
        SET(tsSetScreenAttributeAsync, "screenAttribute", "screenAttribute{}"),
        // Remote care, cloud.
        GET(tsGetHalvexConfigInfoAsync, "halvex"),
        SET(tsSetHalvexConfigInfoAsync, "halvex", "requestInfo{}"),
        CUSTOM(tsGetBindPlayerAsync, Terminal, getBindPlayer),
        CUSTOM(tsSetBindPlayerAsync, Terminal, setBindPlayer),
        CUSTOM(tsGetCloudPlayerListAsync, Host, getCloudPlayerList),
        FREE_REPLY(tsGetPlayerIdentiferAsync, R"({"playerIdentifier":"TESSEL-SIM-HOST-0001"})"),
        // Monitoring.
        REPLY(tsGetAvailableStorageDataAsync, "", R"({"total":32768,"available":20480,"unit":"MB"})"),
        REPLY(tsGetCPUUsageAsync, "", R"({"usage":12.5})"),
        REPLY(tsGetCPUTempAsync, "", R"({"temperature":46.0,"unit":"CELSIUS"})"),
        REPLY(tsGetAvailableMemoryAsync, "", R"({"total":4096,"available":2560,"unit":"MB"})"),
        REPLY(tsGetSendCardMonitorInfoAsync, "", R"({"sendCards":[{"index":0,"status":"OK","portCount":4}]})"),
        REPLY(tsGetReceiverCountAndInfoAsync, "", R"({"count":2,"receivers":[{"index":0,"status":"OK"},{"index":1,"status":"OK"}]})"),
        // Time and other screen items.
        GET(tsGetCurrentTimeAndZoneAsync, "timeAndZone"),
        REPLY(tsCalibrateTimeAsync, "currentTime timeZoneInfo{}", R"({"result":"calibrated"})"),
        GET(tsGetNetTimingInfoAsync, "netTiming"),
        SET(tsSetNetTimingInfoAsync, "netTiming", "TimingInfo{}"),
        CUSTOM(tsGetNetTimingListInfoAsync, Host, getTimeServers),
        CUSTOM(tsAddNetTimingInfoAsync, Host, addTimeServer),
        CUSTOM(tsDeleteNetTimingInfoAsync, Host, deleteTimeServer),
        CUSTOM(tsUpdateNetTimingInfoAsync, Host, updateTimeServer),
        PROGRESS(tsDownLoadScreenshotAsync, "downLoadDirectoryPath pictureName", R"({"result":"saved"})"),
        REPLY(tsGetIsUseDayLightTimeAsync, "", R"({"isUseDayLightTime":false})"),
        REPLY(tsGetMonitorInfoByReceiverIndexAsync, "info{}", R"({"receivers":[{"index":0,"temperature":41.0,"voltage":5.0,"status":"OK"}]})"),
        SET(tsSetRotationAsync, "rotation", "taskInfo{}"),
        GET(tsGetRotationAsync, "rotation"),
        REPLY(tsGetDisplayInfoAsync, "", R"({"name":"$name","width":"$width","height":"$height","ip":"$ip"})"),
        SET(tsSetTimeAndZoneAsync, "timeAndZone", "taskInfo{}"),
        // Program editor: programs and templates live in the SDK, not on a terminal.
        CUSTOM(tsCreateProgramAsync, Host, createProgram),
        CUSTOM(tsMakeProgramAsync, Host, makeProgram),
        CUSTOM(tsSetPageProgramAsync, Host, setPageProgram),
        CUSTOM(tsGetProgramAsync, Host, getProgram),
        CUSTOM(tsAddTplAsync, Host, addTemplate),
        CUSTOM(tsEditTplAsync, Host, editTemplate),
        CUSTOM(tsDeleteTplAsync, Host, deleteTemplate),
        CUSTOM(tsSetSystemTplInfoAsync, Host, setSystemTemplate),
        CUSTOM(tsGetCustomerTplAsync, Host, getCustomerTemplates),
        CUSTOM(tsDeleteProgramAsync, Host, deleteProgram),
        PROGRESS(tsStartTransferProgramAsync, "sendProgramFilePaths{} programName", R"({"result":"transferred"})"),
        FREE_REPLY(tsStopProgramTransferAsync, R"({"result":"stopped"})"),
        CUSTOM(tsSetPageProgramsAsync, Host, setPagePrograms),
        CUSTOM(tsSetAudioProgramAsync, Host, setAudioProgram),
        // Node servers, feedback, migration, assistance.
        CUSTOM(tsGetNodeServerListAsync, Host, getNodeServers),
        CUSTOM(tsAddNodeServerListAsync, Host, addNodeServer),
        CUSTOM(tsDeleteNodeServerListAsync, Host, deleteNodeServer),
        CUSTOM(tsChangeNodeServerListAsync, Host, changeNodeServer),
        REPLY(tsUploadFeedbackInfoAsync, "description", R"({"result":"submitted"})"),
        HOST_REPLY(tsDataBaseMigrationAsync, "data{}", R"({"result":"migrated"})"),
        HOST_PROGRESS(tsDownLoadFilesAsync, "", R"({"result":"downloaded"})"),
        HOST_REPLY(tsQueryFileByTypeAsync, "", R"({"files":[]})"),
        REPLY(tsGetScreenDeviceInfoAsync, "", R"({"deviceType":"LED player","width":"$width","height":"$height"})"),
        CUSTOM(tsRsaEncodeAsync, Host, rsaEncode),
        CUSTOM(tsRsaDecodeAsync, Host, rsaDecode),
        // Terminal logs.
        PROGRESS(tsDownloadTerminalLogAsync, "fileName filePath", R"({"result":"downloaded"})"),
        PROGRESS(tsUploadTerminalLogAsync, "fileName filePath", R"({"result":"uploaded"})"),
        REPLY(tsCancelFunctionAsync, "type", R"({"result":"cancelled"})"),
        FREE_REPLY(tsCheckNetworkAsync, R"({"network":"connected"})"),
        PROGRESS(tsDownloadTerminalAllLogAsync, "fileName filePath", R"({"result":"downloaded"})"),
        PROGRESS(tsDownloadTerminalPlayLogAsync, "fileName filePath", R"({"result":"downloaded"})"),
    };
    return table;
}

const std::vector<MemberRange>& memberRanges()
{
    static const std::vector<MemberRange> table = {
        {"tsSetVolumeAsync", "/volumeInfo/ratio", 0, 100},
        {"tsSetScreenBrightnessAsync", "/screenBrightnessInfo/ratio", 0, 100},
        {"tssetManualBrightnessFor0x99Async", "/data/ratio", 0, 100},
        {"tsSetColorTemperatureAsync", "/colorTemperatureInfo/colorTemperature", 1000, 20000},
        {"tsSetRotationAsync", "/taskInfo/rotationValue", 0, 270},
    };
    return table;
}
// clang-format on

} // namespace tesselsim::detail
