// The API dispatcher and the response path: which SDK operation each
// catalogue name starts, and how results reach the console's reply box.
#include "mainwindow/demogui.h"
#include "requests/dispatchtable.h"
#include "simulator/simulator.h"
#include "testsupport.h"

#include <QApplication>
#include <QLabel>
#include <QRegularExpression>
#include <QSignalSpy>
#include <QTextEdit>
#include <QtTest>

#include <functional>
#include <memory>
#include <set>
#include <string>
#include <thread>

using namespace std::chrono_literals;

namespace {

// Every distinct catalogue text, in catalogue order, with the SDK operation it
// starts (nullptr: none).
// clang-format off
const std::pair<const char*, const char*> catalogue[] = {
    {"待开发", nullptr},
    {"setTimingPowerSwitchStatus()", "tsSetTimingPowerSwitchStatusAsync"},
    {"getTimingPowerSwitchStatus()", "tsGetTimingPowerSwitchStatusAsync"},
    {"getRealtimePowerSwitchStatus()", "tsGetRealtimePowerSwitchStatusAsync"},
    {"getManualPowerSwitchStatus()", "tsGetManualPowerSwitchStatusAsync"},
    {"setManualPowerSwitchStatus()", "tsSetManualPowerSwitchStatusAsync"},
    {"logOut()", "tsLogOutAsync"},
    {"getVolume()", "tsGetVolumeAsync"},
    {"setVolume()", "tsSetVolumeAsync"},
    {"setTimingVolume()", "tsSetTimingVolumeAsync"},
    {"getTimingVolume()", "tsGetTimingVolumeAsync"},
    {"getVolumeFor0x99()", "tsGetVolumeFor0x99Async"},
    {"setVolumeFor0x99()", "tsSetVolumeFor0x99Async"},
    {"setTimingVolumeFor0x99()", "tsSetTimingVolumeFor0x99Async"},
    {"getTimingVolumeFor0x99()", "tsGetTimingVolumeFor0x99Async"},
    {"setVPNConnectInfo()", "tsSetVPNConnectInfoAsync"},
    {"getVPNConnectInfo()", "tsGetVPNConnectInfoAsync"},
    {"VPNManagerFor0x99()", nullptr},
    {"AMGetInstalledPackageInfo()", "tsGetInstalledPackageInfoAsync"},
    {"GetRunningPackageInfo()", "tsGetRunningPackageInfoAsync"},
    {"ForceStopApp()", "tsForceStopAppAsync"},
    {"UninstallPackage()", "tsUninstallPackageAsync"},
    {"StartUploadApk()", "tsStartUploadApkCoreAsync"},
    {"runApp()", nullptr},
    {"getThirdPackageinfos()", nullptr},
    {"getTerminalService()", nullptr},
    {"startService()", nullptr},
    {"stopService()", nullptr},
    {"getPlaylogPath()", "tsGetPlaylogPathAsync"},
    {"ping()", "tsPingAsync"},
    {"getPlayFontUploadPath()", nullptr},
    {"getTerminalFont()", "tsGetTerminalFontAsync"},
    {"deleteFont()", "tsDeleteFontAsync"},
    {"updateFont()", "tsUpdateFontAsync"},
    {"GetSpliceInfo()", "tsGetSpliceInfoAsync"},
    {"SetSpliceInfo()", "tsSetSpliceInfoAsync"},
    {"getLogPath()", nullptr},
    {"getRunningLogPath()", nullptr},
    {"setAudioPlayRealTime()", nullptr},
    {"setAudioPlayPolicy()", nullptr},
    {"getAudioPlayPolicy()", nullptr},
    {"getSupportSensorInfo()", "tsGetSupportSensorInfoAsync"},
    {"setSupportSensorInfo()", "tsSetSupportSensorInfoAsync"},
    {"setInfraRedConfig()", nullptr},
    {"getInfraRedConfig()", nullptr},
    {"getLoraInfo()", "tsGetLoraInfoAsync"},
    {"setManalLightSync()", nullptr},
    {"setManualSolidPower()", nullptr},
    {"getSolidPowerStatus()", nullptr},
    {"setPowerInfoManual()", "tsSetPowerInfoManualAsync"},
    {"setPowerInfoPolicy()", "tsSetPowerInfoPolicyAsync"},
    {"getPowerInfoPolicy()", "tsGetPowerInfoPolicyAsync"},
    {"getPowerInfoStatus()", "tsGetPowerInfoStatusAsync"},
    {"setPowerMode()", "tsSetPowerModeAsync"},
    {"getPowerMode()", "tsGetPowerModeAsync"},
    {"setTimingSolidPower()", nullptr},
    {"getTimingSolidPower()", nullptr},
    {"setSolidPowerStatus()", nullptr},
    {"isExistSolidPower()", nullptr},
    {"setRelayPowerManual()", "tsSetRelayPowerManualAsync"},
    {"setRelayPowerPolicy()", "tsSetRelayPowerPolicyAsync"},
    {"getRelayPowerPolicy()", "tsGetRelayPowerPolicyAsync"},
    {"getRelayPowerStatus()", "tsGetRelayPowerStatusAsync"},
    {"setRelayPowerStatus()", "tsSetRelayPowerStatusAsync"},
    {"getVideoControlInfo()", "tsGetVideoControlInfoAsync"},
    {"setVideoControlInfo()", "tsSetVideoControlInfoAsync"},
    {"setVideoEDID()", "tsSetVideoEDIDAsync"},
    {"getVideoEDID()", "tsGetVideoEDIDAsync"},
    {"getVideoSourceManualFor0x99()", "tsGetVideoSourceManualFor0x99Async"},
    {"getVideoSourcePolicyFor0x99()", "tsGetVideoSourcePolicyFor0x99Async"},
    {"setVideoSourceManualFor0x99()", "tsSetVideoSourceManualFor0x99Async"},
    {"setVideoSourcePolicyFor0x99()", "tsSetVideoSourcePolicyFor0x99Async"},
    {"setUserInfo()", "tsSetUserInfoAsync"},
    {"getUserInfo()", "tsGetUserInfoAsync"},
    {"getconfiguration()", "tsGetconfigurationAsync"},
    {"getFirmwareInfos()", "tsGetFirmwareInfosAsync"},
    {"getInstalledPackageVersions()", "tsGetInstalledPackageVersionsAsync"},
    {"getProductInfo()", "tsGetProductInfoAsync"},
    {"setTerminalInfo()", "tsSetTerminalInfoAsync"},
    {"delTerminalInfo()", "tsDelTerminalInfoAsync"},
    {"loginSkyrell()", "tsLoginSkyrell"},
    {"getVerifyCode()", "tsGetVerifyCode"},
    {"registerSkyrell()", "tsRegisterSkyrell"},
    {"setBrightnessAdjustMode()", "tsSetBrightnessAdjustModeAsync"},
    {"getBrightnessAdjustMode()", "tsGetBrightnessAdjustModeAsync"},
    {"setScreenBrightness()", "tsSetScreenBrightnessAsync"},
    {"getScreenBrightness()", "tsGetScreenBrightnessAsync"},
    {"setBrightnessPolicy()", "tsSetBrightnessPolicyAsync"},
    {"getBrightnessPolicy()", "tsGetBrightnessPolicyAsync"},
    {"getEnvironmentBrightness()", "tsGetEnvironmentBrightnessAsync"},
    {"setManualBrightnessFor0x99()", "tssetManualBrightnessFor0x99Async"},
    {"getManualBrightnessFor0x99()", "tsgetManualBrightnessFor0x99Async"},
    {"setPolicyBrightnessFor0x99()", "tssetPolicyBrightnessFor0x99Async"},
    {"getPolicyBrightnessFor0x99()", "tsgetPolicyBrightnessFor0x99Async"},
    {"getColorTemperature()", "tsGetColorTemperatureAsync"},
    {"setColorTemperature()", "tsSetColorTemperatureAsync"},
    {"getScreenUnitTemp()", "tsGetScreenUnitTempAsync"},
    {"setScreenPowerAdjustMode()", "tsSetScreenPowerModeAsync"},
    {"getScreenPowerAdjustMode()", "tsGetScreenPowerModeAsync"},
    {"setScreenPowerState()", "tsSetScreenPowerStateAsync"},
    {"getScreenPowerState()", "tsGetScreenPowerStateAsync"},
    {"setScreenPowerPolicy()", "tsSetScreenPowerPolicyAsync"},
    {"getScreenPowerPolicy()", "tsGetScreenPowerPolicyAsync"},
    {"setScreenPowerManual0x99()", "tssetScreenPowerManual0x99Async"},
    {"setScreenPowerPolicy0x99()", "tssetScreenPowerPolicy0x99Async"},
    {"getScreenPowerManual0x99()", "tsGetScreenPowerManual0x99Async"},
    {"GetScreenPowerPolicyFor0x99()", "tsGetScreenPowerPolicyFor0x99Async"},
    {"getFileMD5()", "tsGetFileMD5Async"},
    {"isFileExisted()", nullptr},
    {"deleteFile()", nullptr},
    {"getProgramInfo()", "tsGetProgramInfoAsync"},
    {"deletePlayList()", "tsDeletePlayListAsync"},
    {"startPlay()", "tsStartPlayAsync"},
    {"startPlay1()", "tsStartPlayAsync"},
    {"pausePlay()", "tsPausePlayAsync"},
    {"resumePlay()", "tsResumePlayAsync"},
    {"stopPlay()", "tsStopPlayAsync"},
    {"playListTransferError()", nullptr},
    {"setSyncPlay()", "tsSetSyncPlayAsync"},
    {"getSyncPlay()", "tsGetSyncPlayAsync"},
    {"setReBootWipeUserData()", "tsSetReBootWipeUserDataAsync"},
    {"clearAllMedias()", "tsClearAllMediasAsync"},
    {"getOTGUSBMode()", "tsGetOTGUSBModeAsync"},
    {"setOTGUSBMode()", "tsSetOTGUSBModeAsync"},
    {"setCurrentResolutio()", "tsSetCurrentResolutioAsync"},
    {"getCurrentResolution()", "tsGetCurrentResolutionAsync"},
    {"getSupportedResolution()", "tsGetSupportedResolutionAsync"},
    {"GetReBootTask()", "tsGetReBootTaskAsync"},
    {"SetReBootTask()", "tsSetReBootTaskAsync"},
    {"getHdmiOutputStatus()", "tsGetHdmiOutputStatusAsync"},
    {"setHdmiOutputStatus()", "tsSetHdmiOutputStatusAsync"},
    {"setCustomResolution()", "tsSetCustomResolutionAsync"},
    {"setImmediatelyReboot()", nullptr},
    {"setTimingReboot()", nullptr},
    {"getTimingReboot()", nullptr},
    {"clearAllMediasFor0x99()", nullptr},
    {"setSyncPlayFor0x99()", nullptr},
    {"getPolicySourceOutMode()", nullptr},
    {"setPolicySourceOutMode()", nullptr},
    {"getPickerReceiver()", "tsGetPickerReceiverAsync"},
    {"addCollector()", "tsAddCollectorAsync"},
    {"deleteCollector()", "tsDeleteCollectorAsync"},
    {"getUSBAuthentic()", nullptr},
    {"setUSBAuthentic()", nullptr},
    {"updateApp()", "tsUpdateAppAsync"},
    {"updateOS()", "tsUpdateOSAsync"},
    {"updateAppVerify()", "tsUpdateVerifyAsync"},
    {"getWifiList()", "tsGetWifiListAsync"},
    {"connectWifiNetwork()", "tsConnectWifiNetworkAsync"},
    {"getWifiCurrentStatus()", "tsGetWifiCurrentStatusAsync"},
    {"disconnectWifiNetwork()", "tsDisconnectWifiNetworkAsync"},
    {"getWifiEnabled()", "tsGetWifiEnabledAsync"},
    {"setWifiEnabled()", "tsSetWifiEnabledAsync"},
    {"sendForgetWifiCommand()", "tsSendForgetWifiCommandAsync"},
    {"getMobileNetwork()", "tsGetMobileNetworkAsync"},
    {"setMobileNetwork()", "tsSetMobileNetworkAsync"},
    {"isMobileModuleExisted()", "tsIsMobileModuleExistedAsync"},
    {"getEthernetInfo()", "tsGetEthernetInfoAsync"},
    {"setEthernetInfo()", "tsSetEthernetInfoAsync"},
    {"getAPNetwork()", "tsGetAPNetworkAsync"},
    {"setAPNetwork()", "tsSetAPNetworkAsync"},
    {"getAPNInfo()", "tsGetAPNInfoAsync"},
    {"setAPNInfo()", "tsSetAPNInfoAsync"},
    {"setFlightMode()", "tsSetFlightModeAsync"},
    {"getFlightMode()", "tsGetFlightModeAsync"},
    {"get4GNetworkStatus()", "tsGet4GNetworkStatusAsync"},
    {"getAPNetworkOpenStatus()", "tsGetAPNetworkOpenStatusAsync"},
    {"setAPNetworkOpenStatus()", "tsSetAPNetworkOpenStatusAsync"},
    {"getNetworkCheck()", nullptr},
    {"setWifiApStationSwitch()", "tsSetWifiApStationSwitchAsync"},
    {"getModuleInfo()", "tsGetModuleInfoAsync"},
    {"setNetworkCheck()", nullptr},
    {"SetRecvCardFile()", "tsSetRecvCardFileAsync"},
    {"getScreenAttribute()", "tsGetScreenAttributeAsync"},
    {"setScreenAttribute()", "tsSetScreenAttributeAsync"},
    {"setScreenAttributeSDK()", nullptr},
    {"getHalvexConfigInfo()", "tsGetHalvexConfigInfoAsync"},
    {"setHalvexConfigInfo()", "tsSetHalvexConfigInfoAsync"},
    {"getBindPlayer()", "tsGetBindPlayerAsync"},
    {"setBindPlayer()", "tsSetBindPlayerAsync"},
    {"getCloudPlayerList()", "tsGetCloudPlayerListAsync"},
    {"getPlayerIdentifer()", "tsGetPlayerIdentiferAsync"},
    {"getAvailableStorageData()", "tsGetAvailableStorageDataAsync"},
    {"getCPUUsage()", "tsGetCPUUsageAsync"},
    {"getCPUTemp()", "tsGetCPUTempAsync"},
    {"getAvailableMemory()", "tsGetAvailableMemoryAsync"},
    {"getSendCardMonitorInfo()", "tsGetSendCardMonitorInfoAsync"},
    {"getReceiverCountAndInfo()", "tsGetReceiverCountAndInfoAsync"},
    {"getCurrentTimeAndZone()", "tsGetCurrentTimeAndZoneAsync"},
    {"calibrateTime()", "tsCalibrateTimeAsync"},
    {"getNetTimingInfo()", "tsGetNetTimingInfoAsync"},
    {"setNetTimingInfo()", "tsSetNetTimingInfoAsync"},
    {"getNetTimingListInfo()", "tsGetNetTimingListInfoAsync"},
    {"addNetTimingInfo()", "tsAddNetTimingInfoAsync"},
    {"deleteNetTimingInfo()", "tsDeleteNetTimingInfoAsync"},
    {"updateNetTimingInfo()", "tsUpdateNetTimingInfoAsync"},
    {"downloadScreenShot()", "tsDownLoadScreenshotAsync"},
    {"getIsUseDayLightTime()", "tsGetIsUseDayLightTimeAsync"},
    {"getMonitorInfoByReceiverIndex()", "tsGetMonitorInfoByReceiverIndexAsync"},
    {"setRotation()", "tsSetRotationAsync"},
    {"getRotation()", "tsGetRotationAsync"},
    {"getDisplayInfo()", "tsGetDisplayInfoAsync"},
    {"setTimeAndZone()", "tsSetTimeAndZoneAsync"},
    {"createProgram()", "tsCreateProgramAsync"},
    {"makeProgram()", "tsMakeProgramAsync"},
    {"addPage()", nullptr},
    {"setPageParam()(图片)", "tsSetPageProgramAsync"},
    {"setPageParam()(图片、视频、GIF简化)", "tsSetPageProgramAsync"},
    {"setPageParam()(数字时钟简化)", "tsSetPageProgramAsync"},
    {"setPageParam()(文本简化)", "tsSetPageProgramAsync"},
    {"setPageParam()(RSS)", "tsSetPageProgramAsync"},
    {"setPageParam()(RSS简化)", "tsSetPageProgramAsync"},
    {"setPageParam()(炫彩字)", "tsSetPageProgramAsync"},
    {"setPageParam()(炫彩字简化)", "tsSetPageProgramAsync"},
    {"setPageParam()(环境监测)", "tsSetPageProgramAsync"},
    {"setPageParam()(环境监测简化)", "tsSetPageProgramAsync"},
    {"setPageParam()(计时器)", "tsSetPageProgramAsync"},
    {"setPageParam()(计时器简化)", "tsSetPageProgramAsync"},
    {"setPageParam()(网页)", "tsSetPageProgramAsync"},
    {"setPageParam()(流媒体)", "tsSetPageProgramAsync"},
    {"getPageParam()", "tsGetProgramAsync"},
    {"deletePage()", nullptr},
    {"addWidget()", nullptr},
    {"setWidgetParam()", nullptr},
    {"getWidgetParam()", nullptr},
    {"deleteWidget()", nullptr},
    {"addTpl()", "tsAddTplAsync"},
    {"editTpl()", "tsEditTplAsync"},
    {"deleteTpl()", "tsDeleteTplAsync"},
    {"setSystemTplInfo()", "tsSetSystemTplInfoAsync"},
    {"getCustomerTpl()", "tsGetCustomerTplAsync"},
    {"getProgram()", "tsGetProgramAsync"},
    {"deleteProgram()", "tsDeleteProgramAsync"},
    {"startTransferProgram()", "tsStartTransferProgramAsync"},
    {"startTransferProgram1()", "tsStartTransferProgramAsync"},
    {"stopProgramTransfer()", "tsStopProgramTransferAsync"},
    {"setPageParams()", "tsSetPageProgramsAsync"},
    {"setAudioMedioProgram()", "tsSetAudioProgramAsync"},
    {"getNodeServerList()", "tsGetNodeServerListAsync"},
    {"addNodeServerList()", "tsAddNodeServerListAsync"},
    {"deleteNodeServerList()", "tsDeleteNodeServerListAsync"},
    {"changeNodeServerList()", "tsChangeNodeServerListAsync"},
    {"uploadFeedbackInfo()", "tsUploadFeedbackInfoAsync"},
    {"dataBaseMigration()", "tsDataBaseMigrationAsync"},
    {"downLoadFiles()", "tsDownLoadFilesAsync"},
    {"queryFileByType()", "tsQueryFileByTypeAsync"},
    {"getScreenDeviceInfo()", "tsGetScreenDeviceInfoAsync"},
    {"rsaEncode()", "tsRsaEncodeAsync"},
    {"rsaDecode()", "tsRsaDecodeAsync"},
    {"待开发initBindingManagerAPI", nullptr},
    {"待开发initTimeZoneListAPI", nullptr},
    {"batchLogin()", nullptr},
    {"batchSetRecvCardFile()", nullptr},
    {"batchSetScreenAttribute()", nullptr},
    {"downloadTerminalLog()", "tsDownloadTerminalLogAsync"},
    {"uploadTerminalLog()", "tsUploadTerminalLogAsync"},
    {"cancelFunction()", "tsCancelFunctionAsync"},
    {"checkNetwork()", "tsCheckNetworkAsync"},
    {"downloadTerminalAllLog()", "tsDownloadTerminalAllLogAsync"},
    {"downloadTerminalPlayLog()", "tsDownloadTerminalPlayLogAsync"},
};
// clang-format on

const char* const callbackOnly[] = {"tsLogOutAsync", "tsPingAsync"};

bool isCallbackOnly(const std::string& operation)
{
    return operation == callbackOnly[0] || operation == callbackOnly[1];
}

} // namespace

