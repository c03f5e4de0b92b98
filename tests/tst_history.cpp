// The console's history: results filed under the send that caused them, the
// limits, texts kept as they were, and the window's keys and "载入". The
// database itself has tst_historystore.

#include "console/consolehistory.h"
#include "console/consoletools.h"
#include "console/demochildgui.h"
#include "console/windowplacement.h"
#include "history/historyfile.h"
#include "history/historymodel.h"
#include "history/historyrecorder.h"
#include "historywindow/historywindow.h"
#include "mainwindow/demogui.h"
#include "simulator/simulator.h"
#include "testsupport.h"

#include <QClipboard>
#include <QComboBox>
#include <QDir>
#include <QFile>
#include <QFontMetrics>
#include <QHeaderView>
#include <QJsonArray>
#include <QJsonDocument>
#include <QJsonObject>
#include <QLineEdit>
#include <QMenu>
#include <QPlainTextEdit>
#include <QPushButton>
#include <QStandardPaths>
#include <QTableView>
#include <QTextEdit>
#include <QWindow>
#include <QtTest>

#include <memory>
#include <thread>

namespace {

QString dataDir()
{
    return QStandardPaths::writableLocation(QStandardPaths::AppDataLocation);
}

QString historyPath()
{
    return tessel::HistoryRecorder::defaultFilePath();
}

// A recorder on the test's history database, once it has read it in.
std::unique_ptr<tessel::HistoryRecorder> loadedRecorder(tessel::HistoryLimits limits = {})
{
    auto recorder = std::make_unique<tessel::HistoryRecorder>(historyPath(), limits);
    recorder->ensureLoaded();
    if (!QTest::qWaitFor([&] { return recorder->isLoaded(); }))
        qWarning("the history was not read in");
    return recorder;
}

QStringList operationsOf(const tessel::HistoryRecorder& recorder)
{
    QStringList operations;
    for (const tessel::HistoryEntry& entry : recorder.list().all())
        operations << entry.operation;
    return operations;
}

QStringList setAsideFiles()
{
    return QDir(dataDir()).entryList({"history.sqlite.damaged-*"}, QDir::Files);
}

} // namespace

class TestHistory : public QObject
{
    Q_OBJECT

private slots:
    void initTestCase();
    void init();
    void cleanup();

    void resultsGoToTheirSend_data();
    void resultsGoToTheirSend();
    void cap_data();
    void cap();
    void windowOpens_data();
    void windowOpens();
    void loadPutsRequestBack_data();
    void loadPutsRequestBack();
    void filter_data();
    void filter();
    void tabLeavesTheTable_data();
    void tabLeavesTheTable();
    void detailOfLongTexts_data();
    void detailOfLongTexts();
    void textsSurvive_data();
    void textsSurvive();
    void placeClearOf_data();
    void placeClearOf();
    void loadUncoversTheRequestBox();
};

void TestHistory::initTestCase()
{
    QStandardPaths::setTestModeEnabled(true);
}

void TestHistory::init()
{
    tesselsim::reset();
    QDir(dataDir()).removeRecursively();
}

void TestHistory::cleanup()
{
    closeAllTopLevels();
    tesselsim::reset();
    QDir(dataDir()).removeRecursively();
}

void TestHistory::resultsGoToTheirSend_data()
{
    QTest::addColumn<QString>("first");          // its callback is held and invoked late
    QTest::addColumn<QVector<int>>("lateCodes"); // invocations of the held callback
    QTest::addColumn<int>("secondResults");      // of the newer send, answered at once

    QTest::newRow("late result after a newer send") << "setVolume()" << QVector<int>{7} << 1;
    QTest::newRow("a transfer answers three times") << "startTransferProgram()" << QVector<int>{0, 0, 0} << 1;
    QTest::newRow("no SDK operation: recorded, no result") << "runApp()" << QVector<int>{} << 1;
}

