// The folders of the program depend on each other in one direction only: every
// `#include "folder/..."` must follow an allowed arrow.
#include <QtTest>

#include <QDirIterator>
#include <QFile>
#include <QRegularExpression>

#include <map>

namespace {

// Which folders each production folder may include besides its own. The
// simulator is reached only through sdk/, so no folder but itself names it.
const std::map<QString, QStringList> allowedArrows = {
    {"app", {"mainwindow", "export"}},
    {"mainwindow", {"console", "core", "sdk", "batch", "batchwindow"}},
    {"batch", {"core"}},
    {"batchwindow", {"batch"}},
    {"console", {"core", "sdk", "history", "historywindow"}},
    {"core", {"sdk", "export", "history"}},
    {"historywindow", {"history"}},
    {"simulator", {"sdk"}},
    {"export", {}},
    {"history", {}},
    {"sdk", {}},
};

// One line per include of `text` (a file of `folder`) against the arrows.
QStringList wrongIncludes(const QString& folder, const QString& path, const QString& text)
{
    static const QRegularExpression include(R"(^\s*#\s*include\s*"([^"/]+)/[^"]*")");
    const auto arrows = allowedArrows.find(folder);
    QStringList wrong;
    const QStringList lines = text.split('\n');
    for (int i = 0; i < lines.size(); ++i) {
        const QRegularExpressionMatch match = include.match(lines[i]);
        if (!match.hasMatch())
            continue;
        const QString target = match.captured(1);
        if (target == folder || (arrows != allowedArrows.end() && arrows->second.contains(target)))
            continue;
        wrong << QString("%1:%2: %3 may not include %4")
                     .arg(path)
                     .arg(i + 1)
                     .arg(folder, match.captured(0).trimmed());
    }
    return wrong;
}

} // namespace

class TestDirection : public QObject
{
    Q_OBJECT

private slots:
    void wrongIncludeIsNamed_data()
    {
        QTest::addColumn<QString>("folder");
        QTest::addColumn<QString>("text");
        QTest::addColumn<QStringList>("wrong");
        QTest::newRow("allowed arrows")
            << "mainwindow"
            << "#include \"console/demochildgui.h\"\n#include \"core/records.h\"\n"
               "#include \"mainwindow/demogui.h\"\n#include <nlohmann/json.hpp>\n"
            << QStringList();
        QTest::newRow("against the arrow")
            << "console"
            << "// text\n#include \"sdk/tesselcommon.h\"\n  #  include \"mainwindow/demogui.h\"\n"
            << QStringList{"console/x.cpp:3: console may not include #  include \"mainwindow/demogui.h\""};
        QTest::newRow("simulator past sdk")
            << "app"
            << "#include \"simulator/simulator.h\"\n"
            << QStringList{"app/x.cpp:1: app may not include #include \"simulator/simulator.h\""};
        QTest::newRow("export stands alone")
            << "export"
            << "#include \"sdk/tesselcoreasync.h\"\n#include \"tests/testsupport.h\"\n"
            << QStringList{"export/x.cpp:1: export may not include #include \"sdk/tesselcoreasync.h\"",
                           "export/x.cpp:2: export may not include #include \"tests/testsupport.h\""};
        QTest::newRow("skipped level")
            << "app"
            << "#include \"core/catalogue.h\"\n"
            << QStringList{"app/x.cpp:1: app may not include #include \"core/catalogue.h\""};
    }

    void wrongIncludeIsNamed()
    {
        QFETCH(QString, folder);
        QFETCH(QString, text);
        QFETCH(QStringList, wrong);
        QCOMPARE(wrongIncludes(folder, folder + "/x.cpp", text), wrong);
    }

    void treeFollowsArrows()
    {
        const QDir root(TESSEL_SOURCE_DIR);
        QStringList wrong;
        int files = 0;
        for (const auto& arrows : allowedArrows) {
            const QString& folder = arrows.first;
            QDirIterator it(root.filePath(folder), {"*.h", "*.cpp"}, QDir::Files,
                            QDirIterator::Subdirectories);
            while (it.hasNext()) {
                QFile file(it.next());
                QVERIFY2(file.open(QIODevice::ReadOnly), qPrintable(file.fileName()));
                wrong << wrongIncludes(folder, root.relativeFilePath(file.fileName()),
                                       QString::fromUtf8(file.readAll()));
                ++files;
            }
        }
        QVERIFY(files > 0);
        QVERIFY2(wrong.isEmpty(), qPrintable(wrong.join('\n')));
        // A new library folder must be given its arrows, or it goes unchecked.
        const QStringList tools{"tests", "bench", "fuzz"};
        for (const QString& folder : root.entryList(QDir::Dirs | QDir::NoDotAndDotDot))
            if (QFileInfo::exists(root.filePath(folder + "/CMakeLists.txt")) && !tools.contains(folder))
                QVERIFY2(allowedArrows.count(folder), qPrintable(folder + " has no arrows"));
    }
};

QTEST_APPLESS_MAIN(TestDirection)
#include "tst_direction.moc"
