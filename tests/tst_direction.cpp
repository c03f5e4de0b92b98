// The folders of the program depend on each other in one direction only. The
// arrows are written once, in cmake/arrows.txt; every include of every source
// file, and every library's link list, must follow them.
#include <QtTest>

#include <QDirIterator>
#include <QFile>
#include <QRegularExpression>
#include <QTemporaryDir>

#include <map>

namespace {

struct Arrows
{
    QStringList to;
    bool widgets = false;
    bool tool = false; // may include any folder
};
using ArrowTable = std::map<QString, Arrows>;

const QStringList sourceSuffixes{"h", "hpp", "hh", "cpp", "cc", "cxx", "inl"};

ArrowTable parseArrows(const QString& text)
{
    ArrowTable table;
    for (QString line : text.split('\n')) {
        line = line.section('#', 0, 0).trimmed();
        if (line.isEmpty())
            continue;
        QStringList words = line.split(QRegularExpression("\\s+"));
        Arrows& arrows = table[words.takeFirst()];
        for (const QString& word : words) {
            if (word == "+widgets")
                arrows.widgets = true;
            else if (word == "*")
                arrows.tool = true;
            else
                arrows.to << word;
        }
    }
    return table;
}

ArrowTable arrowsOfTree()
{
    QFile file(QStringLiteral(TESSEL_SOURCE_DIR "/cmake/arrows.txt"));
    return file.open(QIODevice::ReadOnly) ? parseArrows(QString::fromUtf8(file.readAll())) : ArrowTable();
}

bool allows(const ArrowTable& table, const QString& from, const QString& to)
{
    const auto arrows = table.find(from);
    return from == to || (arrows != table.end() && (arrows->second.tool || arrows->second.to.contains(to)));
}

// The table itself: every arrow names a listed folder, and no widget-free
// folder points at one that may use widgets.
QStringList faultsOfTable(const ArrowTable& table)
{
    QStringList faults;
    for (const auto& [folder, arrows] : table)
        for (const QString& to : arrows.to) {
            const auto target = table.find(to);
            if (target == table.end())
                faults << QString("arrows: %1 points at %2, which has no line").arg(folder, to);
            else if (target->second.widgets && !arrows.widgets)
                faults << QString("arrows: %1 is widget-free but points at %2").arg(folder, to);
        }
    return faults;
}

// The top folder an include names, after normalising "." and "..", or an
// empty text for one outside our folders. `path` is the including file,
// relative to the source root.
QString includedFolder(const QString& path, const QString& spelled, bool quoted, const ArrowTable& table)
{
    QString resolved;
    if (quoted && spelled.startsWith('.'))
        resolved = QDir::cleanPath(QFileInfo(path).path() + '/' + spelled);
    else if (spelled.contains('/'))
        resolved = QDir::cleanPath(spelled);
    else
        return QString(); // beside the including file
    if (resolved.startsWith("../"))
        return resolved; // out of the tree: never allowed
    const QString folder = resolved.section('/', 0, 0);
    return table.count(folder) || quoted ? folder : QString();
}

// One line per include of `text` (the file `path`) against the arrows.
QStringList wrongIncludes(const ArrowTable& table, const QString& path, const QString& text)
{
    static const QRegularExpression include(R"(^\s*#\s*include\s*(["<])([^">]*)[">])");
    const QString folder = path.section('/', 0, 0);
    QStringList wrong;
    const QStringList lines = text.split('\n');
    for (int i = 0; i < lines.size(); ++i) {
        const QRegularExpressionMatch match = include.match(lines[i]);
        if (!match.hasMatch())
            continue;
        const QString target = includedFolder(path, match.captured(2), match.captured(1) == "\"", table);
        if (target.isEmpty() || allows(table, folder, target))
            continue;
        wrong << QString("%1:%2: %3 may not include %4")
                     .arg(path)
                     .arg(i + 1)
                     .arg(folder, match.captured(0).trimmed());
    }
    return wrong;
}

bool isBuildTree(const QDir& dir)
{
    return dir.exists("CMakeCache.txt");
}