class TestDispatch : public QObject
{
    Q_OBJECT

private slots:
    void init();
    void cleanup();

    void tableIsWellFormed();
    void nameStartsItsOperation_data();
    void nameStartsItsOperation();
    void nearMissStartsNothing_data();
    void nearMissStartsNothing();
    void callbackOnlyIgnoresRequest_data();
    void callbackOnlyIgnoresRequest();
    void replyShown_data();
    void replyShown();
    void everyInvocationReplacesReply();
    void lateResultOverwritesNewer();
    void roundTripThroughSimulator();
    void repliesAfterWindowIsGone();
    void replyNamesItsRequest();

private:
    // Replies seen in the reply box, one snapshot per result signal; `start`
    // runs once the snapshots are being taken.
    QStringList snapshotsOfReplies(int count, const std::function<void()>& start = {});

    std::unique_ptr<DemoGUI> window;
};

void TestDispatch::init()
{
    tesselsim::reset();
    tesselsim::setLatency(1ms);
    window = std::make_unique<DemoGUI>();
    QVERIFY(consoleReplyBox());
}

void TestDispatch::cleanup()
{
    window.reset();
    QVERIFY(tesselsim::waitIdle());
    tesselsim::reset();
    closeAllTopLevels();
}

void TestDispatch::tableIsWellFormed()
{
    const auto& table = tessel::dispatchTable();
    QCOMPARE(table.size(), std::size_t(212));
    std::set<std::string> names, operations;
    for (const tessel::DispatchEntry& entry : table) {
        QVERIFY2(names.insert(entry.apiName).second, entry.apiName);
        operations.insert(entry.operation);
        QVERIFY2(entry.start, entry.apiName);
        QCOMPARE(tessel::findDispatchEntry(entry.apiName), &entry);
    }
    QCOMPARE(operations.size(), std::size_t(196));
}

