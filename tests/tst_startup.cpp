// The entry: the mode test, export mode without window or SDK, and the
// built program started the ways a user would.
#include "simulator/fleet.h"
#include "simulator/simulator.h"
#include "tessel-console/startup.h"
#include "testsupport.h"

#include <QApplication>
#include <QProcess>
#include <QRegularExpression>
#include <QTemporaryDir>
#include <QtTest>

namespace {

struct Run
{
    int exitCode = -1;
    QProcess::ExitStatus status = QProcess::CrashExit;
    QString out, err;
};

Run runProgram(const QStringList& arguments, const QProcessEnvironment& environment)
{
    QProcess process;
    process.setProcessEnvironment(environment);
    process.start(QStringLiteral(TESSEL_CONSOLE_EXE), arguments);
    Run run;
    if (!process.waitForFinished(60000)) {
        process.kill();
        process.waitForFinished();
        return run;
    }
    run.exitCode = process.exitCode();
    run.status = process.exitStatus();
    run.out = QString::fromUtf8(process.readAllStandardOutput());
    run.err = QString::fromUtf8(process.readAllStandardError());
    return run;
}

QProcessEnvironment headless(const QString& snapshotDir)
{
    QProcessEnvironment environment = QProcessEnvironment::systemEnvironment();
    environment.insert("QT_QPA_PLATFORM", "offscreen");
    environment.insert("TESSEL_SNAPSHOT", snapshotDir);
    environment.insert("TESSEL_SIM_LATENCY_MS", "0");
    environment.remove("TESSEL_SIM_FLEET");
    return environment;
}

} // namespace

class TestStartup : public QObject
{
    Q_OBJECT

private slots:
    void init() { tesselsim::reset(); }
    void cleanup() { tesselsim::reset(); }

    // Qt's own texts follow the program's language; ours are not touched.
    void qtTextsInChinese()
    {
        tessel::installQtTranslation(*qApp);
        QCOMPARE(QCoreApplication::translate("QLineEdit", "&Copy"), QString("复制(&C)"));
        QCOMPARE(QCoreApplication::translate("DemoChildGUIClass", "请求"), QString("请求"));
    }

    void modeTest_data()
    {
        QTest::addColumn<QStringList>("arguments");
        QTest::addColumn<bool>("exportMode");
        QTest::newRow("none") << QStringList{} << false;
        QTest::newRow("switch and root") << QStringList{"-export", "/src/root"} << true;
        QTest::newRow("root with blanks") << QStringList{"-export", "C:/my tree/"} << true;
        QTest::newRow("switch alone") << QStringList{"-export"} << false;
        QTest::newRow("one argument too many") << QStringList{"-export", "/src", "more"} << false;
        QTest::newRow("capitals") << QStringList{"-EXPORT", "/src"} << false;
        QTest::newRow("other switch") << QStringList{"-exports", "/src"} << false;
        QTest::newRow("switch second") << QStringList{"/src", "-export"} << false;
    }

    void modeTest()
    {
        QFETCH(QStringList, arguments);
        QFETCH(bool, exportMode);
        std::vector<QByteArray> storage{"tessel-console"};
        for (const QString& argument : arguments)
            storage.push_back(argument.toUtf8());
        std::vector<const char*> argv;
        for (const QByteArray& argument : storage)
            argv.push_back(argument.constData());
        argv.push_back(nullptr);
        QCOMPARE(tessel::isExportMode(int(storage.size()), argv.data()), exportMode);
    }

    void exportModeOpensNoWindowAndLeavesTheSdkAlone()
    {
        QTemporaryDir root;
        QByteArray program("tessel-console"), exportSwitch("-export"), rootPath = root.path().toUtf8();
        char* argv[] = {program.data(), exportSwitch.data(), rootPath.data(), nullptr};
        auto* app = qobject_cast<QApplication*>(QCoreApplication::instance());
        tessel::run(*app, 3, argv, false);
        QVERIFY(QApplication::topLevelWidgets().isEmpty());
        QVERIFY(tesselsim::calls().empty());
    }

    void headlessRunListsTheFleet_data()
    {
        QTest::addColumn<QStringList>("arguments");
        QTest::newRow("no arguments") << QStringList{};
        QTest::newRow("switch alone") << QStringList{"-export"};
        QTest::newRow("extra argument") << QStringList{"-export", "/src", "more"};
        QTest::newRow("capitals") << QStringList{"-EXPORT", "/src"};
    }