void TestHistory::resultsGoToTheirSend()
{
    QFETCH(QString, first);
    QFETCH(QVector<int>, lateCodes);
    QFETCH(int, secondResults);
    {
        auto window = std::make_unique<DemoGUI>();
        QVERIFY(tesselsim::waitIdle());
        tessel::HistoryRecorder& recorder = topLevel<DemoChildGUI>()->history().recorder();
        recorder.ensureLoaded();
        QTRY_VERIFY(recorder.isLoaded());
        if (!lateCodes.isEmpty())
            tesselsim::holdNextCallback(first == "setVolume()" ? "tsSetVolumeAsync"
                                                               : "tsStartTransferProgramAsync");
        window->dispatchApi(first.toUtf8(), R"({"sn":"BZSA07194A0049999716","volume":5})");
        const ResultCallback held = tesselsim::takeHeldCallback();
        QCOMPARE(bool(held), !lateCodes.isEmpty());
        window->dispatchApi("getVolume()", R"({"sn":"BZSA07194A0049999716"})");
        QTRY_COMPARE(recorder.list().at(1).results.size(), std::size_t(secondResults));
        // The late ones come from a thread of the SDK's, after the newer result.
        std::thread([&] {
            for (int code : lateCodes)
                held(static_cast<unsigned short>(code), "late");
        }).join();
        QTRY_COMPARE(recorder.list().at(0).results.size(), std::size_t(lateCodes.size()));
        QCOMPARE(operationsOf(recorder), (QStringList{first, "getVolume()"}));
        QCOMPARE(recorder.list().at(0).serial, QString("BZSA07194A0049999716"));
        for (int i = 0; i < lateCodes.size(); ++i) {
            QCOMPARE(recorder.list().at(0).results[std::size_t(i)].code, lateCodes[i]);
            QVERIFY(recorder.list().at(0).results[std::size_t(i)].ms >= 0);
        }
    }
    // After a restart the file tells the same.
    const auto recorder = loadedRecorder();
    QTRY_VERIFY(recorder->isLoaded());
    QCOMPARE(operationsOf(*recorder), (QStringList{first, "getVolume()"}));
    QCOMPARE(recorder->list().at(0).results.size(), std::size_t(lateCodes.size()));
    QCOMPARE(recorder->list().at(1).results.size(), std::size_t(secondResults));
    QVERIFY(setAsideFiles().isEmpty());
}

void TestHistory::cap_data()
{
    QTest::addColumn<int>("cap");
    QTest::addColumn<int>("textBytes");  // request and reply text kept
    QTest::addColumn<int>("replyBytes"); // of one reply
    QTest::addColumn<int>("sends");
    QTest::addColumn<QString>("reply"); // of each send
    QTest::addColumn<int>("kept");      // the latest sends kept after a restart
    QTest::addColumn<int>("cutAt");     // bytes of the reply kept, -1: whole

    const int large = 1 << 20;
    QTest::newRow("below the cap") << 3 << large << large << 2 << "r" << 2 << -1;
    QTest::newRow("just past the cap") << 3 << large << large << 4 << "r" << 3 << -1;
    QTest::newRow("many times the cap") << 3 << large << large << 20 << "r" << 3 << -1;
    // Each send holds 2 bytes of request and 300 of reply: three fit in 1,000.
    QTest::newRow("past the text limit") << 100 << 1000 << large << 10 << QString(300, 'x') << 3 << -1;
    QTest::newRow("the newest stays, however long")
        << 100 << 1000 << large << 3 << QString(2000, 'x') << 1 << -1;
    QTest::newRow("reply cut before a character it would split")
        << 100 << large << 100 << 1 << QString(98, 'x') + "😀" << 1 << 98;
    QTest::newRow("reply just within its limit")
        << 100 << large << 100 << 1 << QString(96, 'x') + "😀" << 1 << -1;
}