void TestDispatch::nameStartsItsOperation_data()
{
    QTest::addColumn<QByteArray>("apiName");
    QTest::addColumn<QByteArray>("operation");
    for (const auto& [name, operation] : catalogue)
        QTest::newRow(name) << QByteArray(name) << QByteArray(operation);
}

void TestDispatch::nameStartsItsOperation()
{
    QFETCH(QByteArray, apiName);
    QFETCH(QByteArray, operation);
    const auto before = tesselsim::calls();
    QCOMPARE(before.size(), std::size_t(2));
    QCOMPARE(before[0].operation, std::string("tsInit"));
    QCOMPARE(before[1].operation, std::string("tsSearchTerminalAsync"));

    const QByteArray request = QByteArray(R"({"sn":"BZWA17422J1X20000093","name":"节目01"})");
    window->dispatchApi(apiName, request);
    const auto after = tesselsim::calls();
    if (operation.isEmpty()) {
        QCOMPARE(after.size(), std::size_t(2));
        return;
    }
    QCOMPARE(after.size(), std::size_t(3));
    QCOMPARE(after[2].operation, operation.toStdString());
    if (isCallbackOnly(operation.toStdString()))
        QVERIFY(after[2].args.empty());
    else
        QCOMPARE(after[2].args, std::vector<std::string>{request.toStdString()});
}

