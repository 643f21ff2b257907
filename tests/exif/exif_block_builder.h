#pragma once

// Builds EXIF blocks byte by byte for cases no camera produced: either byte order, directories
// that point at each other, counts and offsets set by hand.

#include <cstdint>
#include <string>
#include <vector>

namespace pelko::test {

class ExifBlockBuilder {
  public:
    explicit ExifBlockBuilder(bool big_endian) : big_(big_endian) { ifds_.emplace_back(); }

    // Adds a directory; returns its index. Directory 0 is the first one.
    int AddIfd() {
        ifds_.emplace_back();
        return static_cast<int>(ifds_.size()) - 1;
    }
    // Makes directory `from` link to directory `to` (its next-directory link).
    void Link(int from, int to) { ifds_[from].next = to; }

    // An entry whose value bytes are given in file order.
    void Raw(int ifd, std::uint16_t tag, std::uint16_t type, std::uint32_t count,
             std::string bytes) {
        ifds_[ifd].entries.push_back({tag, type, count, std::move(bytes), -1});
    }
    void Short(int ifd, std::uint16_t tag, std::uint16_t v) { Raw(ifd, tag, 3, 1, U16(v)); }
    void Long(int ifd, std::uint16_t tag, std::uint32_t v) { Raw(ifd, tag, 4, 1, U32(v)); }
    void Ascii(int ifd, std::uint16_t tag, const std::string& text) {
        Raw(ifd, tag, 2, static_cast<std::uint32_t>(text.size() + 1), text + '\0');
    }
    void Rational(int ifd, std::uint16_t tag, std::uint32_t n, std::uint32_t d) {
        Raw(ifd, tag, 5, 1, U32(n) + U32(d));
    }
    // A LONG entry that holds the offset of another directory (Exif or Interoperability).
    void Pointer(int ifd, std::uint16_t tag, int target) {
        ifds_[ifd].entries.push_back({tag, 4, 1, "", target});
    }

    std::string U16(std::uint16_t v) const {
        return big_ ? std::string{char(v >> 8), char(v)} : std::string{char(v), char(v >> 8)};
    }
    std::string U32(std::uint32_t v) const {
        return big_ ? U16(std::uint16_t(v >> 16)) + U16(std::uint16_t(v))
                    : U16(std::uint16_t(v)) + U16(std::uint16_t(v >> 16));
    }

    // The TIFF block: header, the directories in order, then every value longer than 4 bytes.
    std::string Tiff() const {
        std::vector<std::uint32_t> at{8};  // where each directory starts; last: the values
        for (const Ifd& ifd : ifds_)
            at.push_back(at.back() + 6 + 12 * static_cast<std::uint32_t>(ifd.entries.size()));
        std::string out = (big_ ? "MM" : "II") + U16(42) + U32(8), values;
        for (const Ifd& ifd : ifds_) {
            out += U16(static_cast<std::uint16_t>(ifd.entries.size()));
            for (const Entry& e : ifd.entries) {
                out += U16(e.tag) + U16(e.type) + U32(e.count);
                if (e.target >= 0) {
                    out += U32(at[e.target]);
                } else if (e.bytes.size() > 4) {
                    out += U32(at.back() + static_cast<std::uint32_t>(values.size()));
                    values += e.bytes;
                } else {
                    out += e.bytes + std::string(4 - e.bytes.size(), '\0');
                }
            }
            out += U32(ifd.next >= 0 ? at[ifd.next] : 0);
        }
        return out + values;
    }

    // A JPEG file: SOI, optional segments, then the APP1 segment with the identifier.
    std::string Jpeg(const std::string& before_app1 = "",
                     const std::string& ident = std::string("Exif\0\0", 6)) const {
        std::string body = ident + Tiff();
        std::size_t len = body.size() + 2;
        return std::string("\xFF\xD8", 2) + before_app1 + "\xFF\xE1" + char(len >> 8) +
               char(len & 0xFF) + body;
    }

  private:
    struct Entry {
        std::uint16_t tag, type;
        std::uint32_t count;
        std::string bytes;
        int target;
    };
    struct Ifd {
        std::vector<Entry> entries;
        int next = -1;
    };
    bool big_;
    std::vector<Ifd> ifds_;
};

}  // namespace pelko::test