void TestHistory::cap()
{
    QFETCH(int, cap);
    QFETCH(int, textBytes);
    QFETCH(int, replyBytes);
    QFETCH(int, sends);
    QFETCH(QString, reply);
    QFETCH(int, kept);
    QFETCH(int, cutAt);
    const tessel::HistoryLimits limits{cap, textBytes, replyBytes};
    QStringList expected;
    {
        const auto recorder = loadedRecorder(limits);
        for (int i = 0; i < sends; ++i) {
            const QByteArray operation = "op" + QByteArray::number(i) + "()";
            recorder->recordSend(operation, "{}").record(i, reply);
            if (i >= sends - kept)
                expected << operation;
        }
        QTRY_COMPARE(recorder->list().at(recorder->list().endIndex() - 1).results.size(), std::size_t(1));
        QCOMPARE(int(recorder->list().all().size()), std::min(cap, sends));
    }
    const auto reread = loadedRecorder(limits);
    QCOMPARE(operationsOf(*reread), expected);
    const tessel::HistoryResult& last = reread->list().at(reread->list().endIndex() - 1).results.at(0);
    if (cutAt < 0) {
        QCOMPARE(last.reply, reply);
        QCOMPARE(last.cutFromBytes, qint64(0));
    } else {
        // Cut at a whole character, with a mark that says so.
        QCOMPARE(last.cutFromBytes, qint64(reply.toUtf8().size()));
        QVERIFY(last.reply.startsWith(QString::fromUtf8(reply.toUtf8().left(cutAt))));
        QVERIFY(last.reply.mid(cutAt).contains(QString::number(last.cutFromBytes)));
        QVERIFY(!last.reply.contains(QChar::ReplacementCharacter));
    }
}

void TestHistory::windowOpens_data()
{
    QTest::addColumn<bool>("byMenu");

    QTest::newRow("Ctrl+H") << false;
    QTest::newRow("request box menu entry") << true;
}

void TestHistory::windowOpens()
{
    QFETCH(bool, byMenu);
    DemoChildGUI console;
    console.show();
    QApplication::setActiveWindow(&console);
    QVERIFY(QTest::qWaitForWindowActive(&console));
    tessel::HistoryRecorder& recorder = console.history().recorder();
    recorder.recordSend("getVolume()", R"({"sn":"S1"})");
    if (byMenu) {
        // The entry stands in the request box's one menu, after the console's own.
        std::unique_ptr<QMenu> menu(console.findChild<tessel::ConsoleTools*>()->requestMenu());
        QAction* entry = menu->actions().constLast();
        QVERIFY(entry->text().startsWith("历史记录"));
        entry->trigger();
    } else {
        QTest::keyClick(console.findChild<QTextEdit*>("textEdit_2"), Qt::Key_H, Qt::ControlModifier);
    }
    auto* window = topLevel<tessel::HistoryWindow>();
    QVERIFY(window);
    QVERIFY(window->isVisible());
    // Selected before the older requests are read in, and still selected after.
    auto* detail = window->findChild<QPlainTextEdit*>("historyDetail");
    window->selectEntry(recorder.list().endIndex() - 1);
    QVERIFY(detail->toPlainText().contains("S1"));
    QVERIFY(!window->parent());
    // Owned by the console, so kept above it alone, not above every window.
    QVERIFY(!window->windowFlags().testFlag(Qt::WindowStaysOnTopHint));
    QVERIFY(window->windowHandle());
    QCOMPARE(window->windowHandle()->transientParent(), console.windowHandle());
    QCOMPARE(window->windowType(), Qt::Dialog); // else X11 drops the owner
    QVERIFY(window->windowFlags().testFlag(Qt::WindowMaximizeButtonHint));
    QTRY_VERIFY(window->isActiveWindow());
    // "载入" brings the console forward and leaves the window open.
    QTRY_VERIFY(recorder.isLoaded());
    QVERIFY(detail->toPlainText().contains("S1"));
    window->selectEntry(recorder.list().firstIndex());
    window->findChild<QPushButton*>("historyLoad")->click();
    QTRY_VERIFY(console.isActiveWindow());
    QVERIFY(window->isVisible());
}

