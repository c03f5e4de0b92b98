#include "batch/batchrequest.h"

#include "history/requestserial.h"
#include "requests/requestrunner.h"

#include <QCoreApplication>

#include <memory>
#include <unordered_map>

namespace tessel {

QString batchRequestFault(const QByteArray& request)
{
    const RequestSerial serial =
        readRequestSerial(std::string_view(request.constData(), static_cast<std::size_t>(request.size())));
    if (!serial.object)
        return QCoreApplication::translate("BatchEngine",
                                           "请求不是 JSON 对象，无法为每台终端填入序列号，未发送");
    if (!serial.text)
        return QCoreApplication::translate("BatchEngine",
                                           "请求没有顶层文本成员 \"sn\"，无法为每台终端填入序列号，未发送");
    return QString();
}

void sendThroughRunner(BatchEngine& engine, RequestRunner& runner, const QByteArray& name,
                       const QByteArray& request)
{
    sendThroughRunner(engine, runner, name, [request] { return request; });
}

void sendThroughRunner(BatchEngine& engine, RequestRunner& runner, const QByteArray& name,
                       std::function<QByteArray()> request)
{
    // Runner ids of this batch's sends; results of other windows' sends are not ours.
    auto attempts = std::make_shared<std::unordered_map<RequestRunner::Id, BatchEngine::Attempt>>();
    BatchEngine* target = &engine;
    engine.setOperation(QString::fromUtf8(name));
    // The request of the current run: every row of a run gets the same one.
    auto current = std::make_shared<QByteArray>();
    QObject::connect(&engine, &BatchEngine::runStarting, &engine, [target, current, request] {
        *current = request();
        target->setRequest(QString::fromUtf8(*current));
    });
    engine.setStarter([target, &runner, attempts, name, current](int row, BatchEngine::Attempt attempt) {
        const QByteArray serial = target->row(row).target.serial.toUtf8();
        const RequestRunner::Sent sent = runner.sendTo(name, *current, serial, target->tag());
        if (!sent)
            return sent.refusal;
        (*attempts)[sent.id] = attempt;
        return QString();
    });
    QObject::connect(&runner, &RequestRunner::result, &engine,
                     [target, attempts](RequestRunner::Id id, int code, const QString& reply, qint64 ms) {
                         const auto found = attempts->find(id);
                         if (found != attempts->end())
                             target->deliver(found->second, code, reply, ms);
                     });
}

} // namespace tessel
