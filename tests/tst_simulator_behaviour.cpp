// The simulated SDK answering like terminals: settings that read back, the
// login requirement, lists that keep what is added, faults that can be
// injected, and a reset that forgets it all.
#include "sdkoperations.h"
#include "simulator/behaviour.h"
#include "simulator/errors.h"
#include "simulator/faults.h"
#include "simulator/fleet.h"
#include "simulator/simulator.h"
#include "tessel/tesselcoreasync.h"

#include <QtTest>

#include <nlohmann/json.hpp>

#include <map>
#include <memory>
#include <mutex>
#include <set>

using namespace std::chrono_literals;
using nlohmann::json;
using tesselsim::Reply;
using Replies = std::vector<Reply>;

// Plain ints, for comparing with what the tests read back.
struct Answer
{
    int code;
    std::string text;
};

Q_DECLARE_METATYPE(std::string)

namespace {

constexpr char loggedIn[] = "BZWA17422J1X20000093";  // logged in by default
constexpr char loggedOut[] = "BZSA07194A0049999716"; // in the fleet, not logged in

// Every invocation of one call's callback, once the simulator is idle.
Replies call(const std::string& operation, const std::string& request)
{
    struct Sink
    {
        std::mutex mutex;
        Replies replies;
    };
    auto sink = std::make_shared<Sink>();
    ResultCallback callback = [sink](unsigned short code, const char* reply) {
        std::lock_guard<std::mutex> lock(sink->mutex);
        sink->replies.push_back(Reply{code, reply});
    };
    if (operation == "tsPingAsync")
        TesselCoreAsync::tsPingAsync(callback);
    else if (operation == "tsLogOutAsync")
        TesselCoreAsync::tsLogOutAsync(callback);
    else
        requestOperations().at(operation)(request.c_str(), callback);
    if (!tesselsim::waitIdle())
        qWarning("simulator not idle after %s", operation.c_str());
    std::lock_guard<std::mutex> lock(sink->mutex);
    return sink->replies;
}

// The one reply of a call; a call answering other than once yields code -1.
Answer once(const std::string& operation, const json& request)
{
    const Replies replies =
        call(operation, request.is_string() ? request.get<std::string>() : request.dump());
    if (replies.size() != 1)
        return Answer{-1, std::to_string(replies.size()) + " replies"};
    return Answer{replies.front().code, replies.front().text};
}

json body(const Answer& reply)
{
    return json::parse(reply.text, nullptr, false);
}

json body(const Reply& reply)
{
    return json::parse(reply.text, nullptr, false);
}

void logIn(const std::string& sn)
{
    auto terminals = tesselsim::fleet();
    for (auto& terminal : terminals)
        if (terminal.sn == sn)
            terminal.hostLoggedIn = true;
    tesselsim::setFleet(terminals);
}

} // namespace

class TestSimulatorBehaviour : public QObject
{
    Q_OBJECT

private slots:
    void init();
    void cleanup();

    void tablesAreComplete();
    void everyOperationAnswers_data();
    void everyOperationAnswers();
    void settingReadsBack_data();
    void settingReadsBack();
    void settingsArePerTerminal();
    void terminalRequestRefused_data();
    void terminalRequestRefused();
    void accessRequestRefused_data();
    void accessRequestRefused();
    void failureRepliesAreUtf8_data();
    void failureRepliesAreUtf8();
    void transferReportsProgress();
    void programEditing();
    void templates();
    void serverList_data();
    void serverList();
    void cloudAccountsAndBinding();
    void faultsFailOrDelay();
    void fleetFileFaults_data();
    void fleetFileFaults();
    void fleetFileOnDisk();
    void defaultFleetCarriesSampleSerials();
    void resetForgetsEverything();
};

void TestSimulatorBehaviour::init()
{
    tesselsim::reset();
    tesselsim::setLatency(0ms);
}

void TestSimulatorBehaviour::cleanup()
{
    QVERIFY(tesselsim::waitIdle());
    tesselsim::reset();
}

void TestSimulatorBehaviour::tablesAreComplete()
{
    const auto faults = tesselsim::detail::checkBehaviourTables();
    for (const std::string& fault : faults)
        qWarning("%s", fault.c_str());
    QVERIFY(faults.empty());
}

// A request that satisfies the row's member list, sent to a logged-in terminal.
void TestSimulatorBehaviour::everyOperationAnswers_data()
{
    using namespace tesselsim::detail;
    QTest::addColumn<std::string>("operation");
    QTest::addColumn<std::string>("request");
    QTest::addColumn<int>("replies");
    for (const Behaviour& row : behaviours()) {
        if (row.kind == Kind::Custom)
            continue;
        json request = json::object();
        if (row.scope == Scope::Terminal)
            request["sn"] = loggedIn;
        QString members = QString::fromUtf8(row.members);
        for (const QString& member : members.split(' ', Qt::SkipEmptyParts)) {
            if (member == "*")
                request["value"] = 1;
            else if (member.endsWith("{}"))
                request[member.chopped(2).toStdString()] = json::object();
            else
                request[member.toStdString()] = "x";
        }
        for (const MemberRange& check : memberRanges())
            if (row.operation == std::string(check.operation))
                request[json::json_pointer(check.pointer)] = check.min;
        QTest::newRow(row.operation) << std::string(row.operation) << request.dump()
                                     << (row.kind == Kind::Progress ? 3 : 1);
    }
}