void TestHistory::loadPutsRequestBack_data()
{
    QTest::addColumn<int>("moduleOnShow");
    QTest::addColumn<QString>("operation");
    QTest::addColumn<int>("moduleAfter");
    QTest::addColumn<QString>("nameAfter"); // what the name box shows after "载入"

    QTest::newRow("listed in the module on show") << 0 << "getVolume()" << 0 << "getVolume()";
    QTest::newRow("listed in another module")
        << 1 << "setScreenBrightness()" << 22 << "setScreenBrightness()";
    QTest::newRow("not in the catalogue") << 0 << "noSuchOperation()" << 0 << "待开发";
}

void TestHistory::loadPutsRequestBack()
{
    QFETCH(int, moduleOnShow);
    QFETCH(QString, operation);
    QFETCH(int, moduleAfter);
    QFETCH(QString, nameAfter);
    DemoChildGUI console;
    auto* modules = console.findChild<QComboBox*>("comboBox_APIModule");
    auto* names = console.findChild<QComboBox*>("comboBox_APIName");
    auto* request = console.findChild<QTextEdit*>("textEdit_2");
    modules->setCurrentIndex(moduleOnShow);
    names->setCurrentIndex(0);
    tessel::HistoryRecorder& recorder = console.history().recorder();
    const QString text = "{\n  \"sn\": \"BZSA07194A0049999716\",\n  \"note\": \"历史\"\n}";
    recorder.recordSend(operation.toUtf8(), text.toUtf8());
    recorder.recordSend("ping()", "{}");
    console.history().openWindow();
    tessel::HistoryWindow& window = console.history().window();
    QTRY_VERIFY(recorder.isLoaded());

    window.selectEntry(recorder.list().firstIndex());
    QVERIFY(window.findChild<QTableView*>("historyTable")->model()->rowCount() == 2);
    window.findChild<QPushButton*>("historyLoad")->click();
    QCOMPARE(modules->currentIndex(), moduleAfter);
    QCOMPARE(names->currentText(), nameAfter);
    QCOMPARE(request->toPlainText(), text);
    QVERIFY(window.findChild<QLabel*>("historyStatus")->text().isEmpty() == (nameAfter == operation));
}

void TestHistory::filter_data()
{
    QTest::addColumn<QString>("text");
    QTest::addColumn<int>("serialWidth");   // set by hand first; 0: as the window opens
    QTest::addColumn<QStringList>("shown"); // operations, newest first

    QTest::newRow("none, narrowed by hand")
        << "" << 60 << QStringList{"ping()", "setVolume()", "getVolume()"};
    QTest::newRow("operation, any case") << "VOLUME" << 0 << QStringList{"setVolume()", "getVolume()"};
    QTest::newRow("part of a serial, widened by hand") << "0049999716" << 400 << QStringList{"getVolume()"};
    QTest::newRow("last code") << "1003" << 0 << QStringList{"setVolume()"};
    QTest::newRow("nothing matches") << "nosuch" << 0 << QStringList{};
}

