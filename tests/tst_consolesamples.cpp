// The console's samples against the simulated terminals: every sample sent
// from the console reaches its operation, and once the terminals are logged
// in, each gets a meaningful answer.
#include "console/demochildgui.h"
#include "mainwindow/demogui.h"
#include "operations/catalogue.h"
#include "operations/samples.h"
#include "requests/dispatchtable.h"
#include "simulator/errors.h"
#include "simulator/fleet.h"
#include "simulator/simulator.h"
#include "testsupport.h"

#include <QApplication>
#include <QComboBox>
#include <QPushButton>
#include <QTableWidget>
#include <QTextEdit>
#include <QtTest>

#include <nlohmann/json.hpp>

#include <set>

using namespace std::chrono_literals;

using namespace tessel;

namespace {

// The serial a sample names as a text, or "" when it names none that way.
std::string textSerial(const char* sample)
{
    const auto value = nlohmann::json::parse(sample, nullptr, false);
    if (value.is_object() && value.contains("sn") && value["sn"].is_string())
        return value["sn"].get<std::string>();
    return {};
}

} // namespace

class TestConsoleSamples : public QObject
{
    Q_OBJECT

private slots:
    void init()
    {
        tesselsim::reset();
        tesselsim::setLatency(0ms);
    }

    void cleanup()
    {
        tesselsim::reset();
        closeAllTopLevels();
    }

    void everyTextSerialBelongsToTheDefaultFleet()
    {
        std::set<std::string> fleet;
        for (const auto& terminal : tesselsim::defaultFleet())
            fleet.insert(terminal.sn);
        int checked = 0;
        for (const std::string& name : apiNames(0)) {
            const char* sample = sampleRequest(name);
            if (!sample || textSerial(sample).empty())
                continue;
            ++checked;
            QVERIFY2(fleet.count(textSerial(sample)), name.c_str());
        }
        QVERIFY(checked > 150);
    }

    void everySampleSentFromTheConsoleGetsAnAnswer()
    {
        auto fleet = tesselsim::defaultFleet();
        for (auto& terminal : fleet)
            terminal.hostLoggedIn = true;
        tesselsim::setFleet(fleet);
        DemoGUI window;
        QTRY_COMPARE(window.terminalList().size(), fleet.size());
        emit window.findChild<QTableWidget*>("tableWidget")->cellDoubleClicked(0, 0);
        DemoChildGUI* console = topLevel<DemoChildGUI>();
        QVERIFY(console);
        auto* names = console->findChild<QComboBox*>("comboBox_APIName");
        auto* request = console->findChild<QTextEdit*>("textEdit_2");
        auto* reply = console->findChild<QTextEdit*>("textEdit");
        auto* send = console->findChild<QPushButton*>("pushButton");
        QCOMPARE(names->count(), 271);

        std::set<std::string> done;
        for (int i = 0; i < names->count(); ++i) {
            const std::string name = names->itemText(i).toStdString();
            if (!done.insert(name).second)
                continue;
            names->setCurrentIndex(i);
            const std::size_t before = tesselsim::calls().size();
            send->click();
            const auto calls = tesselsim::calls();
            const tessel::DispatchEntry* entry = tessel::findDispatchEntry(name);
            QCOMPARE(calls.size() - before, std::size_t(entry ? 1 : 0));
            if (!entry)
                continue;
            const auto& call = calls.back();
            QCOMPARE(call.operation, std::string(entry->operation));
            if (!call.args.empty()) // callback-only operations take no request
                QCOMPARE(QString::fromStdString(call.args.at(0)), request->toPlainText());
            QVERIFY(tesselsim::waitIdle());
            QTRY_VERIFY(!reply->toPlainText().isEmpty());
            const QStringList lines = reply->toPlainText().split('\n');
            const int code = lines.at(0).toInt();
            const char* sample = sampleRequest(name);
            // A sample naming a listed, logged-in terminal never fails for the terminal's sake.
            if (sample && !textSerial(sample).empty())
                QVERIFY2(code != tesselsim::UnknownTerminal && code != tesselsim::NotLoggedIn,
                         qPrintable(QString::fromStdString(name) + ": " + reply->toPlainText()));
            reply->clear();
        }
        console->close();
    }
};

QTEST_MAIN(TestConsoleSamples)
#include "tst_consolesamples.moc"
