#include "sheets/xmlpull.h"

#include <cstring>

namespace tallyra::sheets {

namespace {

// A tag, comment or text run longer than this is no spreadsheet's: the part is refused
// rather than held whole.
constexpr size_t kMaxWindow = 8u << 20;
constexpr size_t kFirstWindow = 256u << 10;

bool IsSpace(char c) { return c == ' ' || c == '\t' || c == '\n' || c == '\r'; }

std::string_view LocalName(std::string_view qualified) {
    const size_t colon = qualified.rfind(':');
    return colon == std::string_view::npos ? qualified : qualified.substr(colon + 1);
}

void AppendUtf8(std::string& out, quint32 cp) {
    if (cp < 0x80) {
        out.push_back(char(cp));
    } else if (cp < 0x800) {
        out.push_back(char(0xC0 | (cp >> 6)));
        out.push_back(char(0x80 | (cp & 0x3F)));
    } else if (cp < 0x10000) {
        out.push_back(char(0xE0 | (cp >> 12)));
        out.push_back(char(0x80 | ((cp >> 6) & 0x3F)));
        out.push_back(char(0x80 | (cp & 0x3F)));
    } else {
        out.push_back(char(0xF0 | (cp >> 18)));
        out.push_back(char(0x80 | ((cp >> 12) & 0x3F)));
        out.push_back(char(0x80 | ((cp >> 6) & 0x3F)));
        out.push_back(char(0x80 | (cp & 0x3F)));
    }
}

// The entity at the start of `s` ("&amp;..."): its length and what it stands for.
bool Entity(std::string_view s, size_t& length, std::string& out) {
    const size_t semi = s.find(';');
    if (semi == std::string_view::npos || semi > 12) return false;
    const std::string_view body = s.substr(1, semi - 1);
    length = semi + 1;
    if (body == "amp") return out.push_back('&'), true;
    if (body == "lt") return out.push_back('<'), true;
    if (body == "gt") return out.push_back('>'), true;
    if (body == "quot") return out.push_back('"'), true;
    if (body == "apos") return out.push_back('\''), true;
    if (body.size() < 2 || body[0] != '#') return false;
    quint32 cp = 0;
    const bool hex = body[1] == 'x' || body[1] == 'X';
    const std::string_view digits = body.substr(hex ? 2 : 1);
    if (digits.empty()) return false;
    for (char c : digits) {
        int d;
        if (c >= '0' && c <= '9')
            d = c - '0';
        else if (hex && c >= 'a' && c <= 'f')
            d = c - 'a' + 10;
        else if (hex && c >= 'A' && c <= 'F')
            d = c - 'A' + 10;
        else
            return false;
        cp = cp * (hex ? 16 : 10) + quint32(d);
        if (cp > 0x10FFFF) return false;
    }
    if (cp == 0 || (cp >= 0xD800 && cp <= 0xDFFF)) return false;
    AppendUtf8(out, cp);
    return true;
}

}  // namespace

XmlPull::XmlPull(ByteReader in) : in_(std::move(in)) {}

void XmlPull::DecodeEntities(std::string_view raw, std::string& out) {
    size_t i = 0;
    while (i < raw.size()) {
        const size_t amp = raw.find('&', i);
        if (amp == std::string_view::npos) {
            out.append(raw.substr(i));
            return;
        }
        out.append(raw.substr(i, amp - i));
        size_t length = 0;
        if (Entity(raw.substr(amp), length, out)) {
            i = amp + length;
        } else {
            out.push_back('&');  // a stray ampersand stays as it is
            i = amp + 1;
        }
    }
}

bool XmlPull::fill() {
    if (eof_ || failed_) return false;
    if (pos_ > 0) {
        std::memmove(buffer_.data(), buffer_.data() + pos_, end_ - pos_);
        end_ -= pos_;
        pos_ = 0;
    }
    if (buffer_.empty()) buffer_.resize(kFirstWindow);
    if (end_ == buffer_.size()) {
        if (buffer_.size() >= kMaxWindow) {
            failed_ = true;
            return false;
        }
        buffer_.resize(buffer_.size() * 2);
    }
    const bool first = consumed_ == 0;
    const qint64 n = in_(buffer_.data() + end_, qint64(buffer_.size() - end_));
    if (n < 0) {
        failed_ = true;
        return false;
    }
    if (n == 0) {
        eof_ = true;
        return false;
    }
    end_ += size_t(n);
    consumed_ += n;
    if (first) {
        if (end_ >= 3 && std::memcmp(buffer_.data(), "\xEF\xBB\xBF", 3) == 0) pos_ = 3;
        // UTF-16 parts exist in theory only; they are not read as UTF-8 garbage.
        if (end_ >= 2 && (std::memcmp(buffer_.data(), "\xFF\xFE", 2) == 0 ||
                          std::memcmp(buffer_.data(), "\xFE\xFF", 2) == 0))
            failed_ = true;
    }
    return !failed_;
}

XmlPull::Token XmlPull::fail() {
    failed_ = true;
    return Token::Failed;
}

bool XmlPull::skipPast(std::string_view end) {
    for (;;) {
        const std::string_view window(buffer_.data() + pos_, end_ - pos_);
        const size_t at = window.find(end);
        if (at != std::string_view::npos) {
            pos_ += at + end.size();
            return true;
        }
        // Keep only what could start the terminator: a long comment costs no memory.
        if (window.size() >= end.size()) pos_ = end_ - (end.size() - 1);
        if (!fill()) return false;
    }
}

XmlPull::Token XmlPull::next() {
    if (failed_) return Token::Failed;
    if (pendingEnd_) {
        pendingEnd_ = false;
        return Token::End;
    }
    for (;;) {
        if (pos_ == end_) {
            if (!fill()) return failed_ ? Token::Failed : Token::Done;
            continue;
        }
        const char* b = buffer_.data();
        if (b[pos_] != '<') {
            const void* lt = std::memchr(b + pos_, '<', end_ - pos_);
            size_t stop = lt ? size_t(static_cast<const char*>(lt) - b) : end_;
            if (!lt && !eof_) {
                // An entity cut by the window's end waits for the rest of it.
                const size_t amp = std::string_view(b + pos_, end_ - pos_).rfind('&');
                if (amp != std::string_view::npos &&
                    std::string_view(b + pos_ + amp, end_ - pos_ - amp).find(';') ==
                        std::string_view::npos)
                    stop = pos_ + amp;
                if (stop == pos_) {
                    if (!fill()) return failed_ ? fail() : Token::Done;
                    continue;
                }
            }
            text_.clear();
            DecodeEntities(std::string_view(b + pos_, stop - pos_), text_);
            pos_ = stop;
            return Token::Text;
        }
        if (end_ - pos_ < 9 && !eof_) {
            if (!fill() && failed_) return fail();
            if (end_ - pos_ < 9 && !eof_) continue;
        }
        const std::string_view head(buffer_.data() + pos_, std::min<size_t>(end_ - pos_, 9));
        if (head.size() < 2) return fail();
        if (head[1] == '?') {
            if (!skipPast("?>")) return fail();
            continue;
        }
        if (head.substr(0, 4) == "<!--") {
            pos_ += 4;
            if (!skipPast("-->")) return fail();
            continue;
        }
        if (head == "<![CDATA[") {
            for (;;) {
                const std::string_view window(buffer_.data() + pos_, end_ - pos_);
                const size_t close = window.find("]]>", 9);
                if (close != std::string_view::npos) {
                    text_.assign(window.substr(9, close - 9));
                    pos_ += close + 3;
                    return Token::Text;
                }
                if (!fill()) return fail();
            }
        }
        if (head[1] == '!') {
            // A document type declaration, with or without an internal subset: its entity
            // declarations are not honoured, so nothing in it can make the part grow.
            int depth = 0;
            for (size_t i = pos_ + 2;; ++i) {
                if (i >= end_) {
                    const size_t done = i - pos_;
                    if (!fill()) return fail();
                    i = pos_ + done - 1;
                    continue;
                }
                const char c = buffer_[i];
                if (c == '[') ++depth;
                if (c == ']') --depth;
                if (c == '>' && depth <= 0) {
                    pos_ = i + 1;
                    break;
                }
            }
            continue;
        }
        // A start or end tag: find its '>' outside quoted values.
        size_t close = 0;
        {
            char quote = 0;
            size_t i = pos_ + 1;
            for (;;) {
                if (i >= end_) {
                    const size_t done = i - pos_;
                    if (!fill()) return fail();
                    i = pos_ + done;
                    continue;
                }
                const char c = buffer_[i];
                if (quote) {
                    if (c == quote) quote = 0;
                } else if (c == '"' || c == '\'') {
                    quote = c;
                } else if (c == '>') {
                    close = i;
                    break;
                }
                ++i;
            }
        }
        const std::string_view tag(buffer_.data() + pos_ + 1, close - pos_ - 1);
        pos_ = close + 1;
        if (!tag.empty() && tag[0] == '/') {
            size_t n = 1;
            while (n < tag.size() && !IsSpace(tag[n])) ++n;
            name_.assign(LocalName(tag.substr(1, n - 1)));
            return Token::End;
        }
        size_t n = 0;
        while (n < tag.size() && !IsSpace(tag[n]) && tag[n] != '/') ++n;
        if (n == 0) return fail();
        name_.assign(LocalName(tag.substr(0, n)));
        std::string_view rest = tag.substr(n);
        if (!rest.empty() && rest.back() == '/') {
            pendingEnd_ = true;
            rest.remove_suffix(1);
        }
        attributes_ = rest;
        return Token::Start;
    }
}

bool XmlPull::nextAttribute(std::string_view& rest, std::string_view& name,
                            std::string_view& value) {
    size_t i = 0;
    while (i < rest.size() && IsSpace(rest[i])) ++i;
    if (i == rest.size()) return false;
    const size_t nameStart = i;
    while (i < rest.size() && rest[i] != '=' && !IsSpace(rest[i])) ++i;
    name = rest.substr(nameStart, i - nameStart);
    while (i < rest.size() && IsSpace(rest[i])) ++i;
    if (i == rest.size() || rest[i] != '=') return false;
    ++i;
    while (i < rest.size() && IsSpace(rest[i])) ++i;
    if (i == rest.size() || (rest[i] != '"' && rest[i] != '\'')) return false;
    const char quote = rest[i++];
    const size_t valueStart = i;
    while (i < rest.size() && rest[i] != quote) ++i;
    if (i == rest.size()) return false;
    value = rest.substr(valueStart, i - valueStart);
    rest.remove_prefix(i + 1);
    return true;
}

bool XmlPull::attribute(std::string_view local, std::string* value) const {
    std::string_view rest = attributes_;
    std::string_view n, v;
    while (nextAttribute(rest, n, v)) {
        // Namespace declarations are no attributes of the element ("xmlns:r" is not "r").
        if (n.substr(0, 5) == "xmlns") continue;
        if (LocalName(n) != local) continue;
        if (value) {
            value->clear();
            DecodeEntities(v, *value);
        }
        return true;
    }
    return false;
}

std::string XmlPull::attribute(std::string_view local) const {
    std::string v;
    attribute(local, &v);
    return v;
}

}  // namespace tallyra::sheets