void TestHistory::filter()
{
    QFETCH(QString, text);
    QFETCH(int, serialWidth);
    QFETCH(QStringList, shown);
    tessel::HistoryRecorder recorder(historyPath());
    recorder.recordSend("getVolume()", R"({"sn":"BZSA07194A0049999716"})").record(0, "{}");
    recorder.recordSend("setVolume()", R"({"sn":"BZSA79353N1310006847"})").record(1003, "not logged in");
    recorder.recordSend("ping()", "");
    QTRY_COMPARE(recorder.list().at(1).results.size(), std::size_t(1));
    tessel::HistoryWindow window(recorder);
    window.show();
    auto* table = window.findChild<QTableView*>("historyTable");
    QHeaderView* header = table->horizontalHeader();
    if (serialWidth > 0)
        header->resizeSection(tessel::HistoryModel::SerialColumn, serialWidth);
    auto widths = [header] {
        QVector<int> sizes;
        for (int column = 0; column < header->count(); ++column)
            sizes << header->sectionSize(column);
        return sizes;
    };
    const QVector<int> before = widths();
    // A full date and time fits, and so does a serial number.
    const QFontMetrics metrics = table->fontMetrics();
    QVERIFY(before[tessel::HistoryModel::TimeColumn] > metrics.horizontalAdvance("2026-12-31 23:59:59"));
    QVERIFY(serialWidth > 0 ||
            before[tessel::HistoryModel::SerialColumn] > metrics.horizontalAdvance("BZSA07194A0049999716"));
    auto* filter = window.findChild<QLineEdit*>("historyFilter");
    const QAbstractItemModel* rows = table->model();
    QSignalSpy refilled(rows, &QAbstractItemModel::modelReset);
    filter->setText("x"); // a change even for the empty text
    filter->setText(text);
    auto operations = [&] {
        QStringList list;
        for (int row = 0; row < rows->rowCount(); ++row)
            list << rows->index(row, 2).data().toString();
        return list;
    };
    QTRY_VERIFY(refilled.count() >= 2); // emptied, then filled with the rows that match
    QTRY_COMPARE(operations(), shown);
    // Refilling keeps the widths, set by hand or not.
    QCOMPARE(widths(), before);
    QCOMPARE(header->sectionResizeMode(tessel::HistoryModel::OperationColumn), QHeaderView::Stretch);
}

namespace {

// Three requests in a shown, active history window, the middle one selected.
struct ShownHistory
{
    ShownHistory() : recorder(historyPath()), window(recorder)
    {
        for (const char* operation : {"getVolume()", "setVolume()", "ping()"})
            recorder.recordSend(operation, R"({"sn":"BZSA07194A0049999716"})");
        window.show();
        QApplication::setActiveWindow(&window);
        table = window.findChild<QTableView*>("historyTable");
    }
    // With `selected` < 0 nothing is selected and the filter has the keyboard.
    bool ready(int selected = 1)
    {
        if (!QTest::qWaitForWindowActive(&window) ||
            !QTest::qWaitFor([this] { return table->model()->rowCount() == 3; }))
            return false;
        QWidget* focused =
            selected < 0 ? static_cast<QWidget*>(window.findChild<QLineEdit*>("historyFilter")) : table;
        if (selected >= 0)
            table->selectionModel()->setCurrentIndex(table->model()->index(selected, 0),
                                                     QItemSelectionModel::ClearAndSelect |
                                                         QItemSelectionModel::Rows);
        focused->setFocus();
        return QTest::qWaitFor([focused] { return focused->hasFocus(); });
    }

    tessel::HistoryRecorder recorder;
    tessel::HistoryWindow window;
    QTableView* table = nullptr;
};

} // namespace

void TestHistory::tabLeavesTheTable_data()
{
    QTest::addColumn<int>("selected"); // -1: none, the keyboard in the filter
    QTest::addColumn<QList<int>>("keys");
    QTest::addColumn<QString>("focused");
    QTest::addColumn<int>("currentRow");
    QTest::newRow("tab") << 1 << QList<int>{Qt::Key_Tab} << "historyDetail" << 1;
    QTest::newRow("shift+tab") << 1 << QList<int>{Qt::Key_Backtab} << "historyFilter" << 1;
    QTest::newRow("down") << 1 << QList<int>{Qt::Key_Down} << "historyTable" << 2;
    QTest::newRow("tab in, none selected") << -1 << QList<int>{Qt::Key_Tab} << "historyTable" << 0;
}