    void headlessRunListsTheFleet()
    {
        QFETCH(QStringList, arguments);
        QTemporaryDir snapshots;
        const Run run = runProgram(arguments, headless(snapshots.path()));
        QCOMPARE(run.status, QProcess::NormalExit);
        QCOMPARE(run.exitCode, 0);
        const QStringList rows = run.out.split('\n', Qt::SkipEmptyParts);
        QCOMPARE(rows.size(), int(tesselsim::defaultFleet().size()));
        QCOMPARE(rows[0], QString("大厅主屏 | 未登录 | 192.168.1.21 | 1920*1080"));
        QCOMPARE(rows[1], QString("会议室屏 | 已被上位机登录 | 192.168.1.22 | 1280*720"));
        QVERIFY(QFileInfo(snapshots.filePath("main.png")).size() > 0);
    }

    void qtOptionsAreRemovedBeforeTheModeTest()
    {
        QTemporaryDir snapshots;
        QTemporaryDir root;
        const Run run = runProgram({"-export", root.path(), "-style", "fusion"}, headless(snapshots.path()));
        QCOMPARE(run.status, QProcess::NormalExit);
        QVERIFY2(run.out.isEmpty(), qPrintable(run.out)); // no table printed: no window
        QVERIFY(!QFileInfo::exists(snapshots.filePath("main.png")));
    }

    void exportModeNeedsNoDisplay()
    {
        QTemporaryDir root;
        QProcessEnvironment environment = QProcessEnvironment::systemEnvironment();
        for (const char* name : {"DISPLAY", "WAYLAND_DISPLAY", "QT_QPA_PLATFORM"})
            environment.remove(name);
        const Run run = runProgram({"-export", root.path()}, environment);
        QCOMPARE(run.status, QProcess::NormalExit);
        QVERIFY2(!run.err.contains("display", Qt::CaseInsensitive), qPrintable(run.err));
    }

    void emptyFleetFileShowsOneClearLine()
    {
        QTemporaryDir dir;
        const QString fleet = dir.filePath("fleet.json");
        QFile file(fleet);
        QVERIFY(file.open(QIODevice::WriteOnly));
        file.write("{\"terminals\": [");
        file.close();
        QProcessEnvironment environment = headless(dir.filePath("snap"));
        environment.insert("TESSEL_SIM_FLEET", fleet);
        // The empty fleet's failure reply opens a warning box, which nobody
        // closes in a headless run; the snapshot is taken all the same.
        const Run run = runProgram({}, environment);
        QCOMPARE(run.exitCode, 0);
        QVERIFY2(run.err.contains("fleet file " + fleet + ": not valid JSON"), qPrintable(run.err));
        QVERIFY(run.out.isEmpty());
    }

    void timedRun_data()
    {
        QTest::addColumn<QString>("rows");
        QTest::addColumn<int>("exitCode");
        QTest::newRow("first row") << "1" << 0;
        QTest::newRow("whole fleet") << QString::number(tesselsim::defaultFleet().size()) << 0;
        QTest::newRow("zero") << "0" << 1;
        QTest::newRow("negative") << "-3" << 1;
        QTest::newRow("not a number") << "many" << 1;
        QTest::newRow("too many") << "1000001" << 1;
    }

    void timedRun()
    {
        QFETCH(QString, rows);
        QFETCH(int, exitCode);
        QProcessEnvironment environment = headless(QString());
        environment.remove("TESSEL_SNAPSHOT");
        environment.insert("TESSEL_EXIT_AFTER_ROWS", rows);
        const Run run = runProgram({}, environment);
        QCOMPARE(run.status, QProcess::NormalExit);
        QCOMPARE(run.exitCode, exitCode);
        if (exitCode == 0) {
            const QRegularExpression line("^rows in: " + rows +
                                          " after \\d+ ms from process start, peak memory \\d+ KiB\n$");
            QVERIFY2(line.match(run.out).hasMatch(), qPrintable(run.out));
        } else {
            QVERIFY(run.out.isEmpty());
            QVERIFY2(
                run.err.contains("TESSEL_EXIT_AFTER_ROWS=" + rows + " is not a row count from 1 to 1000000"),
                qPrintable(run.err));
        }
    }
};

QTEST_MAIN(TestStartup)
#include "tst_startup.moc"
