#include "installer/listfile.h"

#include <QFile>
#include <QFileInfo>
#include <QStringDecoder>

#include "common/gbk.h"

namespace tallyra {

namespace {
constexpr qint64 kMaxListBytes = 4 * 1024 * 1024;

bool IsLineBreak(QChar c) { return c == u'\r' || c == u'\n'; }

// Steps over one separator; CR LF counts as one line break.
qsizetype SkipSeparator(const QString& text, qsizetype pos) {
    if (pos >= text.size()) return pos;
    if (text[pos] == u'\r' && pos + 1 < text.size() && text[pos + 1] == u'\n') return pos + 2;
    return pos + 1;
}
}  // namespace

QStringList ParseListItems(const QString& text) {
    QStringList items;
    const qsizetype n = text.size();
    qsizetype pos = 0;
    while (pos < n) {
        while (pos < n && (text[pos] == u' ' || text[pos] == u'\t')) ++pos;
        if (pos >= n) break;
        QString item;
        if (text[pos] == u'"') {
            const qsizetype close = text.indexOf(u'"', pos + 1);
            const qsizetype end = close < 0 ? n : close;
            item = text.mid(pos + 1, end - pos - 1);
            pos = close < 0 ? n : close + 1;
            while (pos < n && text[pos] != u',' && !IsLineBreak(text[pos])) ++pos;
        } else {
            const qsizetype start = pos;
            while (pos < n && text[pos] != u',' && !IsLineBreak(text[pos])) ++pos;
            item = text.mid(start, pos - start);
            qsizetype keep = item.size();
            while (keep > 0 && (item[keep - 1] == u' ' || item[keep - 1] == u'\t')) --keep;
            item.truncate(keep);
        }
        items.append(item);
        pos = SkipSeparator(text, pos);
    }
    return items;
}

QString DecodeListText(const QByteArray& bytes) {
    QByteArrayView view(bytes);
    if (view.startsWith("\xEF\xBB\xBF")) view = view.sliced(3);
    QStringDecoder utf8(QStringDecoder::Utf8, QStringDecoder::Flag::Stateless);
    QString text = utf8.decode(view);
    if (!utf8.hasError()) return text;
    return DecodeGbk(bytes);
}

QStringList ReadListFile(const QString& path) {
    const QFileInfo info(path);
    if (!info.isFile() || !info.isReadable() || info.size() > kMaxListBytes) return {};
    QFile file(path);
    if (!file.open(QIODevice::ReadOnly)) return {};
    const QByteArray bytes = file.read(kMaxListBytes);
    return ParseListItems(DecodeListText(bytes));
}

}  // namespace tallyra