// Tab leaves the table, and the request on show stays; the arrows move in it.
void TestHistory::tabLeavesTheTable()
{
    QFETCH(int, selected);
    QFETCH(QList<int>, keys);
    QFETCH(QString, focused);
    QFETCH(int, currentRow);
    ShownHistory shown;
    QVERIFY(shown.ready(selected));
    const auto* detail = shown.window.findChild<QPlainTextEdit*>("historyDetail");
    const QString before = detail->toPlainText();
    for (int key : keys)
        QTest::keyClick(QApplication::focusWidget(), Qt::Key(key));
    QCOMPARE(QApplication::focusWidget()->objectName(), focused);
    QCOMPARE(shown.table->currentIndex().row(), currentRow);
    QCOMPARE(shown.table->selectionModel()->selectedRows().size(), 1);
    QCOMPARE(shown.table->selectionModel()->selectedRows().at(0).row(), currentRow);
    if (currentRow == selected)
        QCOMPARE(detail->toPlainText(), before);
}

void TestHistory::detailOfLongTexts_data()
{
    QTest::addColumn<int>("requestChars");
    QTest::addColumn<int>("replyChars");
    QTest::addColumn<int>("notShown"); // characters left out of the pane, in all

    QTest::newRow("at the limit") << 100000 << 100000 << 0;
    QTest::newRow("long request") << 300000 << 20 << 200000;
    QTest::newRow("long reply") << 20 << 100001 << 1;
}

void TestHistory::detailOfLongTexts()
{
    QFETCH(int, requestChars);
    QFETCH(int, replyChars);
    QFETCH(int, notShown);
    tessel::HistoryRecorder recorder(historyPath());
    const QString request(requestChars, 'A');
    const QString reply(replyChars, 'B');
    recorder.recordSend("getVolume()", request.toUtf8()).record(0, reply);
    QTRY_COMPARE(recorder.list().at(recorder.list().firstIndex()).results.size(), std::size_t(1));
    tessel::HistoryWindow window(recorder);
    window.selectEntry(recorder.list().firstIndex());
    const auto* detail = window.findChild<QPlainTextEdit*>("historyDetail");
    QTRY_VERIFY(detail->toPlainText().contains("结果 1"));
    const QString text = detail->toPlainText();
    QCOMPARE(text.contains(request) && text.contains(reply), notShown == 0);
    QCOMPARE(text.count("未显示"), notShown == 0 ? 0 : 1);
    if (notShown > 0)
        QVERIFY(text.contains(QString("另有 %1 个字符").arg(notShown)));
    // "复制" copies both whole.
    window.findChild<QPushButton*>("historyCopy")->click();
    const QString copied = QApplication::clipboard()->text();
    QVERIFY(copied.contains(request) && copied.contains(reply));
}

void TestHistory::textsSurvive_data()
{
    QTest::addColumn<QString>("text");  // as request and as reply
    QTest::addColumn<QString>("batch"); // of the send

    QTest::newRow("quotes and backslashes") << R"({"path":"C:\\media\\a.mp4","say":"\"hi\""})" << QString();
    QTest::newRow("line breaks and tabs") << "line one\n\tline two\r\n" << QString("batch 1");
    QTest::newRow("non-ASCII") << "节目一 · ✓ 😀" << QString("批量-2");
    QTest::newRow("control characters") << QString::fromUtf8("a\x01b\x1f\x7f") << QString();
    QTest::newRow("empty") << "" << QString();
}

