#pragma once

// Value records of the EXIF reader.

#include <cstdint>
#include <string>

namespace pelko {

// The decoded value of one directory entry.
struct TDatas {
    double FloatValue = 0;
    std::int32_t SignedValue = 0;
    std::string Text;
    std::uint32_t UnsignedValue = 0;
};

// A rational tag: "numerator/denominator" and its quotient (0 when the denominator is 0).
struct TExifRational {
    std::string Text;
    double FloatValue = 0;
};

// An enumerated tag: the raw number and its description.
struct TExifStringValue {
    std::string Text;
    std::int32_t Value = 0;
};

// Where row 0 and column 0 of the stored image lie.
enum class TExifOrientation : std::uint8_t {
    eoUndefined,
    eoTopLeft,
    eoTopRight,
    eoBottomLeft,
    eoBottomRight,
    eoLeftTop,
    eoRightTop,
    eoRightBottom,
    eoLeftBottom,
};

enum class TByteOrder : std::uint8_t { boIntel = 0, boMotorola = 1 };

// TIFF field types.
enum TiffType : std::int8_t {
    kTiffByte = 1,
    kTiffAscii = 2,
    kTiffShort = 3,
    kTiffLong = 4,
    kTiffRational = 5,
    kTiffSByte = 6,
    kTiffUndefined = 7,
    kTiffSShort = 8,
    kTiffSLong = 9,
    kTiffSRational = 10,
    kTiffFloat = 11,
    kTiffDouble = 12,
};

}  // namespace pelko
