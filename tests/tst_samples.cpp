// The sample table: counts, the texts quoted exactly, the keys of the
// structured samples, shared texts and the serials used.

#include "operations/catalogue.h"
#include "operations/samples.h"

#include <QRegularExpression>
#include <QtTest>

#include <nlohmann/json.hpp>

#include <set>
#include <string>
#include <vector>

using namespace tessel;

namespace {

struct TextRow
{
    const char* name;
    const char* text;
};

struct NameRow
{
    const char* name;
    const char* other;
};

// Samples whose text is fixed to the byte.
// clang-format off
const TextRow exactRows[] = {
        {"getTimingPowerSwitchStatus()", R"({"sn":"BZSA07194A0049999716"})"},
        {"getRealtimePowerSwitchStatus()", R"({"sn":"BZSA07194A0049999716"})"},
        {"getManualPowerSwitchStatus()", R"({"sn":"BZSA07194A0049999716"})"},
        {"getVPNConnectInfo()", R"({"sn":"BZSA07194A0049999716"})"},
        {"AMGetInstalledPackageInfo()", R"({"sn":"BZSA07194A0049999716"})"},
        {"GetRunningPackageInfo()", R"({"sn":"BZSA07194A0049999716"})"},
        {"getThirdPackageinfos()", R"({"sn":"BZSA07194A0049999716"})"},
        {"getTerminalService()", R"({"sn":"BZSA07194A0049999716"})"},
        {"getPlaylogPath()", R"({"sn":"BZSA07194A0049999716"})"},
        {"getPlayFontUploadPath()", R"({"sn":"BZSA07194A0049999716"})"},
        {"getTerminalFont()", R"({"sn":"BZSA07194A0049999716"})"},
        {"getAudioPlayPolicy()", R"({"sn":"BZSA07194A0049999716"})"},
        {"getLoraInfo()", R"({"sn":"BZSA07194A0049999716"})"},
        {"setManalLightSync()", R"({"sn":"BZSA07194A0049999716"})"},
        {"getSolidPowerStatus()", R"({"sn":"BZSA07194A0049999716"})"},
        {"getPowerInfoPolicy()", R"({"sn":"BZSA07194A0049999716"})"},
        {"getPowerInfoStatus()", R"({"sn":"BZSA07194A0049999716"})"},
        {"getPowerMode()", R"({"sn":"BZSA07194A0049999716"})"},
        {"getTimingSolidPower()", R"({"sn":"BZSA07194A0049999716"})"},
        {"isExistSolidPower()", R"({"sn":"BZSA07194A0049999716"})"},
        {"getRelayPowerPolicy()", R"({"sn":"BZSA07194A0049999716"})"},
        {"getRelayPowerStatus()", R"({"sn":"BZSA07194A0049999716"})"},
        {"getVideoControlInfo()", R"({"sn":"BZSA07194A0049999716"})"},
        {"getVideoEDID()", R"({"sn":"BZSA07194A0049999716"})"},
        {"getUserInfo()", R"({"sn":"BZSA07194A0049999716"})"},
        {"getBrightnessAdjustMode()", R"({"sn":"BZSA07194A0049999716"})"},
        {"getScreenBrightness()", R"({"sn":"BZSA07194A0049999716"})"},
        {"getEnvironmentBrightness()", R"({"sn":"BZSA07194A0049999716"})"},
        {"getManualBrightnessFor0x99()", R"({"sn":"BZSA07194A0049999716"})"},
        {"getScreenUnitTemp()", R"({"sn":"BZSA07194A0049999716"})"},
        {"getScreenPowerAdjustMode()", R"({"sn":"BZSA07194A0049999716"})"},
        {"getScreenPowerState()", R"({"sn":"BZSA07194A0049999716"})"},
        {"getScreenPowerPolicy()", R"({"sn":"BZSA07194A0049999716"})"},
        {"getProgramInfo()", R"({"sn":"BZSA07194A0049999716"})"},
        {"deletePlayList()", R"({"sn":"BZSA07194A0049999716"})"},
        {"playListTransferError()", R"({"sn":"BZSA07194A0049999716"})"},
        {"getSyncPlay()", R"({"sn":"BZSA07194A0049999716"})"},
        {"clearAllMedias()", R"({"sn":"BZSA07194A0049999716"})"},
        {"getOTGUSBMode()", R"({"sn":"BZSA07194A0049999716"})"},
        {"getHdmiOutputStatus()", R"({"sn":"BZSA07194A0049999716"})"},
        {"setImmediatelyReboot()", R"({"sn":"BZSA07194A0049999716"})"},
        {"getTimingReboot()", R"({"sn":"BZSA07194A0049999716"})"},
        {"getPolicySourceOutMode()", R"({"sn":"BZSA07194A0049999716"})"},
        {"getPickerReceiver()", R"({"sn":"BZSA07194A0049999716"})"},
        {"getUSBAuthentic()", R"({"sn":"BZSA07194A0049999716"})"},
        {"getWifiList()", R"({"sn":"BZSA07194A0049999716"})"},
        {"getWifiCurrentStatus()", R"({"sn":"BZSA07194A0049999716"})"},
        {"getWifiEnabled()", R"({"sn":"BZSA07194A0049999716"})"},
        {"isMobileModuleExisted()", R"({"sn":"BZSA07194A0049999716"})"},
        {"getEthernetInfo()", R"({"sn":"BZSA07194A0049999716"})"},
        {"getAPNetwork()", R"({"sn":"BZSA07194A0049999716"})"},
        {"getAPNInfo()", R"({"sn":"BZSA07194A0049999716"})"},
        {"getFlightMode()", R"({"sn":"BZSA07194A0049999716"})"},
        {"get4GNetworkStatus()", R"({"sn":"BZSA07194A0049999716"})"},
        {"getAPNetworkOpenStatus()", R"({"sn":"BZSA07194A0049999716"})"},
        {"getNetworkCheck()", R"({"sn":"BZSA07194A0049999716"})"},
        {"getScreenAttribute()", R"({"sn":"BZSA07194A0049999716"})"},
        {"getBindPlayer()", R"({"sn":"BZSA07194A0049999716"})"},
        {"getSendCardMonitorInfo()", R"({"sn":"BZSA07194A0049999716"})"},
        {"getReceiverCountAndInfo()", R"({"sn":"BZSA07194A0049999716"})"},
        {"getNetTimingInfo()", R"({"sn":"BZSA07194A0049999716"})"},
        {"getRotation()", R"({"sn":"BZSA07194A0049999716"})"},
        {"getDisplayInfo()", R"({"sn":"BZSA07194A0049999716"})"},
        {"getScreenDeviceInfo()", R"({"sn":"BZSA07194A0049999716"})"},
        {"getVolume()", R"({"sn":"BZWA17422J1X20000093"})"},
        {"getColorTemperature()", R"({"sn":"BZWA17422J1X20000093"})"},
        {"getCurrentTimeAndZone()", R"({"sn":"BZWA17422J1X20000093"})"},
        {"getTimingVolume()", R"({"sn":"BZSA79353N1310006847"})"},
        {"getLogPath()", R"({"sn":"BZSA79353N1310006847"})"},
        {"getRunningLogPath()", R"({"sn":"BZSA79353N1310006847"})"},
        {"getVideoSourceManualFor0x99()", R"({"sn":"BZVA28407N3X20008006"})"},
        {"getVideoSourcePolicyFor0x99()", R"({"sn":"BZVA28407N3X20008006"})"},
        {"getAvailableStorageData()", R"({"sn":"BZVA28407N3X20008006"})"},
        {"getCPUUsage()", R"({"sn":"BZVA28407N3X20008006"})"},
        {"getCPUTemp()", R"({"sn":"BZVA28407N3X20008006"})"},
        {"getAvailableMemory()", R"({"sn":"BZVA28407N3X20008006"})"},
        {"getFirmwareInfos()", R"({"sn":"W9A5HAJW"})"},
        {"getPolicyBrightnessFor0x99()", R"({"sn":"BZSA07313J0350000997","data":null})"},
        {"getScreenPowerManual0x99()", R"({"sn":"W9A5HAJW","data":null})"},
        {"GetScreenPowerPolicyFor0x99()", R"({"sn":"W9A5HAJW","data":null})"},
        {"getModuleInfo()", R"({"sn":"BZSA07201A0010000183"})"},
        {"logOut()", ""},
        {"getPlayerIdentifer()", ""},
        {"getProgram()", ""},
        {"stopProgramTransfer()", ""},
        {"ping()", ""},
        {"getVerifyCode()", ""},
        {"registerSkyrell()", ""},
        {"rsaEncode()", ""},
        {"rsaDecode()", ""},
        {"checkNetwork()", ""},
        {"getconfiguration()", "getconfiguration data"},
        {"getInstalledPackageVersions()", "getInstalledPackageVersions data"},
        {"getProductInfo()", "getProductInfo data"},
        {"setVolume()", R"({"sn":"BZWA17422J1X20000093","volumeInfo" :{"ratio":60.0}})"},
        {"setScreenPowerPolicy()", R"({"sn":"W9A5HAJW","taskInfo":{"type":"SCREENPOWER","source":{"type":0,"platform":2},"enable":true,"conditions":[{"cron":["0 15 10 ? * *","0 0 12 * * ?"],"action":"OPEN","enable":true},{"cron":["0 15 10 ? * *","0 0 12 * * ?"],"action":"CLOSE","enable":true}]}})"},
        {"setTimingReboot()", R"({"sn":"123456789","data":{"conditions":[{"cron":["0 15 10 ? * *"],"enable":true},{"cron":["0 0 18 ? * *"],"enable":true}]}})"},
        {"setEthernetInfo()", R"({"sn":"123465","taskInfo":{"ethernets":[{"dhcp":true,"dns":["172.16.0.201","172.16.0.202"],"gateWay":"172.16.10.1","ip":"172.16.10.106","mask":"255.255.255.0","name":"eth0","scopeId":-1}]}})"},
        {"getFileMD5()", R"({"sn":"BZWA17422J1X20000093","url":"C:/Users/Public/tesselcore/log/TesselCore.log"})"},
        {"isFileExisted()", R"({"sn":"BZWA17422J1X20000093","url":"C:/Users/Public/tesselcore/log/TesselCore.log"})"},
        {"deleteFile()", R"({"sn":"BZWA17422J1X20000093","url":"C:/Users/Public/tesselcore/log/TesselCore.log"})"},
        {"downloadTerminalLog()", R"({"sn":"BZSA79353N1310006847","fileName":"test_upload","filePath":"E:/test"})"},
        {"downloadTerminalAllLog()", R"({"sn":"BZSA79353N1310006847","fileName":"test_upload","filePath":"E:/test"})"},
        {"downloadTerminalPlayLog()", R"({"sn":"BZSA79353N1310006847","fileName":"test_upload","filePath":"E:/test"})"},
        {"setManualSolidPower()", R"({"sn":4,"data":[{"type":"屏体电源","powerIndex":-2,"status":1}]})"},
        {"addPage()", R"({"programID":1,"tplID":1})"},
        {"getPageParam()", R"({"programID":1,"pageID":1})"},
        {"deletePage()", R"({"programID":1,"pageID":1})"},
        {"getNetTimingListInfo()", R"({"lang":"en"})"},
        {"getNodeServerList()", R"({"lang":"en"})"},
        {"setAPNetworkOpenStatus()", R"({"sn":"BZSA17313J0820001562","enable":false true})"},
        {"setHdmiOutputStatus()", R"({"sn":"BZSA07194A0049999716","info":{"value":1})"},
        {"setPageParam()(文本简化)", R"({"programID":1,"pageID":1,"pageInfo":{"name":"节目01","widgetContainers":[{"contents":{"widgets":[{"constraints":[{"cron":["0 0 0 ? * 1,2,3,4,5,6,7"],"endTime":"4017-12-30T23:59:59Z+8:00","startTime":"1970-01-01T00:00:00Z+8:00"}],"duration":5000,"metadata":{"content":{"autoPaging":true,"backgroundMusic":{"duration":0,"isTextSync":false},"displayStyle":{"scrollAttributes":{"effects":{"animation":"MARQUEE_LEFT","speed":3}},"type":"SCROLL"},"paragraphs":[{"backgroundColor":"#00000000","horizontalAlignment":"CENTER","letterSpacing":0,"lineSpacing":0,"lines":[{"segs":[{"content":"测试测试测"}]}],"verticalAlignment":"CENTER"}],"textAttributes":[{"backgroundColor":"#ff000000","attributes":{"font":{"family":["Arial"],"isUnderline":false,"size":20,"style":"NORMAL"},"letterSpacing":0,"textColor":"#ffff0000"}}]}},"name":"文本","type":"ARCH_TEXT"}]},"id":1,"name":"widgetContainers1"}]}})"},
};

// Top-level keys in order; the keys of a nested object (or of each object of
// a nested array) in braces.
const TextRow keyRows[] = {
        {"setTimingPowerSwitchStatus()", R"("sn"; "taskInfo" {"type", "source", "data"})"},
        {"setManualPowerSwitchStatus()", R"("sn"; "data" {"type", "source", "data"})"},
        {"setVolume()", R"("sn"; "volumeInfo" {"ratio"})"},
        {"setTimingVolume()", R"("sn"; "data" {"type", "source", "enable", "conditions"})"},
        {"setVPNConnectInfo()", R"("sn"; "taskInfo" {"guid", "taskAction", "source", "vpnInfo"})"},
        {"VPNManagerFor0x99()", R"("sn"; "action"; "data" {"guid", "taskAction", "source", "vpnInfo"})"},
        {"ForceStopApp()", R"("sn"; "requestInfo" {"packageName"})"},
        {"UninstallPackage()", R"("sn"; "packageName")"},
        {"StartUploadApk()", R"("sn"; "type")"},
        {"runApp()", R"("sn"; "requestInfo" {"packageName"})"},
        {"startService()", R"("sn"; "taskInfo" {"serviceName"})"},
        {"deleteFont()", R"("sn"; "taskInfo" {"fonts"})"},
        {"updateFont()", R"("sn"; "localFontPath"; "taskInfo" {"fonts"})"},
        {"setAudioPlayRealTime()", R"("sn"; "taskInfo" {"operate", "volume", "mediaList", "policy"})"},
        {"setAudioPlayPolicy()", R"("sn"; "taskInfo" {"callback", "conditions"})"},
        {"getSupportSensorInfo()", R"("sn"; "taskInfo" {"isUpgradeSensorProgram", "sensorInfos"})"},
        {"setSupportSensorInfo()", R"("sn"; "taskInfo" {"isUpgradeSensorProgram", "sensorInfos"})"},
        {"setManualSolidPower()", R"("sn"; "data" {"type", "powerIndex", "status"})"},
        {"setPowerInfoManual()", R"("sn"; "taskInfo" {"conditions", "portIndex", "connectIndex"})"},
        {"setPowerInfoPolicy()", R"("sn"; "taskInfo" {"conditions", "enable", "portIndex", "connectIndex"})"},
        {"setPowerMode()", R"("sn"; "taskInfo" {"mode"})"},
        {"setTimingSolidPower()", R"("sn"; "data" {"cron", "powerIndex", "type", "status", "startTime", "endTime", "enable"})"},
        {"setSolidPowerStatus()", R"("sn"; "data" {"relayStatus"})"},
        {"setRelayPowerManual()", R"("sn"; "taskInfo" {"type", "powerIndex", "status"})"},
        {"setRelayPowerPolicy()", R"("sn"; "taskInfo" {"cron", "powerIndex", "type", "status", "startTime", "endTime", "enable"})"},
        {"setRelayPowerStatus()", R"("sn"; "taskInfo" {"relayStatus"})"},
        {"setVideoControlInfo()", R"("sn"; "videdSourceInfo" {"type", "source", "videoMode", "videoSource", "isScale", "offsetX", "offsetY", "conditions"})"},
        {"setVideoEDID()", R"("sn"; "taskInfo" {"width", "height"})"},
        {"setVideoSourceManualFor0x99()", R"("sn"; "data" {"videoSource"})"},
        {"setVideoSourcePolicyFor0x99()", R"("sn"; "data" {"enable", "conditions"})"},
        {"setUserInfo()", R"("sn"; "userInfo" {"aliasName", "registerAddress"})"},
        {"setTerminalInfo()", R"("sn"; "type"; "value")"},
        {"delTerminalInfo()", R"("sn"; "type")"},
        {"loginSkyrell()", R"("type"; "username"; "node"; "password"; "verifyCode"; "countryCode")"},
        {"setBrightnessAdjustMode()", R"("sn"; "brightnessAdjustModeInfo" {"mode"})"},
        {"setScreenBrightness()", R"("sn"; "screenBrightnessInfo" {"ratio"})"},
        {"setBrightnessPolicy()", R"("sn"; "taskInfo" {"type", "source", "enable", "conditions", "segmentConfig", "timeStamp"})"},
        {"getBrightnessPolicy()", R"("sn"; "brightnessPolicyInfo" {"isSupportCompleteCron"})"},
        {"setManualBrightnessFor0x99()", R"("sn"; "data" {"ratio"})"},
        {"setPolicyBrightnessFor0x99()", R"("sn"; "taskInfo" {"enable", "conditions", "segmentConfig", "timeStamp"})"},
        {"setColorTemperature()", R"("sn"; "colorTemperatureInfo" {"colorTemperature"})"},
        {"setScreenPowerAdjustMode()", R"("sn"; "taskInfo" {"mode"})"},
        {"setScreenPowerState()", R"("sn"; "taskInfo" {"state"})"},
        {"setScreenPowerPolicy()", R"("sn"; "taskInfo" {"type", "source", "enable", "conditions"})"},
        {"setScreenPowerManual0x99()", R"("sn"; "taskInfo" {"state"})"},
        {"setScreenPowerPolicy0x99()", R"("sn"; "taskInfo" {"enable", "conditions"})"},
        {"getFileMD5()", R"("sn"; "url")"},
        {"startPlay()", R"("sn"; "identifier")"},
        {"startPlay1()", R"("sn"; "identifier")"},
        {"setSyncPlay()", R"("sn"; "enable")"},
        {"setReBootWipeUserData()", R"("sn"; "setInfo" {"reason"})"},
        {"setOTGUSBMode()", R"("sn"; "modeInfo" {"value"})"},
        {"setCurrentResolutio()", R"("sn"; "resolutionInfo" {"displayMode", "resolutionValue"})"},
        {"getCurrentResolution()", R"("sn"; "requestInfo" {"displayMode"})"},
        {"setHdmiOutputStatus()", R"("sn"; "info" {"value"})"},
        {"setCustomResolution()", R"("sn"; "info" {"displayMode", "width", "height"})"},
        {"setTimingReboot()", R"("sn"; "data" {"conditions"})"},
        {"clearAllMediasFor0x99()", R"("sn"; "data" {"scope"})"},
        {"setSyncPlayFor0x99()", R"("sn"; "data" {"enable"})"},
        {"setPolicySourceOutMode()", R"("sn"; "currentSourceOutMode")"},
        {"addCollector()", R"("sn"; "info" {"pickers"})"},
        {"deleteCollector()", R"("sn"; "info" {"type"})"},
        {"setUSBAuthentic()", R"("sn"; "taskInfo" {"enable"})"},
        {"updateApp()", R"("sn"; "filePath")"},
        {"updateOS()", R"("sn"; "filePath")"},
        {"updateAppVerify()", R"("sn"; "verifyInfo" {"commonSupportedProducts", "version", "totalSize", "description", "packetType", "excutionType", "createdDate", "packages"})"},
        {"connectWifiNetwork()", R"("sn"; "taskInfo" {"ssid", "password"})"},
        {"disconnectWifiNetwork()", R"("sn"; "taskInfo" {"ssid"})"},
        {"setWifiEnabled()", R"("sn"; "taskInfo" {"state"})"},
        {"sendForgetWifiCommand()", R"("sn"; "taskInfo" {"ssid"})"},
        {"setMobileNetwork()", R"("sn"; "mobileData" {"basicConfigs", "advanced"})"},
        {"setEthernetInfo()", R"("sn"; "taskInfo" {"ethernets"})"},
        {"setAPNetwork()", R"("sn"; "aliasName"; "suffix"; "password"; "channelId")"},
        {"setAPNInfo()", R"("sn"; "APNs" {"carrier", "mcc", "mnc", "apn", "user", "password", "server", "port", "mmsc", "mmsproxy", "mmsport", "type", "isUserDefined", "isUsed", "proxy", "protocol"})"},
        {"setFlightMode()", R"("sn"; "enable")"},
        {"setAPNetworkOpenStatus()", R"("sn"; "enable")"},
        {"setWifiApStationSwitch()", R"("sn"; "taskInfo" {"state", "ssid", "password"})"},
        {"setNetworkCheck()", R"("sn"; "data" {"type", "enable", "address"})"},
        {"setScreenAttribute()", R"("sn"; "screenAttribute" {"screenAttributes"})"},
        {"setScreenAttributeSDK()", R"("sn"; "width"; "height"; "xCount"; "yCount"; "portNumber"; "orders")"},
        {"getHalvexConfigInfo()", R"("sn"; "requestInfo" {"language"})"},
        {"setHalvexConfigInfo()", R"("sn"; "requestInfo" {"state", "url", "username"})"},
        {"setBindPlayer()", R"("sn"; "playerInfo" {"baseUrl", "data", "isNewSkyrell", "password", "username"})"},
        {"getCloudPlayerList()", R"("host"; "data" {"username", "password", "playerType"})"},
        {"calibrateTime()", R"("sn"; "currentTime"; "timeZoneInfo" {"utcTimeMillis", "timeZone", "gmt", "isTimeOffsetEnable", "beginTime", "endTime", "timeOffsetValue"})"},
        {"setNetTimingInfo()", R"("sn"; "TimingInfo" {"enable", "ntp", "lora", "gps", "compatibility"})"},
        {"getNetTimingListInfo()", R"("lang")"},
        {"addNetTimingInfo()", R"("label"; "node")"},
        {"updateNetTimingInfo()", R"("oldServer" {"label", "node"}; "newServer" {"label", "node"})"},
        {"downloadScreenShot()", R"("sn"; "width"; "height"; "downLoadDirectoryPath"; "pictureName"; "pictureType")"},
        {"getIsUseDayLightTime()", R"("sn"; "isUseDayLightTimeData" {"timeZone", "gmt"})"},
        {"getMonitorInfoByReceiverIndex()", R"("sn"; "info" {"receiveCardRegionInfo"})"},
        {"setRotation()", R"("sn"; "taskInfo" {"rotationValue"})"},
        {"setTimeAndZone()", R"("sn"; "taskInfo" {"utcTimeMillis", "timeZone", "gmt", "isTimeOffsetEnable", "beginTime", "endTime", "timeOffsetValue"})"},
        {"createProgram()", R"("name"; "width"; "height"; "tplID"; "winInfo" {"height", "width", "left", "top", "zindex", "index"})"},
        {"makeProgram()", R"("programID"; "outPutPath")"},
        {"addPage()", R"("programID"; "tplID")"},
        {"setPageParam()(图片)", R"("programID"; "pageID"; "pageInfo" {"name", "widgetContainers"})"},
        {"setPageParam()(图片、视频、GIF简化)", R"("programID"; "pageID"; "pageInfo" {"name", "widgetContainers"})"},
        {"setPageParam()(数字时钟简化)", R"("programID"; "pageID"; "pageInfo" {"name", "widgetContainers", "id"})"},
        {"setPageParam()(文本简化)", R"("programID"; "pageID"; "pageInfo" {"name", "widgetContainers"})"},
        {"setPageParam()(RSS)", R"("programID"; "pageID"; "pageInfo" {"name", "widgetContainers"})"},
        {"setPageParam()(RSS简化)", R"("programID"; "pageID"; "pageInfo" {"name", "widgetContainers"})"},
        {"setPageParam()(炫彩字)", R"("programID"; "pageID"; "pageInfo" {"name", "widgetContainers"})"},
        {"setPageParam()(炫彩字简化)", R"("programID"; "pageID"; "pageInfo" {"name", "widgetContainers"})"},
        {"setPageParam()(环境监测)", R"("programID"; "pageID"; "pageInfo" {"name", "widgetContainers"})"},
        {"setPageParam()(环境监测简化)", R"("programID"; "pageID"; "pageInfo" {"name", "widgetContainers"})"},
        {"setPageParam()(计时器)", R"("programID"; "pageID"; "pageInfo" {"name", "widgetContainers"})"},
        {"setPageParam()(计时器简化)", R"("programID"; "pageID"; "pageInfo" {"name", "widgetContainers"})"},
        {"setPageParam()(网页)", R"("programID"; "pageID"; "pageInfo" {"name", "widgetContainers"})"},
        {"setPageParam()(流媒体)", R"("programID"; "pageID"; "pageInfo" {"name", "widgetContainers"})"},
        {"getPageParam()", R"("programID"; "pageID")"},
        {"addWidget()", R"("programID"; "pageID"; "widgetContainerID"; "taskInfo" {"widgetMediaType", "widget"})"},
        {"setWidgetParam()", R"("programID"; "pageID"; "widgetContainerID"; "widgetID"; "widget" {"id", "mid", "name", "type", "duration", "repeatCount", "layout", "displayRatio", "inAnimation", "outAnimation", "dataSource", "originalDataSource", "backgroundMusic", "backgroundColor", "backgroundDrawable", "zOrder", "constraints", "fold", "metadata"})"},
        {"getWidgetParam()", R"("programID"; "pageID"; "widgetContainerID"; "widgetID")"},
        {"addTpl()", R"("data" {"width", "height", "left", "top", "zindex"})"},
        {"editTpl()", R"("tplID"; "data" {"width", "height", "left", "top", "zindex"})"},
        {"deleteTpl()", R"("tplID")"},
        {"setSystemTplInfo()", R"("data" {"width", "height", "left", "top", "zindex"})"},
        {"deleteProgram()", R"("programID")"},
        {"startTransferProgram()", R"("sn"; "iconPath"; "iconName"; "sendProgramFilePaths" {"programPath", "mediasPath"}; "programName"; "deviceIdentifier"; "startPlayAfterTransferred"; "insertPlay")"},
        {"startTransferProgram1()", R"("sn"; "iconPath"; "iconName"; "sendProgramFilePaths" {"programPath", "mediasPath"}; "programName"; "deviceIdentifier"; "startPlayAfterTransferred"; "insertPlay")"},
        {"setPageParams()", R"("programID"; "sceneItems" {"id", "page", "rules", "repeatCount"})"},
        {"setAudioMedioProgram()", R"("programID"; "taskInfo" {"playPolicy", "audioList"})"},
        {"addNodeServerList()", R"("label"; "node")"},
        {"deleteNodeServerList()", R"("node"; "label")"},
        {"changeNodeServerList()", R"("oldServer" {"label", "node"}; "newServer" {"label", "node"})"},
        {"uploadFeedbackInfo()", R"("sn"; "contact"; "description"; "attacheds")"},
        {"dataBaseMigration()", R"("data" {"ID", "PLAYSOLUTION", "PLAYSOLUTIONRELATION", "SCHEDULECONSTRAINT", "PLAYLIST", "PLAN", "width", "height"})"},
        {"batchSetRecvCardFile()", R"("sn"; "filePath"; "fileName")"},
        {"downloadTerminalLog()", R"("sn"; "fileName"; "filePath")"},
        {"uploadTerminalLog()", R"("sn"; "fileName"; "filePath")"},
        {"cancelFunction()", R"("sn"; "type")"},
};

// Operations that carry exactly the text of another.
const NameRow sharedRows[] = {
        {"stopService()", "startService()"},
        {"isFileExisted()", "getFileMD5()"},
        {"deleteFile()", "getFileMD5()"},
        {"pausePlay()", "startPlay()"},
        {"resumePlay()", "startPlay()"},
        {"stopPlay()", "startPlay()"},
        {"getSupportedResolution()", "getCurrentResolution()"},
        {"getMobileNetwork()", "sendForgetWifiCommand()"},
        {"deleteNetTimingInfo()", "addNetTimingInfo()"},
        {"deletePage()", "getPageParam()"},
        {"deleteWidget()", "getWidgetParam()"},
        {"getNodeServerList()", "getNetTimingListInfo()"},
        {"batchSetScreenAttribute()", "setScreenAttributeSDK()"},
        {"downloadTerminalAllLog()", "downloadTerminalLog()"},
        {"downloadTerminalPlayLog()", "downloadTerminalLog()"},
};
// clang-format on

const std::set<std::string> withoutSample = {
    "getVolumeFor0x99()",
    "setVolumeFor0x99()",
    "setTimingVolumeFor0x99()",
    "getTimingVolumeFor0x99()",
    "GetSpliceInfo()",
    "SetSpliceInfo()",
    "setInfraRedConfig()",
    "getInfraRedConfig()",
    "GetReBootTask()",
    "SetReBootTask()",
    "SetRecvCardFile()",
    "getCustomerTpl()",
    "downLoadFiles()",
    "queryFileByType()",
    "待开发",
    "待开发initBindingManagerAPI",
    "待开发initTimeZoneListAPI",
};

const std::set<QString> serials = {
    "BZSA07194A0049999716",
    "BZWA17422J1X20000093",
    "BZSA79353N1310006847",
    "BZVA28407N3X20008006",
    "W9A5HAJW",
    "BZSA07201A0010000183",
    "BZSA07313J0350000997",
    "BZSA17313J0820001562",
    "123456789",
    "123465",
};

// The two stored samples that are not well-formed JSON.
const std::set<std::string> malformed = {"setAPNetworkOpenStatus()", "setHdmiOutputStatus()"};

struct ExpectedKey
{
    std::string key;
    std::vector<std::string> nested; // empty: no nested keys listed
};

// Reads a key list like `"sn"; "taskInfo" {"type", "source"}`.
std::vector<ExpectedKey> parseKeySpec(const QString& text)
{
    std::vector<ExpectedKey> keys;
    static const QRegularExpression part(R"re(^\s*"([^"]+)"\s*(?:\{(.*)\})?\s*$)re");
    static const QRegularExpression quoted(R"re("([^"]+)")re");
    for (const QString& piece : text.split(';')) {
        const QRegularExpressionMatch match = part.match(piece);
        if (!match.hasMatch())
            return {};
        ExpectedKey expectedKey{match.captured(1).toStdString(), {}};
        auto nested = quoted.globalMatch(match.captured(2));
        while (nested.hasNext())
            expectedKey.nested.push_back(nested.next().captured(1).toStdString());
        keys.push_back(expectedKey);
    }
    return keys;
}

std::vector<std::string> keysOf(const nlohmann::ordered_json& object)
{
    std::vector<std::string> keys;
    for (auto it = object.begin(); it != object.end(); ++it)
        keys.push_back(it.key());
    return keys;
}

QString keyList(const std::vector<std::string>& keys)
{
    QStringList list;
    for (const std::string& key : keys)
        list.append(QString::fromStdString(key));
    return list.join(", ");
}

QString sampleOf(const char* name)
{
    const char* text = sampleRequest(name);
    return text ? QString::fromUtf8(text) : QString();
}

} // namespace

class TestSamples : public QObject
{
    Q_OBJECT

private slots:
    void counts();
    void exactTexts_data();
    void exactTexts();
    void structuredKeys_data();
    void structuredKeys();
    void sharedTexts_data();
    void sharedTexts();
    void serialsAreKnown();
    void batchLogin();
    void lookupIsExact();
};

void TestSamples::counts()
{
    QCOMPARE(sampleCount(), std::size_t(243));
    const std::vector<std::string> names = sampleNames();
    QCOMPARE(names.size(), std::size_t(243));
    QCOMPARE(std::set<std::string>(names.begin(), names.end()).size(), std::size_t(243));

    const std::vector<std::string> all = apiNames(0);
    const std::set<std::string> catalogue(all.begin(), all.end());
    std::set<std::string> missing;
    for (const std::string& name : catalogue)
        if (!sampleRequest(name))
            missing.insert(name);
    QCOMPARE(missing.size(), std::size_t(17));
    QVERIFY(missing == withoutSample);
    for (const std::string& name : names)
        QVERIFY2(catalogue.count(name) == 1, name.c_str());
}

void TestSamples::exactTexts_data()
{
    QTest::addColumn<QString>("name");
    QTest::addColumn<QString>("text");
    for (const TextRow& row : exactRows)
        QTest::newRow(row.name) << QString::fromUtf8(row.name) << QString::fromUtf8(row.text);
}

void TestSamples::exactTexts()
{
    QFETCH(QString, name);
    QFETCH(QString, text);
    const char* sample = sampleRequest(name.toStdString());
    QVERIFY(sample);
    QCOMPARE(QString::fromUtf8(sample), text);
}

void TestSamples::structuredKeys_data()
{
    QTest::addColumn<QString>("name");
    QTest::addColumn<QString>("keys");
    QTest::addColumn<bool>("quoted");
    std::set<std::string> quotedNames;
    for (const TextRow& row : exactRows)
        quotedNames.insert(row.name);
    for (const TextRow& row : keyRows)
        if (!malformed.count(row.name))
            QTest::newRow(row.name) << QString::fromUtf8(row.name) << QString::fromUtf8(row.text)
                                    << (quotedNames.count(row.name) == 1);
}

void TestSamples::structuredKeys()
{
    QFETCH(QString, name);
    QFETCH(QString, keys);
    QFETCH(bool, quoted);
    const std::vector<ExpectedKey> expected = parseKeySpec(keys);
    QVERIFY2(!expected.empty(), qPrintable(keys));

    const char* sample = sampleRequest(name.toStdString());
    QVERIFY(sample);
    QVERIFY(!QByteArray(sample).contains('\n'));
    nlohmann::ordered_json json;
    try {
        json = nlohmann::ordered_json::parse(sample);
    } catch (const nlohmann::json::exception& error) {
        QFAIL(error.what());
    }
    QVERIFY(json.is_object());

    std::vector<std::string> top;
    for (const ExpectedKey& expectedKey : expected)
        top.push_back(expectedKey.key);
    QCOMPARE(keyList(keysOf(json)), keyList(top));

    for (const ExpectedKey& expectedKey : expected) {
        if (expectedKey.nested.empty())
            continue;
        const nlohmann::ordered_json& value = json[expectedKey.key];
        if (value.is_object()) {
            QCOMPARE(keyList(keysOf(value)), keyList(expectedKey.nested));
            continue;
        }
        QVERIFY2(value.is_array() && !value.empty(), expectedKey.key.c_str());
        for (const nlohmann::ordered_json& element : value) {
            QVERIFY2(element.is_object(), expectedKey.key.c_str());
            QCOMPARE(keyList(keysOf(element)), keyList(expectedKey.nested));
        }
    }

    // Our own samples are compact: writing them back changes nothing. The
    // quoted ones keep their stray blanks.
    if (!quoted)
        QCOMPARE(QString::fromStdString(json.dump()), QString::fromUtf8(sample));
}

void TestSamples::sharedTexts_data()
{
    QTest::addColumn<QString>("name");
    QTest::addColumn<QString>("other");
    for (const NameRow& row : sharedRows)
        QTest::newRow(row.name) << QString::fromUtf8(row.name) << QString::fromUtf8(row.other);
}

void TestSamples::sharedTexts()
{
    QFETCH(QString, name);
    QFETCH(QString, other);
    const QString text = sampleOf(name.toUtf8().constData());
    QVERIFY(!text.isEmpty());
    QCOMPARE(text, sampleOf(other.toUtf8().constData()));
}

void TestSamples::serialsAreKnown()
{
    static const QRegularExpression textSerial(R"re("sn"\s*:\s*"([^"]*)")re");
    int checked = 0;
    for (const std::string& name : sampleNames()) {
        const QString text = sampleOf(name.c_str());
        auto matches = textSerial.globalMatch(text);
        while (matches.hasNext()) {
            const QString serial = matches.next().captured(1);
            QVERIFY2(serials.count(serial) == 1, qPrintable(QString::fromStdString(name) + ": " + serial));
            ++checked;
        }
    }
    QVERIFY(checked > 150);
}

void TestSamples::batchLogin()
{
    const QString text = sampleOf("batchLogin()");
    QCOMPARE(text.size(), 6);
    for (const QChar digit : text)
        QVERIFY(digit.isDigit());
}

void TestSamples::lookupIsExact()
{
    QVERIFY(sampleRequest("getVolume()"));
    QVERIFY(!sampleRequest("getvolume()"));
    QVERIFY(!sampleRequest("getVolume"));
    QVERIFY(!sampleRequest("getVolume() "));
    QVERIFY(!sampleRequest(""));
    QVERIFY(!sampleRequest("setPageParam()"));
}

QTEST_APPLESS_MAIN(TestSamples)
#include "tst_samples.moc"