void TestSimulatorBehaviour::everyOperationAnswers()
{
    QFETCH(std::string, operation);
    QFETCH(std::string, request);
    QFETCH(int, replies);
    const Replies answers = call(operation, request);
    QCOMPARE(int(answers.size()), replies);
    for (const Reply& answer : answers) {
        QVERIFY2(answer.code == 0, answer.text.c_str());
        QVERIFY2(body(answer).is_object(), answer.text.c_str());
    }
}

void TestSimulatorBehaviour::settingReadsBack_data()
{
    QTest::addColumn<std::string>("getter");
    QTest::addColumn<std::string>("before");
    QTest::addColumn<std::string>("setter");
    QTest::addColumn<std::string>("request");
    QTest::addColumn<std::string>("after");
    QTest::newRow("volume, sample text")
        << std::string("tsGetVolumeAsync") << std::string(R"({"ratio":50.0})")
        << std::string("tsSetVolumeAsync")
        << std::string(R"({"sn":"BZWA17422J1X20000093","volumeInfo" :{"ratio":60.0}})")
        << std::string(R"({"ratio":60.0})");
    QTest::newRow("scalar member") << std::string("tsGetSyncPlayAsync") << std::string(R"({"enable":false})")
                                   << std::string("tsSetSyncPlayAsync")
                                   << std::string(R"({"sn":"BZWA17422J1X20000093","enable":true})")
                                   << std::string(R"({"enable":true})");
    QTest::newRow("several members")
        << std::string("tsGetAPNetworkAsync")
        << std::string(R"({"aliasName":"BZWA17422J1X20000093","suffix":"","password":"","channelId":6})")
        << std::string("tsSetAPNetworkAsync")
        << std::string(
               R"({"sn":"BZWA17422J1X20000093","aliasName":"ap","suffix":"5G","password":"p","channelId":11,"x":1})")
        << std::string(R"({"aliasName":"ap","suffix":"5G","password":"p","channelId":11})");
    QTest::newRow("terminal's own values")
        << std::string("tsGetEthernetInfoAsync")
        << std::string(
               R"({"ethernets":[{"dhcp":true,"dns":[],"gateWay":"192.168.1.1","ip":"192.168.1.22","mask":"255.255.255.0","name":"eth0","scopeId":-1}]})")
        << std::string("tsSetEthernetInfoAsync")
        << std::string(R"({"sn":"BZWA17422J1X20000093","taskInfo":{"ethernets":[]}})")
        << std::string(R"({"ethernets":[]})");
    QTest::newRow("any members") << std::string("tsGetSpliceInfoAsync")
                                 << std::string(R"({"enable":false,"rows":1,"columns":1,"screens":[]})")
                                 << std::string("tsSetSpliceInfoAsync")
                                 << std::string(R"({"sn":"BZWA17422J1X20000093","rows":2})")
                                 << std::string(R"({"rows":2})");
    QTest::newRow("play state") << std::string("tsGetProgramInfoAsync")
                                << std::string(R"({"identifier":"","state":"STOPPED"})")
                                << std::string("tsStartPlayAsync")
                                << std::string(R"({"sn":"BZWA17422J1X20000093","identifier":"p1"})")
                                << std::string(R"({"identifier":"p1","state":"PLAYING"})");
    QTest::newRow("two names, one setting")
        << std::string("tsGetScreenPowerPolicyFor0x99Async")
        << std::string(R"({"enable":false,"conditions":[]})")
        << std::string("tssetScreenPowerPolicy0x99Async")
        << std::string(R"({"sn":"BZWA17422J1X20000093","taskInfo":{"enable":true,"conditions":[]}})")
        << std::string(R"({"enable":true,"conditions":[]})");
}

void TestSimulatorBehaviour::settingReadsBack()
{
    QFETCH(std::string, getter);
    QFETCH(std::string, before);
    QFETCH(std::string, setter);
    QFETCH(std::string, request);
    QFETCH(std::string, after);
    const json get = {{"sn", loggedIn}};
    QCOMPARE(once(getter, get).text, before);
    const Answer set = once(setter, json(request));
    QCOMPARE(set.code, 0);
    QCOMPARE(body(set)["sn"], json(loggedIn));
    QCOMPARE(once(getter, get).text, after);
}

