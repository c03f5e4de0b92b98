// The catalogue: module labels, list sizes and the order of the ALL list.

#include "operations/catalogue.h"

#include <QtTest>

#include <algorithm>
#include <map>
#include <set>
#include <string>
#include <vector>

using namespace tessel;

namespace {

struct ModuleRow
{
    int index;
    const char* label;
    int size;
    const char* first;
    const char* last;
};

// clang-format off
const ModuleRow moduleRows[] = {
        {0, "ALL(所有接口)", 0, nullptr, nullptr},
        {1, "诊断模块(Diagnosis)", 1, "待开发", "待开发"},
        {2, "多功能卡电源管理（PowerManager）", 6, "setTimingPowerSwitchStatus()", "logOut()"},
        {3, "音量调节（VolumeController）", 8, "getVolume()", "getTimingVolumeFor0x99()"},
        {4, "VPN连接管理（VPNConnection）", 3, "setVPNConnectInfo()", "VPNManagerFor0x99()"},
        {5, "APP管理（AppManager）", 10, "AMGetInstalledPackageInfo()", "stopService()"},
        {6, "播放日志（PlayLogger）", 2, "getPlaylogPath()", "ping()"},
        {7, "字体（PlayFont）", 4, "getPlayFontUploadPath()", "updateFont()"},
        {8, "生产功能测试", 1, "待开发", "待开发"},
        {9, "多屏拼接（LEDSplicer）", 2, "GetSpliceInfo()", "SetSpliceInfo()"},
        {10, "日志管理（RunningLogger）", 2, "getLogPath()", "getRunningLogPath()"},
        {11, "一键自检（SelfInspection）", 1, "待开发", "待开发"},
        {12, "IP音频（IPAudio）", 3, "setAudioPlayRealTime()", "getAudioPlayPolicy()"},
        {13, "定点投放（FixedPointDelivery）", 1, "待开发", "待开发"},
        {14, "紧急插播（EmergencyIntercut）", 1, "待开发", "待开发"},
        {15, "传感器子板（Sensor）", 2, "getSupportSensorInfo()", "setSupportSensorInfo()"},
        {16, "外投调节（ExternalDelivery）", 2, "setInfraRedConfig()", "getInfraRedConfig()"},
        {17, "射频管理（RadioFrequency）", 2, "getLoraInfo()", "setManalLightSync()"},
        {18, "终端电源控制（PowerController）", 17, "setManualSolidPower()", "setRelayPowerStatus()"},
        {19, "视频源控制（VideoSourceController）", 8, "getVideoControlInfo()", "setVideoSourcePolicyFor0x99()"},
        {20, "显示屏用户信息（UserManager）", 2, "setUserInfo()", "getUserInfo()"},
        {21, "搜索连接登录（Login）", 9, "getconfiguration()", "registerSkyrell()"},
        {22, "显示屏亮度&环境亮度（LightController）", 11, "setBrightnessAdjustMode()", "getPolicyBrightnessFor0x99()"},
        {23, "温度&色温（TemperatureController）", 3, "getColorTemperature()", "getScreenUnitTemp()"},
        {24, "开关屏管理（SwitchController）", 10, "setScreenPowerAdjustMode()", "GetScreenPowerPolicyFor0x99()"},
        {25, "系统文件管理（FileManager）", 3, "getFileMD5()", "deleteFile()"},
        {26, "清单管理（ListManager）", 8, "getProgramInfo()", "playListTransferError()"},
        {27, "高级特性（AdvancedFeatures）", 21, "setSyncPlay()", "setPolicySourceOutMode()"},
        {28, "采集器接收器（AcquisitionReceiver）", 3, "getPickerReceiver()", "deleteCollector()"},
        {29, "U盘相关协议（USBVPlay）", 2, "getUSBAuthentic()", "setUSBAuthentic()"},
        {30, "升级（UpgradeManager）", 3, "updateApp()", "updateAppVerify()"},
        {31, "网络配置（NetworkConfigurator）", 25, "getWifiList()", "setNetworkCheck()"},
        {32, "配屏（ScreenConfiguration）", 4, "SetRecvCardFile()", "setScreenAttributeSDK()"},
        {33, "halvex配置（HalvexConfigurator）", 2, "getHalvexConfigInfo()", "setHalvexConfigInfo()"},
        {34, "终端cloud配置（CloudConfigurator）", 4, "getBindPlayer()", "getPlayerIdentifer()"},
        {35, "监控（MonitorConfigurator）", 6, "getAvailableStorageData()", "getReceiverCountAndInfo()"},
        {36, "屏体其他项（ScreenManager）", 17, "getCurrentTimeAndZone()", "setTimeAndZone()"},
        {37, "其他/节目编辑（ProgramEditor）", 35, "createProgram()", "setAudioMedioProgram()"},
        {38, "其他/对时服务器列表(VerfityTime)", 4, "getNetTimingListInfo()", "updateNetTimingInfo()"},
        {39, "其他/节点服务器列表（NodeServerList）", 5, "getCloudPlayerList()", "changeNodeServerList()"},
        {40, "其他/用户反馈(Feedback）", 1, "uploadFeedbackInfo()", "uploadFeedbackInfo()"},
        {41, "其他/数据迁移(DatabaseMigration)", 1, "dataBaseMigration()", "dataBaseMigration()"},
        {42, "其他/TesselCore帮助（TesselCoreAssist）", 5, "downLoadFiles()", "rsaDecode()"},
        {43, "其他/绑定优化（BindingManager）", 1, "待开发initBindingManagerAPI", "待开发initBindingManagerAPI"},
        {44, "其他/获取时区列表（TimeZoneList）", 1, "待开发initTimeZoneListAPI", "待开发initTimeZoneListAPI"},
        {45, "批量小工具", 3, "batchLogin()", "batchSetScreenAttribute()"},
        {46, "终端日志上传", 6, "downloadTerminalLog()", "downloadTerminalPlayLog()"},
};
// clang-format on

int indexOf(const std::vector<std::string>& names, const std::string& name)
{
    const auto found = std::find(names.begin(), names.end(), name);
    return found == names.end() ? -1 : static_cast<int>(found - names.begin());
}

} // namespace

