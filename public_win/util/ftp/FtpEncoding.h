#pragma once

#include <iconv.h>

#include <memory>
#include <string>

namespace ftp {

// The bytes of names on the control connection. The client's texts are UTF-8; a server without
// UTF8 keeps its names in its own code page (GBK on the system's original platform).
class NameCodec {
public:
    ~NameCodec();
    NameCodec(const NameCodec&) = delete;
    NameCodec& operator=(const NameCodec&) = delete;

    // Null when iconv does not know the encoding.
    static std::unique_ptr<NameCodec> Open(const std::string& encoding);
    static bool Known(const std::string& encoding);

    const std::string& Name() const { return name_; }
    bool IsUtf8() const { return utf8_; }
    // The server's bytes of a UTF-8 text; false when a character has none in the encoding.
    bool Encode(const std::string& utf8, std::string* out) const;
    // A reply in UTF-8; bytes that are not valid in the encoding become U+FFFD.
    std::string Decode(const std::string& bytes) const;

private:
    NameCodec(std::string name, iconv_t to, iconv_t from, bool utf8);

    std::string name_;
    iconv_t to_;
    iconv_t from_;
    bool utf8_;
};

}  // namespace ftp