void TestHistory::textsSurvive()
{
    QFETCH(QString, text);
    QFETCH(QString, batch);
    {
        tessel::HistoryRecorder recorder(historyPath());
        const tessel::HistoryTicket ticket = recorder.recordSend("getVolume()", text.toUtf8(), batch);
        ticket.record(0, text);
        ticket.record(65535, "second");
        recorder.recordSend("ping()", "{}");
        QCOMPARE(recorder.list().at(0).batch, batch);
    }
    // Through the database and back, then out through the export.
    const auto reread = loadedRecorder();
    const QString path = QDir(dataDir()).filePath("export.jsonl");
    QString error;
    QVERIFY2(tessel::exportHistory(path, reread->list().all(), &error), qPrintable(error));

    QFile file(path);
    QVERIFY(file.open(QIODevice::ReadOnly));
    const QList<QByteArray> lines = file.readAll().split('\n');
    QCOMPARE(lines.size(), 3); // two lines, each ended
    const QJsonObject first = QJsonDocument::fromJson(lines[0]).object();
    QCOMPARE(first["operation"].toString(), QString("getVolume()"));
    QCOMPARE(first["request"].toString(), text);
    // "batch" only for a send of a batch.
    QCOMPARE(first.contains("batch"), !batch.isEmpty());
    QCOMPARE(first["batch"].toString(), batch);
    const QJsonArray results = first["results"].toArray();
    QCOMPARE(results.size(), 2);
    QCOMPARE(results[0].toObject()["reply"].toString(), text);
    QCOMPARE(results[1].toObject()["code"].toInt(), 65535);
    QCOMPARE(QJsonDocument::fromJson(lines[1]).object()["results"].toArray().size(), 0);
}

void TestHistory::placeClearOf_data()
{
    QTest::addColumn<QRect>("frame");
    QTest::addColumn<QRect>("keepClear");
    QTest::addColumn<int>("minShown");
    QTest::addColumn<QPoint>("expected"); // (-1, -1): nowhere

    // On a 1280x800 screen; frames of 500x400.
    const auto row = [](const char* name, QPoint at, QRect keepClear, int minShown, QPoint expected) {
        QTest::newRow(name) << QRect(at, QSize(500, 400)) << keepClear << minShown << expected;
    };
    row("to the right", {0, 0}, {0, 0, 600, 500}, 0, {600, 0});
    row("to the left", {700, 100}, {700, 100, 580, 500}, 0, {200, 100});
    row("kept on the screen's bottom", {0, 500}, {0, 500, 600, 300}, 0, {600, 400});
    row("over the bottom edge", {100, 100}, {0, 0, 1280, 600}, 120, {100, 600});
    row("too little of it left on the screen", {100, 100}, {0, 0, 1280, 700}, 120, {-1, -1});
}

void TestHistory::placeClearOf()
{
    QFETCH(QRect, frame);
    QFETCH(QRect, keepClear);
    QFETCH(int, minShown);
    QFETCH(QPoint, expected);
    const auto at = tessel::placeClearOf(QRect(0, 0, 1280, 800), frame, keepClear, minShown);
    QCOMPARE(at.value_or(QPoint(-1, -1)), expected);
}

void TestHistory::loadUncoversTheRequestBox()
{
    DemoChildGUI console;
    console.show();
    QApplication::setActiveWindow(&console);
    QVERIFY(QTest::qWaitForWindowActive(&console));
    auto* requestBox = console.findChild<QTextEdit*>("textEdit_2");
    tessel::HistoryRecorder& recorder = console.history().recorder();
    recorder.recordSend("getVolume()", R"({"sn":"S1"})");
    console.history().openWindow();
    tessel::HistoryWindow& window = console.history().window();
    QTRY_VERIFY(window.isActiveWindow());
    window.move(console.frameGeometry().topLeft()); // right over the request box
    QTRY_VERIFY(recorder.isLoaded());
    window.selectEntry(recorder.list().endIndex() - 1);
    window.findChild<QPushButton*>("historyLoad")->click();

    QTRY_COMPARE(QApplication::focusWidget(), requestBox);
    const QRect box(requestBox->mapToGlobal(QPoint(0, 0)), requestBox->size());
    QVERIFY(window.isVisible() && !window.frameGeometry().intersects(box));
}

QTEST_MAIN(TestHistory)
#include "tst_history.moc"