// Every source file of every folder of `root` against the arrows; a folder that
// holds sources but has no line in the table is named, whatever it holds.
QStringList faultsOfTree(const QDir& root, const ArrowTable& table, int* files = nullptr)
{
    QStringList faults;
    QStringList filters;
    for (const QString& suffix : sourceSuffixes)
        filters << "*." + suffix;
    for (const QString& folder : root.entryList(QDir::Dirs | QDir::NoDotAndDotDot)) {
        if (isBuildTree(QDir(root.filePath(folder))))
            continue;
        QDirIterator it(root.filePath(folder), filters, QDir::Files, QDirIterator::Subdirectories);
        bool holdsSources = false;
        while (it.hasNext()) {
            const QString fileName = it.next();
            if (isBuildTree(QDir(it.fileInfo().path())))
                continue;
            holdsSources = true;
            QFile file(fileName);
            if (!file.open(QIODevice::ReadOnly)) {
                faults << fileName + ": cannot be read";
                continue;
            }
            faults << wrongIncludes(table, root.relativeFilePath(fileName),
                                    QString::fromUtf8(file.readAll()));
            if (files)
                ++*files;
        }
        if (holdsSources && !table.count(folder))
            faults << folder + ": holds sources but has no arrows";
    }
    return faults;
}

// `links` is what CMake wrote at configure time: "target NAME FOLDER" for each
// of our targets, "link NAME LIBRARY" for each library it links.
QStringList wrongLinks(const ArrowTable& table, const QString& links)
{
    std::map<QString, QString> folderOf;
    QList<QPair<QString, QString>> linked;
    for (const QString& line : links.split('\n', Qt::SkipEmptyParts)) {
        const QStringList words = line.split(' ');
        if (words.size() == 3 && words[0] == "target")
            folderOf[words[1]] = words[2] == "simulator" ? QString("sdk") : words[2];
        else if (words.size() == 3 && words[0] == "link")
            linked << qMakePair(words[1], words[2]);
    }
    QStringList wrong;
    for (const auto& [target, library] : linked) {
        const auto from = folderOf.find(target);
        if (from == folderOf.end())
            continue;
        const auto arrows = table.find(from->second);
        const bool widgets = arrows != table.end() && (arrows->second.widgets || arrows->second.tool);
        const auto to = folderOf.find(library);
        if (to != folderOf.end() ? !allows(table, from->second, to->second)
                                 : !widgets && (library == "Qt5::Widgets" || library == "Qt5::Gui"))
            wrong << QString("%1 (%2) may not link %3").arg(target, from->second, library);
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
        QTest::addColumn<QString>("path");
        QTest::addColumn<QString>("text");
        QTest::addColumn<QStringList>("wrong");
        QTest::newRow("allowed arrows") << "mainwindow/x.cpp"
                                        << "#include \"console/demochildgui.h\"\n#include <core/records.h>\n"
                                           "#include \"ui_demogui.h\"\n#include \"./demogui.h\"\n"
                                           "#include <nlohmann/json.hpp>\n#include <QtTest>\n"
                                        << QStringList();
        QTest::newRow("against the arrow")
            << "console/x.cpp"
            << "// text\n#include \"sdk/tesselcommon.h\"\n  #  include \"mainwindow/demogui.h\"\n"
            << QStringList{"console/x.cpp:3: console may not include #  include \"mainwindow/demogui.h\""};
        QTest::newRow("angle brackets")
            << "app/x.cpp"
            << "#include <console/catalogue.h>\n"
            << QStringList{"app/x.cpp:1: app may not include #include <console/catalogue.h>"};
        QTest::newRow("dot dot through a folder")
            << "export/x.cpp"
            << "#include \"export/../mainwindow/demogui.h\"\n"
            << QStringList{
                   "export/x.cpp:1: export may not include #include \"export/../mainwindow/demogui.h\""};
        QTest::newRow("relative to the file")
            << "export/sub/x.inl"
            << "#include \"../../mainwindow/demogui.h\"\n#include \"./y.h\"\n"
            << QStringList{
                   "export/sub/x.inl:1: export may not include #include \"../../mainwindow/demogui.h\""};
        QTest::newRow("out of the tree")
            << "core/x.cpp"
            << "#include \"../../elsewhere/x.h\"\n"
            << QStringList{"core/x.cpp:1: core may not include #include \"../../elsewhere/x.h\""};
        QTest::newRow("simulator past sdk")
            << "app/x.cpp"
            << "#include \"simulator/simulator.h\"\n"
            << QStringList{"app/x.cpp:1: app may not include #include \"simulator/simulator.h\""};
        QTest::newRow("tools include anything") << "tests/x.cpp"
                                                << "#include \"simulator/simulator.h\"\n"
                                                << QStringList();
    }

    void wrongIncludeIsNamed()
    {
        QFETCH(QString, path);
        QFETCH(QString, text);
        QFETCH(QStringList, wrong);
        QCOMPARE(wrongIncludes(arrowsOfTree(), path, text), wrong);
    }

    // A planted tree: every source suffix, nested folders, a folder without
    // arrows (with or without a CMakeLists.txt), and a build tree that is skipped.
    void plantedTree()
    {
        QTemporaryDir dir;
        QVERIFY(dir.isValid());
        const QDir root(dir.path());
        const std::map<QString, QByteArray> files{
            {"export/a.hpp", "#include \"mainwindow/demogui.h\"\n"},
            {"export/deep/b.cc", "\n#include <console/x.h>\n"},
            {"export/c.hh", "#include \"export/ok.h\"\n"},
            {"export/d.cxx", "#include \"history/x.h\"\n"},
            {"export/e.inl", "#include \"../app/x.h\"\n"},
            {"gui/w.cpp", "\n"},
            {"build-x/CMakeCache.txt", ""},
            {"build-x/core/z.cpp", "#include \"mainwindow/demogui.h\"\n"},
            {"docs/readme.txt", "#include \"mainwindow/demogui.h\"\n"},
        };
        for (const auto& [name, content] : files) {
            QVERIFY(root.mkpath(QFileInfo(name).path()));
            QFile file(root.filePath(name));
            QVERIFY(file.open(QIODevice::WriteOnly));
            file.write(content);
        }
        QStringList faults = faultsOfTree(root, arrowsOfTree());
        faults.sort();
        QCOMPARE(faults,
                 (QStringList{"export/a.hpp:1: export may not include #include \"mainwindow/demogui.h\"",
                              "export/d.cxx:1: export may not include #include \"history/x.h\"",
                              "export/deep/b.cc:2: export may not include #include <console/x.h>",
                              "export/e.inl:1: export may not include #include \"../app/x.h\"",
                              "gui: holds sources but has no arrows"}));
    }

    void wrongLinkIsNamed_data()
    {
        QTest::addColumn<QString>("links");
        QTest::addColumn<QStringList>("wrong");
        const QString targets = "target tessel_core core\ntarget tessel_export export\n"
                                "target tessel_console console\ntarget tesselcore simulator\n";
        QTest::newRow("allowed") << targets +
                                        "link tessel_core tesselcore\nlink tessel_console Qt5::Widgets\n"
                                        "link tessel_console tessel_core\nlink tessel_core Qt5::Core\n"
                                 << QStringList();
        QTest::newRow("against the arrow")
            << targets + "link tessel_export tessel_console\n"
            << QStringList{"tessel_export (export) may not link tessel_console"};
        QTest::newRow("widgets below the windows")
            << targets + "link tessel_core Qt5::Widgets\n"
            << QStringList{"tessel_core (core) may not link Qt5::Widgets"};
    }

    void wrongLinkIsNamed()
    {
        QFETCH(QString, links);
        QFETCH(QStringList, wrong);
        QCOMPARE(wrongLinks(arrowsOfTree(), links), wrong);
    }

    void plantedTable()
    {
        QCOMPARE(faultsOfTable(parseArrows("core sdk gui\nsdk\nmain +widgets core\nlow main\n")),
                 (QStringList{"arrows: core points at gui, which has no line",
                              "arrows: low is widget-free but points at main"}));
    }

    void treeFollowsArrows()
    {
        const ArrowTable table = arrowsOfTree();
        QVERIFY(table.size() > 5);
        QStringList faults = faultsOfTable(table);
        int files = 0;
        faults << faultsOfTree(QDir(TESSEL_SOURCE_DIR), table, &files);
        QVERIFY(files > 100);
        QFile links(QStringLiteral(TESSEL_LINKS_FILE));
        QVERIFY2(links.open(QIODevice::ReadOnly), TESSEL_LINKS_FILE);
        const QString linkText = QString::fromUtf8(links.readAll());
        QVERIFY(linkText.count("target ") > 5);
        faults << wrongLinks(table, linkText);
        QVERIFY2(faults.isEmpty(), qPrintable(faults.join('\n')));
    }
};

QTEST_APPLESS_MAIN(TestDirection)
#include "tst_direction.moc"
