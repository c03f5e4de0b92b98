#include "console/consoletools.h"

#include "console/longlinefolder.h"
#include "console/operationfinderdialog.h"
#include "historywindow/longlinewrap.h"
#include "operations/codesnippet.h"
#include "operations/operationfinder.h"
#include "requests/jsontext.h"

#include <QAction>
#include <QApplication>
#include <QClipboard>
#include <QComboBox>
#include <QKeySequence>
#include <QLabel>
#include <QMenu>
#include <QPushButton>
#include <QShortcut>
#include <QTextEdit>
#include <QToolTip>

#include <utility>

namespace tessel {

namespace {

// A shortcut that works anywhere inside `owner`, child widgets included.
template <typename Receiver> void addShortcut(QWidget* owner, const QKeySequence& keys, Receiver receiver)
{
    auto* shortcut = new QShortcut(keys, owner, nullptr, nullptr, Qt::WidgetWithChildrenShortcut);
    QObject::connect(shortcut, &QShortcut::activated, owner, receiver);
}

} // namespace

ConsoleTools::ConsoleTools(QWidget& owner, Parts parts)
    : QObject(&owner), console(&owner), modules(&parts.modules), names(&parts.names), request(&parts.request),
      reply(&parts.reply), send(&parts.send), reloadSample(std::move(parts.reloadSample))
{
    setObjectName(QStringLiteral("consoleTools"));
    console->installEventFilter(this);

    addShortcut(console, QKeySequence(Qt::CTRL | Qt::Key_Return), [this] { send->click(); });
    addShortcut(console, QKeySequence(Qt::CTRL | Qt::Key_Enter), [this] { send->click(); });
    addShortcut(console, QKeySequence(Qt::CTRL | Qt::Key_F), [this] { openFinder(); });

    // Tab moves on to the next widget; a request needs no tab characters.
    request->setTabChangesFocus(true);
    // A pasted request or a reply of one endless line must not freeze the
    // window: the longest lines are folded, long ones wrap anywhere.
    new LongLineFolder(*request);
    new LongLineFolder(*reply);
    wrapLongLinesAnywhere(*request->document());
    wrapLongLinesAnywhere(*reply->document());

    checkTimer.setSingleShot(true);
    checkTimer.setInterval(checkDelayMs);
    connect(&checkTimer, &QTimer::timeout, this, &ConsoleTools::checkRequest);
    connect(request, &QTextEdit::textChanged, &checkTimer, qOverload<>(&QTimer::start));
    // The fault tip goes with the next edit, or after as long as a tool tip stays.
    faultTipExpiry.setSingleShot(true);
    faultTipExpiry.setInterval(10000);
    const auto hideFaultTip = [this] {
        if (faultTip)
            faultTip->hide();
    };
    connect(&faultTipExpiry, &QTimer::timeout, this, hideFaultTip);
    connect(request, &QTextEdit::textChanged, this, hideFaultTip);

    request->setContextMenuPolicy(Qt::CustomContextMenu);
    connect(request, &QWidget::customContextMenuRequested, this, &ConsoleTools::showRequestMenu);
    reply->setContextMenuPolicy(Qt::CustomContextMenu);
    connect(reply, &QWidget::customContextMenuRequested, this, &ConsoleTools::showReplyMenu);
    // Any change but our own means the box no longer shows the last result as such.
    connect(reply, &QTextEdit::textChanged, this, [this] { replyStillShown = rendering; });
}

bool ConsoleTools::eventFilter(QObject* watched, QEvent* event)
{
    // The finder and the fault tip are windows of their own; they go when the console is closed.
    if (watched == console && event->type() == QEvent::Hide) {
        if (finder)
            finder->hide();
        if (faultTip)
            faultTip->hide();
    }
    return QObject::eventFilter(watched, event);
}

void ConsoleTools::openFinder()
{
    if (!finder) {
        finder = new OperationFinderDialog(console);
        connect(finder, &OperationFinderDialog::chosen, this, &ConsoleTools::choose);
    }
    finder->restart();
    finder->show();
    finder->raise();
    finder->activateWindow();
}

void ConsoleTools::choose(int entryIndex)
{
    const std::vector<FinderEntry>& entries = finderEntries();
    if (entryIndex < 0 || entryIndex >= static_cast<int>(entries.size()))
        return;
    const FinderEntry& entry = entries[static_cast<std::size_t>(entryIndex)];
    const bool alreadyCurrent =
        modules->currentIndex() == entry.moduleIndex && names->currentIndex() == entry.nameIndex;
    // The same two steps as picking by hand: the module box refills the name
    // box, then the name box loads the sample through the console's slots.
    modules->setCurrentIndex(entry.moduleIndex);
    names->setCurrentIndex(entry.nameIndex);
    // Choosing the current operation changes no box, yet the engineer asked
    // for it: its sample loads again, as if it had been picked anew.
    if (alreadyCurrent && reloadSample)
        reloadSample();
    // The finder was a window of its own: the console takes the keys back,
    // so Ctrl+Enter sends straight away.
    console->activateWindow();
    request->setFocus();
}

void ConsoleTools::checkRequest()
{
    checkTimer.stop();
    const QString text = unfoldedText(*request->document());
    // An empty box is not a request being typed; it is left unmarked.
    std::optional<JsonFault> fault;
    if (!text.trimmed().isEmpty())
        fault = findJsonFault(text.toStdString());
    const QString style = fault ? jsonFaultStyle(QStringLiteral("QTextEdit#textEdit_2")) : QString();
    if (request->styleSheet() != style) // a new sheet re-polishes the box
        request->setStyleSheet(style);
    request->setToolTip(fault ? faultText(*fault) : QString());
}

void ConsoleTools::layOutRequest(bool indented)
{
    const std::string text = unfoldedText(*request->document()).toStdString();
    const JsonLayout layout = indented ? indentJson(text) : compactJson(text);
    if (layout.fault) {
        // Refused: the text stays as it is and the fault is pointed out.
        checkRequest();
        showFaultTip(faultText(*layout.fault));
        return;
    }
    if (layout.text == text)
        return;
    // Through the cursor, so that the change can be undone.
    QTextCursor cursor(request->document());
    cursor.select(QTextCursor::Document);
    cursor.insertText(QString::fromStdString(layout.text));
}

void ConsoleTools::showFaultTip(const QString& text)
{
    if (!faultTip) {
        faultTip = new QLabel(console, Qt::ToolTip);
        faultTip->setObjectName(QStringLiteral("faultTip"));
        faultTip->setPalette(QToolTip::palette());
        faultTip->setFont(QToolTip::font());
        faultTip->setForegroundRole(QPalette::ToolTipText);
        faultTip->setBackgroundRole(QPalette::ToolTipBase);
        faultTip->setAutoFillBackground(true);
        faultTip->setFrameShape(QFrame::Box);
        faultTip->setMargin(3);
    }
    faultTip->setText(text);
    faultTip->adjustSize();
    faultTip->move(request->mapToGlobal(QPoint(0, 0)));
    faultTip->show();
    faultTip->raise();
    faultTipExpiry.start();
}

void ConsoleTools::copyRequestAs(SnippetLanguage language)
{
    const std::string apiName = names->currentText().toStdString();
    const std::string text = unfoldedText(*request->document()).toStdString();
    const std::optional<std::string> snippet =
        language == SnippetLanguage::CSharp ? csharpSnippet(apiName, text) : javaSnippet(apiName, text);
    if (snippet)
        QApplication::clipboard()->setText(QString::fromStdString(*snippet));
}

// The box's own entries, then one section per tool; a new tool appends its
// section here.
QMenu* ConsoleTools::requestMenu()
{
    QMenu* menu = request->createStandardContextMenu();
    menu->addSeparator();
    menu->addAction(tr("格式化 JSON"), this, [this] { layOutRequest(true); });
    menu->addAction(tr("压缩 JSON"), this, [this] { layOutRequest(false); });

    menu->addSeparator();
    const bool hasOperation = csharpSnippet(names->currentText().toStdString(), {}).has_value();
    menu->addAction(tr("复制为 C# 代码"), this, [this] { copyRequestAs(SnippetLanguage::CSharp); })
        ->setEnabled(hasOperation);
    menu->addAction(tr("复制为 Java 代码"), this, [this] { copyRequestAs(SnippetLanguage::Java); })
        ->setEnabled(hasOperation);

    for (const auto& section : requestMenuSections) {
        menu->addSeparator();
        section(*menu);
    }
    return menu;
}

void ConsoleTools::addRequestMenuSection(std::function<void(QMenu&)> section)
{
    requestMenuSections.push_back(std::move(section));
}

QMenu* ConsoleTools::replyMenu()
{
    QMenu* menu = reply->createStandardContextMenu();
    menu->addSeparator();
    QAction* indented = menu->addAction(tr("格式化显示"));
    indented->setCheckable(true);
    indented->setChecked(repliesIndented);
    connect(indented, &QAction::toggled, this, &ConsoleTools::setRepliesIndented);
    const QString shown = unfoldedText(*reply->document());
    // The reply as it came, also while it is shown indented; once the box has
    // been edited, what stands below the code line.
    const int lineEnd = shown.indexOf(QLatin1Char('\n'));
    const QString replyText = replyStillShown ? lastReply : lineEnd < 0 ? shown : shown.mid(lineEnd + 1);
    QAction* copy =
        menu->addAction(tr("复制回复"), this, [replyText] { QApplication::clipboard()->setText(replyText); });
    copy->setEnabled(!shown.isEmpty());
    return menu;
}

void ConsoleTools::replyShown(int code, const QString& replyText)
{
    lastCode = code;
    lastReply = replyText;
    replyStillShown = true;
    if (repliesIndented)
        setRepliesIndented(true);
}

void ConsoleTools::setRepliesIndented(bool indented)
{
    repliesIndented = indented;
    if (!replyStillShown)
        return;
    QString text = lastReply;
    if (indented) {
        const JsonLayout layout = indentJson(lastReply.toStdString());
        if (!layout.fault)
            text = QString::fromStdString(layout.text);
    }
    // The same two parts as the console shows: the code, then the reply.
    rendering = true;
    reply->setPlainText(QString::number(lastCode) + QLatin1Char('\n') + text);
    rendering = false;
}

void ConsoleTools::showRequestMenu(const QPoint& pos)
{
    QMenu* menu = requestMenu();
    menu->setAttribute(Qt::WA_DeleteOnClose);
    menu->popup(request->viewport()->mapToGlobal(pos));
}

void ConsoleTools::showReplyMenu(const QPoint& pos)
{
    QMenu* menu = replyMenu();
    menu->setAttribute(Qt::WA_DeleteOnClose);
    menu->popup(reply->viewport()->mapToGlobal(pos));
}

} // namespace tessel