void TestDispatch::nearMissStartsNothing_data()
{
    QTest::addColumn<QByteArray>("apiName");
    for (const char* name : {"GetVolume()", "getvolume()", "getVolume() ", " getVolume()", "getVolume",
                             "getVolume()()", "setPageParam()", "setPageParam()(rss)", "setPageParam()(RSS) ",
                             "LogOut()", "logout()", "ping( )", "tsGetVolumeAsync", ""})
        QTest::newRow(name) << QByteArray(name);
    QTest::newRow("embedded zero") << QByteArray("getVolume()\0x", 13);
}

void TestDispatch::nearMissStartsNothing()
{
    QFETCH(QByteArray, apiName);
    window->dispatchApi(apiName, R"({"sn":"BZWA17422J1X20000093"})");
    QCOMPARE(tesselsim::calls().size(), std::size_t(2));
}

void TestDispatch::callbackOnlyIgnoresRequest_data()
{
    QTest::addColumn<QByteArray>("apiName");
    QTest::addColumn<QByteArray>("request");
    QTest::newRow("ping, empty") << QByteArray("ping()") << QByteArray();
    QTest::newRow("ping, not JSON") << QByteArray("ping()") << QByteArray("anything at all");
    QTest::newRow("logOut, empty") << QByteArray("logOut()") << QByteArray("");
    QTest::newRow("logOut, JSON") << QByteArray("logOut()") << QByteArray(R"({"sn":"W9A5HAJW"})");
}

