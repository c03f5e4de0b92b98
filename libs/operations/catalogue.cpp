#include "operations/catalogue.h"

#include <array>

namespace tessel {
namespace {

// Modules whose lists make up the ALL list, in order. The upgrade module (30)
// comes after module 36, not in its index place.
constexpr std::array<int, 46> allListOrder = {1,  2,  3,  4,  5,  6,  7,  8,  9,  10, 11, 12, 13, 14, 15, 16,
                                              17, 18, 19, 20, 21, 22, 23, 24, 25, 26, 27, 28, 29, 31, 32, 33,
                                              34, 35, 36, 30, 37, 38, 39, 40, 41, 42, 43, 44, 45, 46};

} // namespace

const std::vector<ApiModule>& apiModules()
{
    // clang-format off
    static const std::vector<ApiModule> modules = {
        /* 0 */ {"ALL(所有接口)", {}},
        /* 1 */ {"诊断模块(Diagnosis)", {
            "待开发",
        }},
        /* 2 */ {"多功能卡电源管理（PowerManager）", {
            "setTimingPowerSwitchStatus()",
            "getTimingPowerSwitchStatus()",
            "getRealtimePowerSwitchStatus()",
            "getManualPowerSwitchStatus()",
            "setManualPowerSwitchStatus()",
            "logOut()",
        }},
        /* 3 */ {"音量调节（VolumeController）", {
            "getVolume()",
            "setVolume()",
            "setTimingVolume()",
            "getTimingVolume()",
            "getVolumeFor0x99()",
            "setVolumeFor0x99()",
            "setTimingVolumeFor0x99()",
            "getTimingVolumeFor0x99()",
        }},
        /* 4 */ {"VPN连接管理（VPNConnection）", {
            "setVPNConnectInfo()",
            "getVPNConnectInfo()",
            "VPNManagerFor0x99()",
        }},
        /* 5 */ {"APP管理（AppManager）", {
            "AMGetInstalledPackageInfo()",
            "GetRunningPackageInfo()",
            "ForceStopApp()",
            "UninstallPackage()",
            "StartUploadApk()",
            "runApp()",
            "getThirdPackageinfos()",
            "getTerminalService()",
            "startService()",
            "stopService()",
        }},
        /* 6 */ {"播放日志（PlayLogger）", {
            "getPlaylogPath()",
            "ping()",
        }},
        /* 7 */ {"字体（PlayFont）", {
            "getPlayFontUploadPath()",
            "getTerminalFont()",
            "deleteFont()",
            "updateFont()",
        }},
        /* 8 */ {"生产功能测试", {
            "待开发",
        }},
        /* 9 */ {"多屏拼接（LEDSplicer）", {
            "GetSpliceInfo()",
            "SetSpliceInfo()",
        }},
        /* 10 */ {"日志管理（RunningLogger）", {
            "getLogPath()",
            "getRunningLogPath()",
        }},
        /* 11 */ {"一键自检（SelfInspection）", {
            "待开发",
        }},
        /* 12 */ {"IP音频（IPAudio）", {
            "setAudioPlayRealTime()",
            "setAudioPlayPolicy()",
            "getAudioPlayPolicy()",
        }},
        /* 13 */ {"定点投放（FixedPointDelivery）", {
            "待开发",
        }},
        /* 14 */ {"紧急插播（EmergencyIntercut）", {
            "待开发",
        }},
        /* 15 */ {"传感器子板（Sensor）", {
            "getSupportSensorInfo()",
            "setSupportSensorInfo()",
        }},
        /* 16 */ {"外投调节（ExternalDelivery）", {
            "setInfraRedConfig()",
            "getInfraRedConfig()",
        }},
        /* 17 */ {"射频管理（RadioFrequency）", {
            "getLoraInfo()",
            "setManalLightSync()",
        }},
        /* 18 */ {"终端电源控制（PowerController）", {
            "setManualSolidPower()",
            "getSolidPowerStatus()",
            "setPowerInfoManual()",
            "setPowerInfoPolicy()",
            "getPowerInfoPolicy()",
            "getPowerInfoStatus()",
            "setPowerMode()",
            "getPowerMode()",
            "setTimingSolidPower()",
            "getTimingSolidPower()",
            "setSolidPowerStatus()",
            "isExistSolidPower()",
            "setRelayPowerManual()",
            "setRelayPowerPolicy()",
            "getRelayPowerPolicy()",
            "getRelayPowerStatus()",
            "setRelayPowerStatus()",
        }},
        /* 19 */ {"视频源控制（VideoSourceController）", {
            "getVideoControlInfo()",
            "setVideoControlInfo()",
            "setVideoEDID()",
            "getVideoEDID()",
            "getVideoSourceManualFor0x99()",
            "getVideoSourcePolicyFor0x99()",
            "setVideoSourceManualFor0x99()",
            "setVideoSourcePolicyFor0x99()",
        }},
        /* 20 */ {"显示屏用户信息（UserManager）", {
            "setUserInfo()",
            "getUserInfo()",
        }},
        /* 21 */ {"搜索连接登录（Login）", {
            "getconfiguration()",
            "getFirmwareInfos()",
            "getInstalledPackageVersions()",
            "getProductInfo()",
            "setTerminalInfo()",
            "delTerminalInfo()",
            "loginSkyrell()",
            "getVerifyCode()",
            "registerSkyrell()",
        }},
        /* 22 */ {"显示屏亮度&环境亮度（LightController）", {
            "setBrightnessAdjustMode()",
            "getBrightnessAdjustMode()",
            "setScreenBrightness()",
            "getScreenBrightness()",
            "setBrightnessPolicy()",
            "getBrightnessPolicy()",
            "getEnvironmentBrightness()",
            "setManualBrightnessFor0x99()",
            "getManualBrightnessFor0x99()",
            "setPolicyBrightnessFor0x99()",
            "getPolicyBrightnessFor0x99()",
        }},
        /* 23 */ {"温度&色温（TemperatureController）", {
            "getColorTemperature()",
            "setColorTemperature()",
            "getScreenUnitTemp()",
        }},
        /* 24 */ {"开关屏管理（SwitchController）", {
            "setScreenPowerAdjustMode()",
            "getScreenPowerAdjustMode()",
            "setScreenPowerState()",
            "getScreenPowerState()",
            "setScreenPowerPolicy()",
            "getScreenPowerPolicy()",
            "setScreenPowerManual0x99()",
            "setScreenPowerPolicy0x99()",
            "getScreenPowerManual0x99()",
            "GetScreenPowerPolicyFor0x99()",
        }},
        /* 25 */ {"系统文件管理（FileManager）", {
            "getFileMD5()",
            "isFileExisted()",
            "deleteFile()",
        }},
        /* 26 */ {"清单管理（ListManager）", {
            "getProgramInfo()",
            "deletePlayList()",
            "startPlay()",
            "startPlay1()",
            "pausePlay()",
            "resumePlay()",
            "stopPlay()",
            "playListTransferError()",
        }},
        /* 27 */ {"高级特性（AdvancedFeatures）", {
            "setSyncPlay()",
            "getSyncPlay()",
            "setReBootWipeUserData()",
            "clearAllMedias()",
            "getOTGUSBMode()",
            "setOTGUSBMode()",
            "setCurrentResolutio()",
            "getCurrentResolution()",
            "getSupportedResolution()",
            "GetReBootTask()",
            "SetReBootTask()",
            "getHdmiOutputStatus()",
            "setHdmiOutputStatus()",
            "setCustomResolution()",
            "setImmediatelyReboot()",
            "setTimingReboot()",
            "getTimingReboot()",
            "clearAllMediasFor0x99()",
            "setSyncPlayFor0x99()",
            "getPolicySourceOutMode()",
            "setPolicySourceOutMode()",
        }},
        /* 28 */ {"采集器接收器（AcquisitionReceiver）", {
            "getPickerReceiver()",
            "addCollector()",
            "deleteCollector()",
        }},
        /* 29 */ {"U盘相关协议（USBVPlay）", {
            "getUSBAuthentic()",
            "setUSBAuthentic()",
        }},
        /* 30 */ {"升级（UpgradeManager）", {
            "updateApp()",
            "updateOS()",
            "updateAppVerify()",
        }},
        /* 31 */ {"网络配置（NetworkConfigurator）", {
            "getWifiList()",
            "connectWifiNetwork()",
            "getWifiCurrentStatus()",
            "disconnectWifiNetwork()",
            "getWifiEnabled()",
            "setWifiEnabled()",
            "sendForgetWifiCommand()",
            "getMobileNetwork()",
            "setMobileNetwork()",
            "isMobileModuleExisted()",
            "getEthernetInfo()",
            "setEthernetInfo()",
            "getAPNetwork()",
            "setAPNetwork()",
            "getAPNInfo()",
            "setAPNInfo()",
            "setFlightMode()",
            "getFlightMode()",
            "get4GNetworkStatus()",
            "getAPNetworkOpenStatus()",
            "setAPNetworkOpenStatus()",
            "getNetworkCheck()",
            "setWifiApStationSwitch()",
            "getModuleInfo()",
            "setNetworkCheck()",
        }},
        /* 32 */ {"配屏（ScreenConfiguration）", {
            "SetRecvCardFile()",
            "getScreenAttribute()",
            "setScreenAttribute()",
            "setScreenAttributeSDK()",
        }},
        /* 33 */ {"halvex配置（HalvexConfigurator）", {
            "getHalvexConfigInfo()",
            "setHalvexConfigInfo()",
        }},
        /* 34 */ {"终端cloud配置（CloudConfigurator）", {
            "getBindPlayer()",
            "setBindPlayer()",
            "getCloudPlayerList()",
            "getPlayerIdentifer()",
        }},
        /* 35 */ {"监控（MonitorConfigurator）", {
            "getAvailableStorageData()",
            "getCPUUsage()",
            "getCPUTemp()",
            "getAvailableMemory()",
            "getSendCardMonitorInfo()",
            "getReceiverCountAndInfo()",
        }},
        /* 36 */ {"屏体其他项（ScreenManager）", {
            "getCurrentTimeAndZone()",
            "calibrateTime()",
            "getNetTimingInfo()",
            "setNetTimingInfo()",
            "getNetTimingListInfo()",
            "addNetTimingInfo()",
            "deleteNetTimingInfo()",
            "updateNetTimingInfo()",
            "downloadScreenShot()",
            "getIsUseDayLightTime()",
            "getSendCardMonitorInfo()",
            "getReceiverCountAndInfo()",
            "getMonitorInfoByReceiverIndex()",
            "setRotation()",
            "getRotation()",
            "getDisplayInfo()",
            "setTimeAndZone()",
        }},
        /* 37 */ {"其他/节目编辑（ProgramEditor）", {
            "createProgram()",
            "makeProgram()",
            "addPage()",
            "setPageParam()(图片)",
            "setPageParam()(图片、视频、GIF简化)",
            "setPageParam()(数字时钟简化)",
            "setPageParam()(文本简化)",
            "setPageParam()(RSS)",
            "setPageParam()(RSS简化)",
            "setPageParam()(炫彩字)",
            "setPageParam()(炫彩字简化)",
            "setPageParam()(环境监测)",
            "setPageParam()(环境监测简化)",
            "setPageParam()(计时器)",
            "setPageParam()(计时器简化)",
            "setPageParam()(网页)",
            "setPageParam()(流媒体)",
            "getPageParam()",
            "deletePage()",
            "addWidget()",
            "setWidgetParam()",
            "getWidgetParam()",
            "deleteWidget()",
            "addTpl()",
            "editTpl()",
            "deleteTpl()",
            "setSystemTplInfo()",
            "getCustomerTpl()",
            "getProgram()",
            "deleteProgram()",
            "startTransferProgram()",
            "startTransferProgram1()",
            "stopProgramTransfer()",
            "setPageParams()",
            "setAudioMedioProgram()",
        }},
        /* 38 */ {"其他/对时服务器列表(VerfityTime)", {
            "getNetTimingListInfo()",
            "addNetTimingInfo()",
            "deleteNetTimingInfo()",
            "updateNetTimingInfo()",
        }},
        /* 39 */ {"其他/节点服务器列表（NodeServerList）", {
            "getCloudPlayerList()",
            "getNodeServerList()",
            "addNodeServerList()",
            "deleteNodeServerList()",
            "changeNodeServerList()",
        }},
        /* 40 */ {"其他/用户反馈(Feedback）", {
            "uploadFeedbackInfo()",
        }},
        /* 41 */ {"其他/数据迁移(DatabaseMigration)", {
            "dataBaseMigration()",
        }},
        /* 42 */ {"其他/TesselCore帮助（TesselCoreAssist）", {
            "downLoadFiles()",
            "queryFileByType()",
            "getScreenDeviceInfo()",
            "rsaEncode()",
            "rsaDecode()",
        }},
        /* 43 */ {"其他/绑定优化（BindingManager）", {
            "待开发initBindingManagerAPI",
        }},
        /* 44 */ {"其他/获取时区列表（TimeZoneList）", {
            "待开发initTimeZoneListAPI",
        }},
        /* 45 */ {"批量小工具", {
            "batchLogin()",
            "batchSetRecvCardFile()",
            "batchSetScreenAttribute()",
        }},
        /* 46 */ {"终端日志上传", {
            "downloadTerminalLog()",
            "uploadTerminalLog()",
            "cancelFunction()",
            "checkNetwork()",
            "downloadTerminalAllLog()",
            "downloadTerminalPlayLog()",
        }},
    };
    // clang-format on
    return modules;
}

std::vector<std::string> apiNames(int moduleIndex)
{
    const std::vector<ApiModule>& modules = apiModules();
    std::vector<std::string> names;
    if (moduleIndex < 0 || moduleIndex >= static_cast<int>(modules.size()))
        return names;
    if (moduleIndex != 0) {
        const std::vector<const char*>& list = modules[static_cast<std::size_t>(moduleIndex)].names;
        names.assign(list.begin(), list.end());
        return names;
    }
    for (int index : allListOrder) {
        const std::vector<const char*>& list = modules[static_cast<std::size_t>(index)].names;
        names.insert(names.end(), list.begin(), list.end());
    }
    return names;
}

} // namespace tessel