void TestSimulatorBehaviour::settingsArePerTerminal()
{
    logIn(loggedOut);
    QCOMPARE(once("tsSetVolumeAsync", {{"sn", loggedIn}, {"volumeInfo", {{"ratio", 10}}}}).code, 0);
    QCOMPARE(once("tsGetVolumeAsync", {{"sn", loggedOut}}).text, std::string(R"({"ratio":50.0})"));
    QCOMPARE(once("tsGetVolumeAsync", {{"sn", loggedIn}}).text, std::string(R"({"ratio":10})"));
    // Deleting the collectors brings back the default.
    QCOMPARE(once("tsAddCollectorAsync", {{"sn", loggedIn}, {"info", {{"pickers", {1}}}}}).code, 0);
    QCOMPARE(once("tsGetPickerReceiverAsync", {{"sn", loggedIn}}).text, std::string(R"({"pickers":[1]})"));
    QCOMPARE(once("tsDeleteCollectorAsync", {{"sn", loggedIn}, {"info", {{"type", 0}}}}).code, 0);
    QCOMPARE(once("tsGetPickerReceiverAsync", {{"sn", loggedIn}}).text, std::string(R"({"pickers":[]})"));
}

void TestSimulatorBehaviour::terminalRequestRefused_data()
{
    QTest::addColumn<std::string>("request");
    QTest::addColumn<int>("code");
    QTest::addColumn<QString>("text");
    QTest::newRow("unknown terminal")
        << std::string(R"({"sn":"NOSUCH","volumeInfo":{"ratio":1}})") << int(tesselsim::UnknownTerminal)
        << QString(R"(no terminal with serial number "NOSUCH")");
    QTest::newRow("not logged in")
        << std::string(R"({"sn":"BZSA07194A0049999716","volumeInfo":{"ratio":1}})")
        << int(tesselsim::NotLoggedIn)
        << QString("terminal BZSA07194A0049999716 is not logged in: log in to it first");
    QTest::newRow("not JSON") << std::string("getVolume data") << int(tesselsim::RequestNotJson)
                              << QString(R"(request is not a JSON object: "getVolume data")");
    QTest::newRow("empty") << std::string() << int(tesselsim::RequestNotJson)
                           << QString(R"(request is not a JSON object: "")");
    QTest::newRow("broken sample") << std::string(R"({"sn":"BZSA17313J0820001562","enable":false true})")
                                   << int(tesselsim::RequestNotJson)
                                   << QString("request is not a JSON object");
    QTest::newRow("array") << std::string("[1]") << int(tesselsim::RequestNotJson)
                           << QString("request is not a JSON object");
    QTest::newRow("no sn") << std::string(R"({"volumeInfo":{"ratio":1}})") << int(tesselsim::MissingMember)
                           << QString(R"(request names no terminal: member "sn" is missing)");
    QTest::newRow("empty sn") << std::string(R"({"sn":"","volumeInfo":{"ratio":1}})")
                              << int(tesselsim::MissingMember)
                              << QString(R"(request names no terminal: member "sn" is empty)");
    QTest::newRow("numeric sn") << std::string(R"({"sn":4,"volumeInfo":{"ratio":1}})")
                                << int(tesselsim::InvalidMember)
                                << QString(
                                       R"(member "sn" must be a terminal's serial number as a text, not 4)");
    QTest::newRow("member missing") << std::string(R"({"sn":"BZWA17422J1X20000093","ratio":1})")
                                    << int(tesselsim::MissingMember)
                                    << QString(R"(request lacks member "volumeInfo")");
    QTest::newRow("member not an object")
        << std::string(R"({"sn":"BZWA17422J1X20000093","volumeInfo":60})") << int(tesselsim::InvalidMember)
        << QString(R"(member "volumeInfo" must be an object, not 60)");
    QTest::newRow("out of range")
        << std::string(R"({"sn":"BZWA17422J1X20000093","volumeInfo":{"ratio":101}})")
        << int(tesselsim::InvalidMember)
        << QString(R"(member "/volumeInfo/ratio" must be a number from 0 to 100, not 101)");
    // Walking a value recurses per level; 100000 levels overflowed the stack.
    QTest::newRow("nested too deep") << R"({"sn":"BZWA17422J1X20000093","volumeInfo":)" +
                                            std::string(100000, '[') + std::string(100000, ']') + "}"
                                     << int(tesselsim::RequestNotJson)
                                     << QString("request nests deeper than 256 levels of arrays and objects");
    QTest::newRow("range member missing")
        << std::string(R"({"sn":"BZWA17422J1X20000093","volumeInfo":{}})") << int(tesselsim::MissingMember)
        << QString(R"(request lacks member "/volumeInfo/ratio")");
}

void TestSimulatorBehaviour::terminalRequestRefused()
{
    QFETCH(std::string, request);
    QFETCH(int, code);
    QFETCH(QString, text);
    const Answer reply = once("tsSetVolumeAsync", json(request));
    QCOMPARE(reply.code, code);
    QVERIFY2(QString::fromStdString(reply.text).startsWith(text), reply.text.c_str());
    // Nothing was stored.
    QCOMPARE(once("tsGetVolumeAsync", {{"sn", loggedIn}}).text, std::string(R"({"ratio":50.0})"));
}

