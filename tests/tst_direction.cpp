// The units of the program depend on each other in one direction only, and
// never on a higher layer. The arrows are written once, in cmake/arrows.txt;
// every include of every source file, and every library's link list, must
// follow them.
#include <QtTest>

#include <QDirIterator>
#include <QFile>
#include <QRegularExpression>
#include <QTemporaryDir>

#include <algorithm>
#include <map>

namespace {

struct Arrows
{
    QStringList to;
    QString layer; // empty for a tool
    int rank = 0;  // the layer's place, lowest first
    bool widgets = false;
    bool tool = false; // may include any unit
};
using ArrowTable = std::map<QString, Arrows>;

const QStringList sourceSuffixes{"h", "hpp", "hh", "cpp", "cc", "cxx", "inl"};

ArrowTable parseArrows(const QString& text)
{
    ArrowTable table;
    QString layer;
    int rank = 0;
    for (QString line : text.split('\n')) {
        line = line.section('#', 0, 0).trimmed();
        if (line.isEmpty())
            continue;
        QStringList words = line.split(QRegularExpression("\\s+"));
        if (words.size() == 2 && words[0] == "layer") {
            layer = words[1];
            ++rank;
            continue;
        }
        Arrows& arrows = table[words.takeFirst()];
        arrows.layer = words.contains("*") ? QString() : layer;
        arrows.rank = rank;
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

bool isLayer(const ArrowTable& table, const QString& name)
{
    return !name.isEmpty() && std::any_of(table.begin(), table.end(),
                                          [&](const auto& unit) { return unit.second.layer == name; });
}

// The unit a path below the source root (or below an include root) names: the
// folder inside a layer, or the top folder itself.
QString unitOfPath(const ArrowTable& table, const QString& path)
{
    const QString top = path.section('/', 0, 0);
    return isLayer(table, top) ? path.section('/', 1, 1) : top;
}

bool allows(const ArrowTable& table, const QString& from, const QString& to)
{
    const auto arrows = table.find(from);
    return from == to || (arrows != table.end() && (arrows->second.tool || arrows->second.to.contains(to)));
}

// The table itself: every arrow names a listed unit of the same layer or a
// lower one, and no widget-free unit points at one that may use widgets.
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
            else if (target->second.rank > arrows.rank)
                faults << QString("arrows: %1 (%2) points up at %3 (%4)")
                              .arg(folder, arrows.layer, to, target->second.layer);
        }
    return faults;
}

// The unit an include names, after normalising "." and "..", or an empty text
// for one outside our units. `path` is the including file, relative to the
// source root; a spelled path is relative to a layer's include root, or to the
// source root for the tools.
QString includedFolder(const QString& path, const QString& spelled, bool quoted, const ArrowTable& table)
{
    QString resolved;
    if (quoted && spelled.startsWith('.')) {
        resolved = QDir::cleanPath(QFileInfo(path).path() + '/' + spelled);
        if (resolved.startsWith("../"))
            return resolved; // out of the tree: never allowed
        return unitOfPath(table, resolved);
    }
    if (!spelled.contains('/'))
        return QString(); // beside the including file
    resolved = QDir::cleanPath(spelled);
    if (resolved.startsWith("../"))
        return resolved;
    const QString unit = unitOfPath(table, resolved);
    return table.count(unit) || quoted ? unit : QString();
}

// One line per include of `text` (the file `path`) against the arrows.
QStringList wrongIncludes(const ArrowTable& table, const QString& path, const QString& text)
{
    static const QRegularExpression include(R"(^\s*#\s*include\s*(["<])([^">]*)[">])");
    const QString folder = unitOfPath(table, path);
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

// Every source file of every unit of `root` against the arrows; a unit that
// holds sources but has no line in the table, or has its line under another
// layer, is named, whatever it holds.
QStringList faultsOfTree(const QDir& root, const ArrowTable& table, int* files = nullptr)
{
    QStringList faults;
    QStringList filters;
    for (const QString& suffix : sourceSuffixes)
        filters << "*." + suffix;
    QStringList folders;
    for (const QString& top : root.entryList(QDir::Dirs | QDir::NoDotAndDotDot)) {
        if (!isLayer(table, top)) {
            folders << top;
            continue;
        }
        for (const QString& unit : QDir(root.filePath(top)).entryList(QDir::Dirs | QDir::NoDotAndDotDot))
            folders << top + '/' + unit;
        for (const QString& loose : QDir(root.filePath(top)).entryList(filters, QDir::Files))
            faults << top + '/' + loose + ": outside a unit";
    }
    for (const QString& folder : folders) {
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
        const QString unit = unitOfPath(table, folder);
        const auto arrows = table.find(unit);
        if (holdsSources && arrows == table.end())
            faults << folder + ": holds sources but has no arrows";
        else if (holdsSources && arrows->second.layer != folder.section('/', -2, -2))
            faults << folder + ": its arrows stand under another layer";
    }
    return faults;
}

// `links` is what CMake wrote at configure time: "target NAME UNIT" for each
// of our targets, "link NAME LIBRARY" for each library it links.
QStringList wrongLinks(const ArrowTable& table, const QString& links)
{
    std::map<QString, QString> folderOf;
    QList<QPair<QString, QString>> linked;
    for (const QString& line : links.split('\n', Qt::SkipEmptyParts)) {
        const QStringList words = line.split(' ');
        if (words.size() == 3 && words[0] == "target")
            folderOf[words[1]] = words[2] == "simulator" ? QString("tessel") : words[2];
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
        QTest::newRow("allowed arrows")
            << "windows/mainwindow/x.cpp"
            << "#include \"console/demochildgui.h\"\n#include <requests/records.h>\n"
               "#include \"ui_demogui.h\"\n#include \"./demogui.h\"\n"
               "#include \"../console/ownedwindow.h\"\n"
               "#include <nlohmann/json.hpp>\n#include <QtTest>\n"
            << QStringList();
        QTest::newRow("against the arrow")
            << "windows/console/x.cpp"
            << "// text\n#include \"tessel/tesselcommon.h\"\n  #  include \"mainwindow/demogui.h\"\n"
            << QStringList{
                   "windows/console/x.cpp:3: console may not include #  include \"mainwindow/demogui.h\""};
        QTest::newRow("angle brackets") << "apps/tessel-console/x.cpp"
                                        << "#include <console/catalogue.h>\n"
                                        << QStringList{"apps/tessel-console/x.cpp:1: tessel-console may not "
                                                       "include #include <console/catalogue.h>"};
        QTest::newRow("dot dot through a folder")
            << "libs/export/x.cpp"
            << "#include \"export/../mainwindow/demogui.h\"\n"
            << QStringList{
                   "libs/export/x.cpp:1: export may not include #include \"export/../mainwindow/demogui.h\""};
        QTest::newRow("relative to the file, up a layer")
            << "libs/export/sub/x.inl"
            << "#include \"../../../windows/mainwindow/demogui.h\"\n#include \"./y.h\"\n"
            << QStringList{"libs/export/sub/x.inl:1: export may not include #include "
                           "\"../../../windows/mainwindow/demogui.h\""};
        QTest::newRow("spelled from the source root")
            << "libs/history/x.cpp"
            << "#include \"windows/console/demochildgui.h\"\n#include \"libs/history/historyfile.h\"\n"
            << QStringList{"libs/history/x.cpp:1: history may not include #include "
                           "\"windows/console/demochildgui.h\""};
        QTest::newRow("out of the tree")
            << "libs/requests/x.cpp"
            << "#include \"../../../elsewhere/x.h\"\n"
            << QStringList{
                   "libs/requests/x.cpp:1: requests may not include #include \"../../../elsewhere/x.h\""};
        QTest::newRow("simulator past the contract")
            << "apps/tessel-run/x.cpp"
            << "#include \"simulator/simulator.h\"\n"
            << QStringList{
                   "apps/tessel-run/x.cpp:1: tessel-run may not include #include \"simulator/simulator.h\""};
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
            {"libs/export/a.hpp", "#include \"mainwindow/demogui.h\"\n"},
            {"libs/export/deep/b.cc", "\n#include <console/x.h>\n"},
            {"libs/export/c.hh", "#include \"export/ok.h\"\n"},
            {"libs/export/d.cxx", "#include \"history/x.h\"\n"},
            {"libs/export/e.inl", "#include \"../../apps/x.h\"\n"},
            {"libs/loose.cpp", "\n"},
            {"windows/gui/w.cpp", "\n"},
            {"windows/history/w.cpp", "\n"},
            {"gui/w.cpp", "\n"},
            {"build-x/CMakeCache.txt", ""},
            {"build-x/libs/requests/z.cpp", "#include \"mainwindow/demogui.h\"\n"},
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
        QCOMPARE(faults, (QStringList{
                             "gui: holds sources but has no arrows",
                             "libs/export/a.hpp:1: export may not include #include \"mainwindow/demogui.h\"",
                             "libs/export/d.cxx:1: export may not include #include \"history/x.h\"",
                             "libs/export/deep/b.cc:2: export may not include #include <console/x.h>",
                             "libs/export/e.inl:1: export may not include #include \"../../apps/x.h\"",
                             "libs/loose.cpp: outside a unit", "windows/gui: holds sources but has no arrows",
                             "windows/history: its arrows stand under another layer"}));
    }

    void wrongLinkIsNamed_data()
    {
        QTest::addColumn<QString>("links");
        QTest::addColumn<QStringList>("wrong");
        const QString targets = "target tessel_requests requests\ntarget tessel_export export\n"
                                "target tessel_console console\ntarget tesselcore simulator\n";
        QTest::newRow("allowed")
            << targets + "link tessel_requests tesselcore\nlink tessel_console Qt5::Widgets\n"
                         "link tessel_console tessel_requests\nlink tessel_requests Qt5::Core\n"
            << QStringList();
        QTest::newRow("against the arrow")
            << targets + "link tessel_export tessel_console\n"
            << QStringList{"tessel_export (export) may not link tessel_console"};
        QTest::newRow("widgets below the windows")
            << targets + "link tessel_requests Qt5::Widgets\n"
            << QStringList{"tessel_requests (requests) may not link Qt5::Widgets"};
    }

    void wrongLinkIsNamed()
    {
        QFETCH(QString, links);
        QFETCH(QStringList, wrong);
        QCOMPARE(wrongLinks(arrowsOfTree(), links), wrong);
    }

    void plantedTable()
    {
        QCOMPARE(faultsOfTable(parseArrows("layer sdk\nsdk\nlayer libs\ncore sdk gui top\n"
                                           "layer windows\nmain +widgets core\nlow main\ntop\n")),
                 (QStringList{"arrows: core points at gui, which has no line",
                              "arrows: core (libs) points up at top (windows)",
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