void TestDispatch::callbackOnlyIgnoresRequest()
{
    QFETCH(QByteArray, apiName);
    QFETCH(QByteArray, request);
    window->dispatchApi(apiName, request);
    const auto calls = tesselsim::calls();
    QCOMPARE(calls.size(), std::size_t(3));
    QVERIFY(calls[2].args.empty());
    QTRY_VERIFY(consoleReplyBox()->toPlainText().startsWith("0\n"));
}

void TestDispatch::replyShown_data()
{
    QTest::addColumn<int>("code");
    QTest::addColumn<QByteArray>("reply");
    QTest::addColumn<QString>("shown");
    QTest::newRow("success, empty reply") << 0 << QByteArray() << QString("0\n");
    QTest::newRow("largest code") << 65535 << QByteArray("终端忙") << QString("65535\n终端忙");
    QTest::newRow("code with sign bit") << 32768 << QByteArray("x") << QString("32768\nx");
    QTest::newRow("JSON reply") << 0 << QByteArray(R"({"ratio":60.0})") << QString(R"(0
{"ratio":60.0})");
    QTest::newRow("not UTF-8") << 7 << QByteArray("\xff\xfe")
                               << QString("7\n") + QChar(0xFFFD) + QChar(0xFFFD);
    QTest::newRow("bad byte inside text")
        << 0 << QByteArray("a\xc3(b") << QString("0\na") + QChar(0xFFFD) + "(b";
}