class TestCatalogue : public QObject
{
    Q_OBJECT

private slots:
    void counts();
    void modules_data();
    void modules();
    void allListSeams();
    void repeatedNames();
    void placeholders();
    void outOfRange();
};

void TestCatalogue::counts()
{
    QCOMPARE(apiModules().size(), std::size_t(47));
    QVERIFY(apiModules()[0].names.empty());
    const std::vector<std::string> all = apiNames(0);
    QCOMPARE(all.size(), std::size_t(271));
    QCOMPARE(std::set<std::string>(all.begin(), all.end()).size(), std::size_t(260));
    std::size_t total = 0;
    for (int index = 1; index < 47; ++index)
        total += apiNames(index).size();
    QCOMPARE(total, all.size());
}

void TestCatalogue::modules_data()
{
    QTest::addColumn<int>("index");
    QTest::addColumn<QString>("label");
    QTest::addColumn<int>("size");
    QTest::addColumn<QString>("first");
    QTest::addColumn<QString>("last");
    for (const ModuleRow& row : moduleRows)
        QTest::newRow(row.label) << row.index << QString::fromUtf8(row.label) << row.size
                                 << QString::fromUtf8(row.first) << QString::fromUtf8(row.last);
}

void TestCatalogue::modules()
{
    QFETCH(int, index);
    QFETCH(QString, label);
    QFETCH(int, size);
    QFETCH(QString, first);
    QFETCH(QString, last);
    const ApiModule& module = apiModules()[static_cast<std::size_t>(index)];
    QCOMPARE(QString::fromUtf8(module.label), label);
    QCOMPARE(static_cast<int>(module.names.size()), size);
    if (index == 0)
        return;
    const std::vector<std::string> names = apiNames(index);
    QCOMPARE(static_cast<int>(names.size()), size);
    QCOMPARE(QString::fromStdString(names.front()), first);
    QCOMPARE(QString::fromStdString(names.back()), last);
}

void TestCatalogue::allListSeams()
{
    const std::vector<std::string> all = apiNames(0);
    QCOMPARE(QString::fromStdString(all[0]), QStringLiteral("待开发"));
    QCOMPARE(QString::fromStdString(all[1]), QStringLiteral("setTimingPowerSwitchStatus()"));

    // Module 30 stands between the end of module 36 and the start of module 37.
    const int timeAndZone = indexOf(all, "setTimeAndZone()");
    QVERIFY(timeAndZone >= 0);
    QCOMPARE(all[static_cast<std::size_t>(timeAndZone + 1)], std::string("updateApp()"));
    QCOMPARE(all[static_cast<std::size_t>(timeAndZone + 2)], std::string("updateOS()"));
    QCOMPARE(all[static_cast<std::size_t>(timeAndZone + 3)], std::string("updateAppVerify()"));
    QCOMPARE(all[static_cast<std::size_t>(timeAndZone + 4)], std::string("createProgram()"));
    QCOMPARE(indexOf(all, "getUSBAuthentic()") + 2, indexOf(all, "getWifiList()")); // 29 then 31

    const int resolutio = indexOf(all, "setCurrentResolutio()");
    QVERIFY(resolutio >= 0);
    QCOMPARE(indexOf(all, "getCurrentResolution()"), resolutio + 1);

    QCOMPARE(all.back(), std::string("downloadTerminalPlayLog()"));
    QCOMPARE(apiNames(46).back(), std::string("downloadTerminalPlayLog()"));
    QCOMPARE(apiNames(30), (std::vector<std::string>{"updateApp()", "updateOS()", "updateAppVerify()"}));
}

void TestCatalogue::repeatedNames()
{
    const std::vector<std::string> all = apiNames(0);
    std::map<std::string, int> counts;
    for (const std::string& name : all)
        ++counts[name];
    const std::map<std::string, int> repeated = {
        {"待开发", 5},
        {"getCloudPlayerList()", 2},
        {"getSendCardMonitorInfo()", 2},
        {"getReceiverCountAndInfo()", 2},
        {"getNetTimingListInfo()", 2},
        {"addNetTimingInfo()", 2},
        {"deleteNetTimingInfo()", 2},
        {"updateNetTimingInfo()", 2},
    };
    for (const auto& [name, count] : counts) {
        const auto found = repeated.find(name);
        QCOMPARE(count, found == repeated.end() ? 1 : found->second);
    }
    QCOMPARE(apiNames(38), (std::vector<std::string>{"getNetTimingListInfo()", "addNetTimingInfo()",
                                                     "deleteNetTimingInfo()", "updateNetTimingInfo()"}));
}

void TestCatalogue::placeholders()
{
    for (int index : {1, 8, 11, 13, 14})
        QCOMPARE(apiNames(index), std::vector<std::string>{"待开发"});
    QCOMPARE(apiNames(43), std::vector<std::string>{"待开发initBindingManagerAPI"});
    QCOMPARE(apiNames(44), std::vector<std::string>{"待开发initTimeZoneListAPI"});
}

void TestCatalogue::outOfRange()
{
    QVERIFY(apiNames(-1).empty());
    QVERIFY(apiNames(47).empty());
}

QTEST_APPLESS_MAIN(TestCatalogue)
#include "tst_catalogue.moc"