// Login, log-out and password change refuse like every other operation.
void TestSimulatorBehaviour::accessRequestRefused_data()
{
    QTest::addColumn<std::string>("operation");
    QTest::addColumn<std::string>("request");
    QTest::addColumn<int>("code");
    QTest::addColumn<QString>("text");
    QTest::newRow("login, numeric sn")
        << std::string("tsLoginAsync") << std::string(R"({"sn":4,"username":"admin","password":"123456"})")
        << int(tesselsim::InvalidMember)
        << QString(R"(member "sn" must be a terminal's serial number as a text, not 4)");
    QTest::newRow("login, numeric password")
        << std::string("tsLoginAsync") << R"({"sn":")" + std::string(loggedOut) + R"(","password":123456})"
        << int(tesselsim::InvalidMember) << QString("request has a member of the wrong type");
    QTest::newRow("log-out, not logged in")
        << std::string("tsLogoutAsync") << R"({"sn":")" + std::string(loggedOut) + R"(","type":1})"
        << int(tesselsim::NotLoggedIn)
        << QString("terminal ") + loggedOut + " is not logged in: log in to it first";
    QTest::newRow("password change, no sn")
        << std::string("tsChangePassWordAsync") << std::string(R"({"username":"admin"})")
        << int(tesselsim::MissingMember) << QString(R"(request names no terminal: member "sn" is missing)");
}

void TestSimulatorBehaviour::accessRequestRefused()
{
    QFETCH(std::string, operation);
    QFETCH(std::string, request);
    QFETCH(int, code);
    QFETCH(QString, text);
    const Answer reply = once(operation, json(request));
    QCOMPARE(reply.code, code);
    QVERIFY2(QString::fromStdString(reply.text).startsWith(text), reply.text.c_str());
    for (const tesselsim::Terminal& terminal : tesselsim::fleet())
        QCOMPARE(terminal.hostLoggedIn, terminal.sn == loggedIn);
}

// Failure replies quote what was sent; the quote stays UTF-8 and whole, as a
// reply ends at its first NUL.
void TestSimulatorBehaviour::failureRepliesAreUtf8_data()
{
    QTest::addColumn<std::string>("operation");
    QTest::addColumn<std::string>("request");
    QTest::addColumn<int>("code");
    QTest::addColumn<std::string>("text");
    const std::string replacement = "\xEF\xBF\xBD"; // U+FFFD
    const std::string longText = std::string(199, 'x') + "节目";
    QTest::newRow("not JSON, not UTF-8")
        << std::string("tsGetVolumeAsync") << std::string("\xD6 volume") << int(tesselsim::RequestNotJson)
        << "request is not UTF-8 (byte 0 is not part of a character): \"" + replacement + " volume\"";
    QTest::newRow("cut before a character that does not fit")
        << std::string("tsGetVolumeAsync") << longText << int(tesselsim::RequestNotJson)
        << "request is not a JSON object: \"" + std::string(199, 'x') + "...\"";
    QTest::newRow("login request not UTF-8")
        << std::string("tsLoginAsync") << std::string("\xff") << int(tesselsim::RequestNotJson)
        << "request is not UTF-8 (byte 0 is not part of a character): \"" + replacement + "\"";
    QTest::newRow("bare address not UTF-8")
        << std::string("tsSearchAppointIpAsync") << std::string("10.0.0.\xC3") << int(tesselsim::NothingFound)
        << "search of address \"10.0.0." + replacement + "\": no terminal answered";
    QTest::newRow("serial number with a NUL")
        << std::string("tsGetVolumeAsync") << std::string(R"({"sn":"A\u0000B"})")
        << int(tesselsim::UnknownTerminal) << "no terminal with serial number \"A" + replacement + "B\"";
    QTest::newRow("login serial number with a NUL")
        << std::string("tsLoginAsync") << std::string(R"({"sn":"A\u0000B","username":"admin"})")
        << int(tesselsim::UnknownTerminal) << "no terminal with serial number \"A" + replacement + "B\"";
}

void TestSimulatorBehaviour::failureRepliesAreUtf8()
{
    QFETCH(std::string, operation);
    QFETCH(std::string, request);
    QFETCH(int, code);
    QFETCH(std::string, text);
    const Replies replies = call(operation, request);
    QCOMPARE(replies.size(), std::size_t(1));
    QCOMPARE(int(replies[0].code), code);
    QCOMPARE(replies[0].text, text);
}

void TestSimulatorBehaviour::transferReportsProgress()
{
    const Replies replies =
        call("tsDownloadTerminalLogAsync",
             R"({"sn":"BZWA17422J1X20000093","fileName":"test_upload","filePath":"E:/test"})");
    QCOMPARE(replies.size(), std::size_t(3));
    int expected[] = {0, 50, 100};
    for (std::size_t i = 0; i < replies.size(); ++i) {
        QCOMPARE(int(replies[i].code), 0);
        QCOMPARE(body(replies[i])["progress"], json(expected[i]));
        QCOMPARE(body(replies[i])["sn"], json(loggedIn));
    }
    QCOMPARE(body(replies[2])["result"], json("downloaded"));
    // A refused transfer answers once.
    QCOMPARE(call("tsDownloadTerminalLogAsync", R"({"sn":"BZWA17422J1X20000093"})").size(), std::size_t(1));
}