void TestDispatch::replyShown()
{
    QFETCH(int, code);
    QFETCH(QByteArray, reply);
    QFETCH(QString, shown);
    tesselsim::scriptReplies("tsGetVolumeAsync",
                             {tesselsim::Reply{static_cast<unsigned short>(code), reply.toStdString()}});
    QSignalSpy spy(window.get(), &DemoGUI::signalsendResponseData);
    window->dispatchApi("getVolume()", R"({"sn":"BZWA17422J1X20000093"})");
    // Counted, not waited for: the result may have been emitted before any wait could start.
    QVERIFY(tesselsim::waitIdle());
    QTRY_COMPARE(spy.size(), 1);
    QCOMPARE(spy.at(0).at(0).toInt(), code);
    QTRY_COMPARE(consoleReplyBox()->toPlainText(), shown);
}

QStringList TestDispatch::snapshotsOfReplies(int count, const std::function<void()>& start)
{
    // Connected after the console, so each snapshot follows the console's update.
    QStringList snapshots;
    QTextEdit* box = consoleReplyBox();
    const auto connection = connect(window.get(), &DemoGUI::signalsendResponseData, box,
                                    [&] { snapshots << box->toPlainText(); });
    if (start)
        start();
    // Generous: the results come from another thread, which a busy machine may hold back.
    const bool arrived = QTest::qWaitFor([&] { return snapshots.size() >= count; }, 60000);
    disconnect(connection);
    if (!arrived)
        qWarning("only %d of %d results arrived", int(snapshots.size()), count);
    return snapshots;
}

