#pragma once

#include <QtGlobal>
#include <functional>
#include <string>
#include <string_view>

namespace tallyra::sheets {

// Fills `out` with up to `n` bytes; 0 at the end, negative when the bytes cannot be had.
using ByteReader = std::function<qint64(char* out, qint64 n)>;

// A pull reader over XML that arrives in pieces (an inflating zip entry), holding only a
// window of it: a sheet of any size costs the same memory. It knows what spreadsheet parts
// use (elements, attributes, text, CDATA, the predefined and numeric entities) and skips
// declarations, comments and processing instructions. Names are compared without their
// prefix. Text comes in runs that the caller joins; a run never splits an entity, but may
// split a UTF-8 sequence, so callers join bytes and decode at the element's end.
class XmlPull {
public:
    enum class Token { Start, End, Text, Done, Failed };
    explicit XmlPull(ByteReader in);

    Token next();
    // The element of the last Start or End, without its prefix.
    std::string_view name() const { return name_; }
    bool is(std::string_view local) const { return name_ == local; }
    // The attribute whose name without prefix is `local` (the first one), entities decoded.
    bool attribute(std::string_view local, std::string* value) const;
    std::string attribute(std::string_view local) const;
    // Every attribute of the last Start: (qualified name, raw value).
    template <typename F>
    void forEachAttribute(F&& f) const {
        std::string_view rest = attributes_;
        std::string_view n, v;
        while (nextAttribute(rest, n, v)) f(n, v);
    }
    // The last Text run, entities decoded.
    std::string_view text() const { return text_; }

    static void DecodeEntities(std::string_view raw, std::string& out);

private:
    static bool nextAttribute(std::string_view& rest, std::string_view& name,
                              std::string_view& value);
    bool fill();
    bool skipPast(std::string_view end);
    Token fail();

    ByteReader in_;
    std::string buffer_;
    size_t pos_ = 0, end_ = 0;
    bool eof_ = false, failed_ = false, pendingEnd_ = false;
    qint64 consumed_ = 0;
    std::string name_;
    std::string_view attributes_;
    std::string text_;
};

}  // namespace tallyra::sheets
