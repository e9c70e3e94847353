#include "common/text.h"

#include <QList>
#include <cmath>
#include <cstdlib>
#include <string>

namespace tallyra {

QString ReplaceAll(const QString& text, const QString& find, const QString& replacement) {
    if (find.isEmpty() || find == replacement) return text;
    QString out;
    out.reserve(text.size());
    qsizetype from = 0;
    for (;;) {
        const qsizetype at = text.indexOf(find, from);
        if (at < 0) break;
        out += QStringView(text).mid(from, at - from);
        out += replacement;
        from = at + find.size();
    }
    out += QStringView(text).mid(from);
    return out;
}

double NumericValue(const QString& text) {
    std::string s;
    s.reserve(static_cast<size_t>(text.size()));
    for (QChar c : text) {
        if (c == u' ' || c == u'\t' || c == u'\n' || c == u'\r') continue;
        s.push_back(c.unicode() < 128 ? static_cast<char>(c.unicode()) : '\x01');
    }
    size_t i = 0;
    std::string num;
    if (i < s.size() && (s[i] == '+' || s[i] == '-')) num.push_back(s[i++]);
    size_t digits = 0;
    while (i < s.size() && s[i] >= '0' && s[i] <= '9') num.push_back(s[i++]), ++digits;
    if (i < s.size() && s[i] == '.') {
        num.push_back(s[i++]);
        while (i < s.size() && s[i] >= '0' && s[i] <= '9') num.push_back(s[i++]), ++digits;
    }
    if (digits == 0) return 0.0;
    // An exponent only counts when digits follow it; "12e" is 12.
    if (i < s.size() && (s[i] == 'e' || s[i] == 'E' || s[i] == 'd' || s[i] == 'D')) {
        size_t j = i + 1;
        std::string exp = "e";
        if (j < s.size() && (s[j] == '+' || s[j] == '-')) exp.push_back(s[j++]);
        const size_t expStart = j;
        while (j < s.size() && s[j] >= '0' && s[j] <= '9' && j - expStart < 6)
            exp.push_back(s[j++]);
        if (j > expStart) num += exp;
    }
    const double v = std::strtod(num.c_str(), nullptr);
    return std::isfinite(v) ? v : 0.0;
}

namespace {

using Ucs4 = QList<uint>;

// Matches one bracket list starting after '['; returns the index after ']' or -1 when the
// list is not closed (the '[' is then an ordinary character).
qsizetype MatchBracket(const Ucs4& p, qsizetype at, uint ch, bool* matched) {
    qsizetype i = at;
    bool negate = false;
    if (i < p.size() && p[i] == '!') negate = true, ++i;
    bool any = false;
    while (i < p.size() && p[i] != ']') {
        uint lo = p[i];
        if (i + 2 < p.size() && p[i + 1] == '-' && p[i + 2] != ']') {
            const uint hi = p[i + 2];
            if (lo <= ch && ch <= hi) any = true;
            i += 3;
        } else {
            if (lo == ch) any = true;
            ++i;
        }
    }
    if (i >= p.size()) return -1;
    *matched = negate ? !any : any;
    return i + 1;
}

}  // namespace

bool WildcardMatch(const QString& text, const QString& pattern) {
    const Ucs4 t = text.toUcs4();
    const Ucs4 p = pattern.toUcs4();
    qsizetype ti = 0, pi = 0;
    qsizetype starP = -1, starT = 0;
    while (true) {
        // "[]" consumes no character: skip those before deciding anything.
        while (pi + 1 < p.size() && p[pi] == '[' && p[pi + 1] == ']') pi += 2;
        if (pi < p.size() && p[pi] == '*') {
            starP = ++pi;
            starT = ti;
            continue;
        }
        if (ti == t.size()) {
            if (pi == p.size()) return true;
        } else if (pi < p.size()) {
            const uint ch = t[ti];
            const uint pc = p[pi];
            qsizetype next = pi + 1;
            bool ok = false;
            if (pc == '?') {
                ok = true;
            } else if (pc == '#') {
                ok = ch >= '0' && ch <= '9';
            } else if (pc == '[') {
                bool matched = false;
                const qsizetype end = MatchBracket(p, pi + 1, ch, &matched);
                if (end < 0) {
                    ok = ch == '[';
                } else {
                    ok = matched;
                    next = end;
                }
            } else {
                ok = ch == pc;
            }
            if (ok) {
                ++ti;
                pi = next;
                continue;
            }
        }
        if (starP < 0 || starT >= t.size()) return false;
        pi = starP;
        ti = ++starT;
    }
}

QString BlankLeadingZeros(const QString& digits) {
    QString out = digits;
    for (qsizetype i = 0; i < out.size() && out[i] == u'0'; ++i) out[i] = u' ';
    return out;
}

QString ZeroPadded(qint64 value, int width) {
    const quint64 mag = value < 0 ? 0 - static_cast<quint64>(value) : static_cast<quint64>(value);
    QString digits = QString::number(mag).rightJustified(width, u'0');
    return value < 0 ? u'-' + digits : digits;
}

QString StatusMark(int status) {
    if (status == -1) return QStringLiteral("√");
    if (status == 9999) return QStringLiteral("×");  // absent
    if (status > 0) return QStringLiteral("○") + BlankLeadingZeros(ZeroPadded(status, 3));
    return {};
}

QString TrimBlanks(const QString& text) {
    qsizetype b = 0, e = text.size();
    while (b < e && text[b] == u' ') ++b;
    while (e > b && text[e - 1] == u' ') --e;
    return text.mid(b, e - b);
}

}  // namespace tallyra