void TestDispatch::everyInvocationReplacesReply()
{
    tesselsim::scriptReplies("tsDownloadTerminalLogAsync",
                             {{0, R"({"progress":0})"}, {0, R"({"progress":50})"}, {1, "磁盘已满"}});
    // Sent once the snapshots are being taken, or the first result may come before.
    const QStringList shown = snapshotsOfReplies(
        3, [&] { window->dispatchApi("downloadTerminalLog()", R"({"sn":"BZWA17422J1X20000093"})"); });
    QCOMPARE(shown, QStringList({R"(0
{"progress":0})",
                                 R"(0
{"progress":50})",
                                 "1\n磁盘已满"}));
    QVERIFY(tesselsim::waitIdle());
    QCOMPARE(consoleReplyBox()->toPlainText(), QString("1\n磁盘已满"));
}

void TestDispatch::lateResultOverwritesNewer()
{
    // The first request answers twice, the second once in between: the earlier
    // request's last result arrives after the newer one and stays on show.
    tesselsim::holdNextCallback("tsGetVolumeAsync");
    window->dispatchApi("getVolume()", R"({"sn":"BZWA17422J1X20000093"})");
    const ResultCallback first = tesselsim::takeHeldCallback();
    tesselsim::holdNextCallback("tsGetScreenBrightnessAsync");
    window->dispatchApi("getScreenBrightness()", R"({"sn":"BZWA17422J1X20000093"})");
    const ResultCallback second = tesselsim::takeHeldCallback();
    QVERIFY(first && second);
    std::thread sdk;
    const QStringList shown = snapshotsOfReplies(3, [&] {
        sdk = std::thread([&] {
            first(0, "first, early");
            second(0, "second");
            first(0, "first, late");
        });
    });
    sdk.join();
    QCOMPARE(shown, QStringList({"0\nfirst, early", "0\nsecond", "0\nfirst, late"}));
}