void TestSimulatorBehaviour::programEditing()
{
    QCOMPARE(
        once("tsSetPageProgramAsync", {{"programID", 1}, {"pageID", 1}, {"pageInfo", json::object()}}).code,
        int(tesselsim::NotFound));
    const Answer created =
        once("tsCreateProgramAsync", {{"name", "节目01"}, {"width", 1920}, {"height", 1080}});
    QCOMPARE(created.text, std::string(R"({"programID":1})"));
    QCOMPARE(once("tsCreateProgramAsync", {{"name", "second"}}).text, std::string(R"({"programID":2})"));
    QCOMPARE(once("tsCreateProgramAsync", {{"width", 10}}).code, int(tesselsim::MissingMember));
    QCOMPARE(once("tsCreateProgramAsync", {{"name", "x"}, {"width", -1}}).code,
             int(tesselsim::InvalidMember));
    QCOMPARE(once("tsMakeProgramAsync", {{"programID", 1}, {"outPutPath", "E:/out"}}).code,
             int(tesselsim::NotFound));

    const json page = {{"name", "节目01"}, {"widgetContainers", json::array()}};
    QCOMPARE(once("tsSetPageProgramAsync", {{"programID", 1}, {"pageID", 3}, {"pageInfo", page}}).code, 0);
    QCOMPARE(body(once("tsGetProgramAsync", {{"programID", 1}, {"pageID", 3}}))["pageInfo"], page);
    QCOMPARE(once("tsGetProgramAsync", {{"programID", 1}, {"pageID", 4}}).code, int(tesselsim::NotFound));
    QCOMPARE(
        once("tsSetAudioProgramAsync", {{"programID", 1}, {"taskInfo", {{"audioList", json::array()}}}}).code,
        0);
    QCOMPARE(once("tsSetPageProgramsAsync", {{"programID", 1}, {"sceneItems", json::array()}}).code, 0);
    const json whole = body(once("tsGetProgramAsync", {{"programID", 1}}));
    QCOMPARE(whole["name"], json("节目01"));
    QCOMPARE(whole["pages"].size(), std::size_t(1));
    QCOMPARE(whole["audio"], json({{"audioList", json::array()}}));
    QCOMPARE(body(once("tsMakeProgramAsync", {{"programID", 1}, {"outPutPath", "E:/out"}}))["pageCount"],
             json(1));

    // The empty request of the catalogue lists every program.
    QCOMPARE(
        call("tsGetProgramAsync", "").front().text,
        std::string(
            R"({"programs":[{"programID":1,"name":"节目01","pageIDs":[3]},{"programID":2,"name":"second","pageIDs":[]}]})"));
    QCOMPARE(once("tsDeleteProgramAsync", {{"programID", 1}}).code, 0);
    QCOMPARE(once("tsGetProgramAsync", {{"programID", 1}}).code, int(tesselsim::NotFound));
    QCOMPARE(once("tsDeleteProgramAsync", {{"programID", "2"}}).code, int(tesselsim::InvalidMember));
}

void TestSimulatorBehaviour::templates()
{
    const json data = {{"width", 100}, {"height", 50}, {"left", 0}, {"top", 0}, {"zindex", 1}};
    QCOMPARE(once("tsAddTplAsync", {{"data", data}}).text, std::string(R"({"tplID":1})"));
    QCOMPARE(body(once("tsGetCustomerTplAsync", json::object()))["templates"],
             json::parse(R"([{"tplID":1,"data":{"width":100,"height":50,"left":0,"top":0,"zindex":1}}])"));
    QCOMPARE(once("tsEditTplAsync", {{"tplID", 1}, {"data", {{"width", 1}}}}).code, 0);
    QCOMPARE(body(once("tsGetCustomerTplAsync", ""))["templates"][0]["data"], json({{"width", 1}}));
    QCOMPARE(once("tsEditTplAsync", {{"tplID", 2}, {"data", data}}).code, int(tesselsim::NotFound));
    QCOMPARE(once("tsSetSystemTplInfoAsync", {{"data", data}}).code, 0);
    QCOMPARE(body(once("tsGetCustomerTplAsync", ""))["systemTemplate"], data);
    QCOMPARE(once("tsDeleteTplAsync", {{"tplID", 1}}).code, 0);
    QCOMPARE(once("tsDeleteTplAsync", {{"tplID", 1}}).code, int(tesselsim::NotFound));
    QCOMPARE(body(once("tsGetCustomerTplAsync", ""))["templates"], json::array());
}

void TestSimulatorBehaviour::serverList_data()
{
    QTest::addColumn<QStringList>("operations"); // get, add, delete, update
    QTest::newRow("time servers") << QStringList{"tsGetNetTimingListInfoAsync", "tsAddNetTimingInfoAsync",
                                                 "tsDeleteNetTimingInfoAsync", "tsUpdateNetTimingInfoAsync"};
    QTest::newRow("node servers") << QStringList{"tsGetNodeServerListAsync", "tsAddNodeServerListAsync",
                                                 "tsDeleteNodeServerListAsync",
                                                 "tsChangeNodeServerListAsync"};
}

