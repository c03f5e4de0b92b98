#pragma once

#include <QByteArray>
#include <QString>
#include <QWidget>

#include <functional>

class QComboBox;
class QLineEdit;
class QPushButton;
class QTextEdit;

// The API console: pick an operation, edit its JSON request, send it through
// the request sender and read the result. It never calls the SDK itself.
class DemoChildGUI : public QWidget
{
    Q_OBJECT

public:
    // Takes (operation name, request text), both UTF-8.
    using RequestSender = std::function<void(const QByteArray& apiName, const QByteArray& requestText)>;

    explicit DemoChildGUI(QWidget* parent = nullptr);
    ~DemoChildGUI() override;

    void setRequestSender(RequestSender sender);

private slots:
    void soltsGetInfo();

public slots:
    void soltsGetSN(QString sn);
    void soltGetResponseData(int code, QString reply);

private slots:
    void slotsChangeAPI(int index);
    void slotsSetRequestData(QString name);

private:
    RequestSender requestSender;
    QComboBox* comboBox_APIModule = nullptr;
    QComboBox* comboBox_APIName = nullptr;
    QLineEdit* lineEdit = nullptr;
    QTextEdit* textEdit_2 = nullptr;
    QTextEdit* textEdit = nullptr;
    QPushButton* pushButton = nullptr;
};