void TestDispatch::roundTripThroughSimulator()
{
    window->dispatchApi("setVolume()", R"({"sn":"BZWA17422J1X20000093","volumeInfo" :{"ratio":60.0}})");
    QVERIFY(tesselsim::waitIdle());
    window->dispatchApi("getVolume()", R"({"sn":"BZWA17422J1X20000093"})");
    QTRY_COMPARE(consoleReplyBox()->toPlainText(), QString(R"(0
{"ratio":60.0})"));
    window->dispatchApi("getVolume()", R"({"sn":"BZSA07194A0049999716"})");
    QTRY_VERIFY(consoleReplyBox()->toPlainText().startsWith("1003\n"));
}

void TestDispatch::repliesAfterWindowIsGone()
{
    tesselsim::setLatency(20ms);
    tesselsim::scriptReplies("tsGetVolumeAsync", {{0, "a"}, {0, "b"}, {0, "c"}});
    window->dispatchApi("getVolume()", R"({"sn":"BZWA17422J1X20000093"})");
    window->dispatchApi("downloadTerminalAllLog()",
                        R"({"sn":"BZWA17422J1X20000093","fileName":"all","filePath":"/tmp"})");
    window->dispatchApi("ping()", "");
    window.reset();
    QVERIFY(tesselsim::waitIdle());
    QCoreApplication::processEvents();
    QVERIFY(!consoleReplyBox());
}

// Every reply says which request it answers, also one that comes late.
void TestDispatch::replyNamesItsRequest()
{
    auto* origin = topLevel<DemoChildGUI>()->findChild<QLabel*>("replyOrigin");
    QVERIFY(origin);
    tesselsim::holdNextCallback("tsGetVolumeAsync");
    window->dispatchApi("getVolume()", R"({"sn":"BZWA17422J1X20000093"})");
    const ResultCallback late = tesselsim::takeHeldCallback();
    QVERIFY(late);
    window->dispatchApi("ping()", "{}");
    QTRY_COMPARE(origin->text().section(" · ", 0, 0), QString("ping()"));
    std::thread([&] { late(0, "late"); }).join();
    QTRY_COMPARE(consoleReplyBox()->toPlainText(), QString("0\nlate"));
    QVERIFY2(QRegularExpression(R"(^getVolume\(\) · BZWA17422J1X20000093 · \d+ ms$)")
                 .match(origin->text())
                 .hasMatch(),
             qPrintable(origin->text()));
}

QTEST_MAIN(TestDispatch)
#include "tst_dispatch.moc"
