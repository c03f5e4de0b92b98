#pragma once

// What the console offers beyond its form: keyboard shortcuts, the finder,
// the check of the request while it is typed, and the context menus of the
// request and reply boxes. Works on the widgets the console hands in and adds
// no slot or member function to the console itself.

#include <QObject>
#include <QPointer>
#include <QString>
#include <QTimer>

#include <functional>
#include <vector>

class QComboBox;
class QLabel;
class QMenu;
class QPoint;
class QPushButton;
class QTextEdit;

namespace tessel {

class OperationFinderDialog;

class ConsoleTools : public QObject
{
    Q_OBJECT

public:
    // Delay between the last keystroke and the check of the request.
    static constexpr int checkDelayMs = 300;

    // The console's parts the tools work on; all of them children of the console.
    struct Parts
    {
        QComboBox& modules;
        QComboBox& names;
        QTextEdit& request;
        QTextEdit& reply;
        QPushButton& send;
        // Loads the current operation's sample again, as picking it anew would.
        std::function<void()> reloadSample;
    };

    // Becomes a child of `console`.
    ConsoleTools(QWidget& console, Parts parts);

    // Called by the console after it has shown a result, so that the reply can
    // be shown indented when the engineer asked for it.
    void replyShown(int code, const QString& reply);

    // Opens the finder (Ctrl+F).
    void openFinder();
    // Checks the request now and marks or unmarks the request box.
    void checkRequest();

    // The menus the two boxes pop up, built afresh each time; the caller owns them.
    QMenu* requestMenu();
    // Adds a section of entries at the end of the request box's menu, for
    // tools that live beside this one (the history).
    void addRequestMenuSection(std::function<void(QMenu&)> section);
    QMenu* replyMenu();

protected:
    bool eventFilter(QObject* watched, QEvent* event) override;

private:
    void choose(int entryIndex);
    void layOutRequest(bool indented);
    enum class SnippetLanguage
    {
        CSharp,
        Java
    };
    void copyRequestAs(SnippetLanguage language);
    void setRepliesIndented(bool indented);
    void showFaultTip(const QString& text);
    void showRequestMenu(const QPoint& pos);
    void showReplyMenu(const QPoint& pos);

    QWidget* console;
    std::vector<std::function<void(QMenu&)>> requestMenuSections;
    QComboBox* modules;
    QComboBox* names;
    QTextEdit* request;
    QTextEdit* reply;
    QPushButton* send;
    std::function<void()> reloadSample;
    QTimer checkTimer;
    QPointer<OperationFinderDialog> finder;
    // A refused layout's fault, shown at once beside the request box. Qt's own
    // tool tip would vanish with the events of the closing menu.
    QLabel* faultTip = nullptr;
    QTimer faultTipExpiry;

    // The last result, and whether the reply box still shows it: a box
    // cleared or edited since is left alone.
    bool repliesIndented = false;
    bool replyStillShown = false;
    bool rendering = false;
    int lastCode = 0;
    QString lastReply;
};

} // namespace tessel