void TestSimulatorBehaviour::serverList()
{
    QFETCH(QStringList, operations);
    const std::string get = operations[0].toStdString(), add = operations[1].toStdString(),
                      remove = operations[2].toStdString(), update = operations[3].toStdString();
    auto servers = [&] {
        return body(once(get, {{"lang", "en"}}))["servers"];
    };
    const json initial = servers();
    QCOMPARE(initial.size(), std::size_t(2));

    const json added = {{"label", "lab"}, {"node", "lab.example.com"}};
    QCOMPARE(once(add, added).code, 0);
    QCOMPARE(servers().back(), added);
    QCOMPARE(once(add, added).code, int(tesselsim::AlreadyExists));
    QCOMPARE(once(add, {{"label", "no node"}}).code, int(tesselsim::MissingMember));

    const json renamed = {{"label", "lab 2"}, {"node", "lab2.example.com"}};
    QCOMPARE(once(update, {{"oldServer", added}, {"newServer", renamed}}).code, 0);
    QCOMPARE(servers().back(), renamed);
    QCOMPARE(once(update, {{"oldServer", added}, {"newServer", renamed}}).code, int(tesselsim::NotFound));
    QCOMPARE(once(update, {{"oldServer", renamed}, {"newServer", initial[0]}}).code,
             int(tesselsim::AlreadyExists));

    QCOMPARE(once(remove, renamed).code, 0);
    QCOMPARE(servers(), initial);
    QCOMPARE(once(remove, renamed).code, int(tesselsim::NotFound));
}

void TestSimulatorBehaviour::cloudAccountsAndBinding()
{
    const json demo = {{"username", "demo_user01"}, {"password", "Demo@123456"}};
    const json list = {{"host", "cloud.example.com"}, {"data", demo}};
    QCOMPARE(body(once("tsGetCloudPlayerListAsync", list))["players"], json::array());
    QCOMPARE(once("tsSetBindPlayerAsync", {{"sn", loggedIn}, {"playerInfo", demo}}).code, 0);
    QCOMPARE(body(once("tsGetBindPlayerAsync", {{"sn", loggedIn}}))["bound"], json(true));
    QCOMPARE(once("tsGetBindPlayerAsync", {{"sn", loggedOut}}).code, int(tesselsim::NotLoggedIn));
    QCOMPARE(body(once("tsGetCloudPlayerListAsync", list))["players"][0]["sn"], json(loggedIn));
    QCOMPARE(
        once("tsGetCloudPlayerListAsync", {{"data", {{"username", "demo_user01"}, {"password", "x"}}}}).code,
        int(tesselsim::WrongCredentials));

    // Registering needs a verification code, once.
    const json newcomer = {{"username", "new@example.com"}, {"password", "pw"}, {"verifyCode", "000000"}};
    QCOMPARE(once("tsRegisterSkyrell", newcomer).code, int(tesselsim::NotFound));
    QCOMPARE(once("tsGetVerifyCode", "").code, int(tesselsim::MissingMember));
    const std::string code = body(once("tsGetVerifyCode", {{"username", "new@example.com"}}))["verifyCode"];
    QCOMPARE(code.size(), std::size_t(6));
    if (code != "000000")
        QCOMPARE(once("tsRegisterSkyrell", newcomer).code, int(tesselsim::WrongCredentials));
    json registering = newcomer;
    registering["verifyCode"] = code;
    QCOMPARE(once("tsRegisterSkyrell", registering).code, 0);
    QCOMPARE(once("tsRegisterSkyrell", registering).code, int(tesselsim::AlreadyExists));

    const json login = {{"type", 0},        {"username", "new@example.com"},
                        {"node", "cn"},     {"password", "pw"},
                        {"verifyCode", ""}, {"countryCode", "86"}};
    QCOMPARE(once("tsLoginSkyrell", login).code, 0);
    json wrong = login;
    wrong["password"] = "nope";
    QCOMPARE(once("tsLoginSkyrell", wrong).code, int(tesselsim::WrongCredentials));
    json byCode = login;
    byCode["type"] = 1;
    byCode["verifyCode"] = body(once("tsGetVerifyCode", {{"username", "new@example.com"}}))["verifyCode"];
    QCOMPARE(once("tsLoginSkyrell", byCode).code, 0);
    QCOMPARE(body(once("tsLogOutAsync", ""))["result"], json("logged out"));
    QCOMPARE(body(once("tsLogOutAsync", ""))["result"], json("no cloud account was logged in"));

    const std::string text = "节目 \x01 end";
    const std::string encoded = body(once("tsRsaEncodeAsync", {{"data", text}}))["data"];
    QCOMPARE(body(once("tsRsaDecodeAsync", {{"data", encoded}}))["data"], json(text));
    QCOMPARE(once("tsRsaDecodeAsync", {{"data", "abc"}}).code, int(tesselsim::InvalidMember));
}

