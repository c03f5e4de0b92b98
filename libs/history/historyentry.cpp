#include "history/historyentry.h"

#include <QByteArray>

namespace tessel {

qint64 utf8Length(const QString& text)
{
    qint64 bytes = 0;
    for (const QChar c : text) {
        const ushort u = c.unicode();
        // A surrogate pair makes four bytes, two for each half.
        bytes += u < 0x80 ? 1 : (u < 0x800 || c.isSurrogate()) ? 2 : 3;
    }
    return bytes;
}

QString cutMark(qint64 wholeBytes, qint64 keptBytes)
{
    return QStringLiteral("\n〔回复共 %1 字节，超过上限，只保留了前 %2 字节〕")
        .arg(wholeBytes)
        .arg(keptBytes);
}

void limitReply(HistoryResult& result, qint64 maxBytes)
{
    // Cheap test first: no UTF-16 unit takes more than three bytes.
    if (qint64(result.reply.size()) * 3 <= maxBytes)
        return;
    const QByteArray bytes = result.reply.toUtf8();
    if (bytes.size() <= maxBytes)
        return;
    int cut = static_cast<int>(maxBytes);
    while (cut > 0 && (static_cast<unsigned char>(bytes[cut]) & 0xc0) == 0x80)
        --cut; // not inside a character
    result.reply = QString::fromUtf8(bytes.constData(), cut) + cutMark(bytes.size(), cut);
    result.cutFromBytes = bytes.size();
}

} // namespace tessel