void TestSimulatorBehaviour::faultsFailOrDelay()
{
    tesselsim::setFaults(
        {{"tsGetVolumeAsync", 1234, "volume board offline", 0ms}, {"tsGetCPUUsageAsync", 0, "", 300ms}});
    const Answer failed = once("tsGetVolumeAsync", {{"sn", loggedIn}});
    QCOMPARE(failed.code, 1234);
    QCOMPARE(failed.text, std::string("volume board offline"));
    // Scripts still take precedence.
    tesselsim::scriptReplies("tsGetVolumeAsync", {{0, "scripted"}});
    QCOMPARE(once("tsGetVolumeAsync", {{"sn", loggedIn}}).text, std::string("scripted"));

    // The delayed call, started first, answers last.
    std::mutex mutex;
    std::vector<std::string> order;
    auto recorder = [&](std::string name) {
        return [&mutex, &order, name](unsigned short, const char*) {
            std::lock_guard<std::mutex> lock(mutex);
            order.push_back(name);
        };
    };
    TesselCoreAsync::tsGetCPUUsageAsync(R"({"sn":"BZWA17422J1X20000093"})", recorder("delayed"));
    TesselCoreAsync::tsGetCPUTempAsync(R"({"sn":"BZWA17422J1X20000093"})", recorder("prompt"));
    QVERIFY(tesselsim::waitIdle());
    QCOMPARE(order, (std::vector<std::string>{"prompt", "delayed"}));

    tesselsim::reset();
    QVERIFY(tesselsim::faults().empty());
    QCOMPARE(once("tsGetVolumeAsync", {{"sn", loggedIn}}).code, 0);
}

void TestSimulatorBehaviour::fleetFileFaults_data()
{
    QTest::addColumn<std::string>("faults");
    QTest::addColumn<std::string>("error"); // empty: accepted
    QTest::newRow("code and text") << std::string(
                                          R"([{"operation":"tsGetVolumeAsync","code":1234,"text":"t"}])")
                                   << std::string();
    QTest::newRow("delay only") << std::string(R"([{"operation":"tsLoginAsync","delayMs":2000}])")
                                << std::string();
    QTest::newRow("none") << std::string("[]") << std::string();
    QTest::newRow("not an array") << std::string(R"({"operation":"tsGetVolumeAsync"})")
                                  << std::string(R"("faults" must be an array)");
    QTest::newRow("not an object") << std::string("[1]") << std::string("fault 0: must be an object");
    QTest::newRow("no operation") << std::string(R"([{"code":1}])")
                                  << std::string(
                                         R"(fault 0: "operation" must be the name of an SDK operation)");
    QTest::newRow("unknown operation")
        << std::string(R"x([{"operation":"getVolume()","code":1}])x")
        << std::string(R"x(fault 0: "operation": no SDK operation is named "getVolume()")x");
    QTest::newRow("code too large") << std::string(R"([{"operation":"tsPingAsync","code":65536}])")
                                    << std::string(R"(fault 0: "code" must be an integer from 0 to 65535)");
    QTest::newRow("code negative") << std::string(R"([{"operation":"tsPingAsync","code":-1}])")
                                   << std::string(R"(fault 0: "code" must be an integer from 0 to 65535)");
    QTest::newRow("text not a string") << std::string(R"([{"operation":"tsPingAsync","code":2,"text":3}])")
                                       << std::string(R"(fault 0: "text" must be a string)");
    QTest::newRow("text without code")
        << std::string(R"([{"operation":"tsPingAsync","delayMs":5,"text":"t"}])")
        << std::string(R"(fault 0: "text" is the text of a failure)");
    QTest::newRow("negative delay") << std::string(R"([{"operation":"tsPingAsync","delayMs":-5}])")
                                    << std::string(
                                           R"(fault 0: "delayMs" must be an integer from 0 to 600000)");
    QTest::newRow("nothing to inject")
        << std::string(R"([{"operation":"tsPingAsync"}])")
        << std::string(R"(fault 0: needs a non-zero "code" or a non-zero "delayMs")");
    QTest::newRow("misspelt member") << std::string(R"([{"operation":"tsPingAsync","delayMS":5}])")
                                     << std::string(R"(fault 0: unknown member "delayMS")");
    QTest::newRow("twice")
        << std::string(R"([{"operation":"tsPingAsync","code":1},{"operation":"tsPingAsync","code":2}])")
        << std::string("fault 1: a second fault for tsPingAsync");
    // Names from the file are quoted with JSON's escapes: the error stays one line.
    QTest::newRow("member name with a line feed")
        << std::string(R"([{"operation":"tsPingAsync","code":1,"de\nlay":5}])")
        << std::string(R"(fault 0: unknown member "de\nlay")");
    QTest::newRow("operation with a NUL")
        << std::string(R"([{"operation":"tsPing\u0000Async","code":1}])")
        << std::string(R"(fault 0: "operation": no SDK operation is named "tsPing\u0000Async")");
}

void TestSimulatorBehaviour::fleetFileFaults()
{
    QFETCH(std::string, faults);
    QFETCH(std::string, error);
    const std::string text = R"({"terminals":[{"sn":"A1","ip":"127.0.0.1"}],"faults":)" + faults + "}";
    tesselsim::FleetFile file;
    std::string problem;
    const bool parsed = tesselsim::parseFleetFile(text, file, problem);
    if (error.empty()) {
        QVERIFY2(parsed, problem.c_str());
        QCOMPARE(file.terminals.size(), std::size_t(1));
        return;
    }
    QVERIFY(!parsed);
    QVERIFY(file.terminals.empty() && file.faults.empty());
    QVERIFY2(problem.rfind(error, 0) == 0, problem.c_str());
    QVERIFY(problem.find_first_of(std::string("\n\0", 2)) == std::string::npos);
}

void TestSimulatorBehaviour::fleetFileOnDisk()
{
    QTemporaryFile file;
    QVERIFY(file.open());
    file.write(R"({"terminals":[{"sn":"A1"}],
                  "faults":[{"operation":"tsGetVolumeAsync","code":1234,"text":"音量板离线","delayMs":10},
                            {"operation":"tsPingAsync","code":7}]})");
    file.close();
    std::string error;
    const tesselsim::FleetFile fleet = tesselsim::loadFleet(file.fileName().toStdString(), error);
    QVERIFY2(error.empty(), error.c_str());
    QCOMPARE(fleet.faults.size(), std::size_t(2));
    QCOMPARE(fleet.faults[0].operation, std::string("tsGetVolumeAsync"));
    QCOMPARE(int(fleet.faults[0].code), 1234);
    QCOMPARE(fleet.faults[0].text, std::string("音量板离线"));
    QCOMPARE(fleet.faults[0].delay, 10ms);
    QCOMPARE(fleet.faults[1].text, std::string("injected fault of tsPingAsync"));

    const std::string missing = file.fileName().toStdString() + ".gone";
    QVERIFY(tesselsim::loadFleet(missing, error).terminals.empty());
    QCOMPARE(error, "fleet file " + missing + ": cannot be read");
}

void TestSimulatorBehaviour::defaultFleetCarriesSampleSerials()
{
    const auto fleet = tesselsim::defaultFleet();
    const std::vector<std::string> serials = {"BZSA07194A0049999716",
                                              "BZWA17422J1X20000093",
                                              "BZSA79353N1310006847",
                                              "BZVA28407N3X20008006",
                                              "W9A5HAJW",
                                              "BZSA07201A0010000183",
                                              "BZSA07313J0350000997",
                                              "BZSA17313J0820001562",
                                              "123456789",
                                              "123465"};
    QCOMPARE(fleet.size(), serials.size());
    std::set<std::string> addresses;
    for (std::size_t i = 0; i < fleet.size(); ++i) {
        QCOMPARE(fleet[i].sn, serials[i]);
        QCOMPARE(fleet[i].hostLoggedIn, i == 1);
        QVERIFY(!fleet[i].name.empty());
        QVERIFY(QString::fromStdString(fleet[i].ip).startsWith("192.168.1."));
        addresses.insert(fleet[i].ip);
    }
    QCOMPARE(addresses.size(), fleet.size());
    QCOMPARE(tesselsim::fleet().size(), fleet.size());
}

void TestSimulatorBehaviour::resetForgetsEverything()
{
    logIn(loggedOut);
    QCOMPARE(once("tsSetVolumeAsync", {{"sn", loggedOut}, {"volumeInfo", {{"ratio", 1}}}}).code, 0);
    QCOMPARE(once("tsCreateProgramAsync", {{"name", "p"}}).code, 0);
    QCOMPARE(once("tsAddTplAsync", {{"data", json::object()}}).code, 0);
    QCOMPARE(once("tsAddNodeServerListAsync", {{"label", "l"}, {"node", "n"}}).code, 0);
    QCOMPARE(
        once("tsSetBindPlayerAsync",
             {{"sn", loggedIn}, {"playerInfo", {{"username", "demo_user01"}, {"password", "Demo@123456"}}}})
            .code,
        0);
    tesselsim::setFaults({{"tsPingAsync", 5, "x", 0ms}});

    tesselsim::reset();
    tesselsim::setLatency(0ms);
    logIn(loggedOut);
    QCOMPARE(once("tsGetVolumeAsync", {{"sn", loggedOut}}).text, std::string(R"({"ratio":50.0})"));
    QCOMPARE(once("tsCreateProgramAsync", {{"name", "p"}}).text, std::string(R"({"programID":1})"));
    QCOMPARE(once("tsAddTplAsync", {{"data", json::object()}}).text, std::string(R"({"tplID":1})"));
    QCOMPARE(body(once("tsGetNodeServerListAsync", ""))["servers"].size(), std::size_t(2));
    QCOMPARE(body(once("tsGetBindPlayerAsync", {{"sn", loggedIn}}))["bound"], json(false));
    QCOMPARE(once("tsPingAsync", "").code, 0);
}

QTEST_GUILESS_MAIN(TestSimulatorBehaviour)
#include "tst_simulator_behaviour.moc"
