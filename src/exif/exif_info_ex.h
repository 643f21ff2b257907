#pragma once

// TExifInfoEx reads the EXIF block of a JPEG file into read-only properties. Assigning
// ImageFileName clears every property and reads the file at once. Texts are UTF-8 (bytes that
// are not valid UTF-8 are taken as Shift-JIS).
//
// The block is untrusted: every offset is read through BoundedReader, the directory queue is
// finite and never holds a position twice, so no file can make the walk read out of bounds, loop
// or run long.

#include <cstdint>
#include <functional>
#include <string>
#include <string_view>
#include <variant>
#include <vector>

#include "exif/exif_types.h"

namespace pelko {

class BoundedReader;

// One tag property, for writers that list them all: numbers (orientations as their ordinal) by
// value, everything else by reference into the reader.
struct ExifProperty {
    std::string_view name;
    std::variant<std::int64_t, const std::string*, const TExifRational*, const TExifStringValue*,
                 const std::vector<std::string>*>
        value;
};

class TExifInfoEx {
  public:
    using TNotifyEvent = std::function<void(TExifInfoEx& sender)>;

    TExifInfoEx();
    virtual ~TExifInfoEx();
    TExifInfoEx(const TExifInfoEx&) = default;
    TExifInfoEx& operator=(const TExifInfoEx&) = default;

    // True when the file starts with a JPEG SOI and holds an APP1 marker within SearchRange
    // bytes followed by the identifier "Exif".
    bool HasExif(const std::string& file_name) const;

    const std::string& ImageFileName() const { return image_file_name_; }
    // Clears every tag property and reads the file; fires OnReadError when it has no EXIF header.
    void SetImageFileName(const std::string& file_name);

    // Reads the bytes of a whole file from memory, as assigning ImageFileName reads a file.
    void ReadFromBytes(std::string_view file_bytes);

    void SetSearchRange(std::int32_t range) { search_range_ = range; }

    // Fired when the assigned file has no EXIF header.
    TNotifyEvent OnReadError;

    // Byte order of the block read last (Intel when none was read).
    TByteOrder ByteOrder() const { return byte_order_; }

    std::int32_t ThumbnailWidth() const { return t_.thumbnail_width_; }
    std::int32_t ThumbnailHeight() const { return t_.thumbnail_height_; }
    const TExifStringValue& Compression() const { return t_.compression_; }
    const TExifStringValue& PhotometricInterpretation() const { return t_.photometric_; }
    const std::string& ImageDescription() const { return t_.image_description_; }
    const std::string& Make() const { return t_.make_; }
    const std::string& Model() const { return t_.model_; }
    TExifOrientation Orientation() const { return t_.orientation_; }
    TExifOrientation ThumbnailOrientation() const { return t_.thumbnail_orientation_; }
    std::int16_t SamplesPerPixel() const { return t_.samples_per_pixel_; }
    const TExifRational& XResolution() const { return t_.x_resolution_; }
    const TExifRational& YResolution() const { return t_.y_resolution_; }
    const TExifRational& ThumbnailXResolution() const { return t_.thumbnail_x_resolution_; }
    const TExifRational& ThumbnailYResolution() const { return t_.thumbnail_y_resolution_; }
    std::int16_t PlanarConfiguration() const { return t_.planar_configuration_; }
    const TExifStringValue& ResolutionUnit() const { return t_.resolution_unit_; }
    const TExifStringValue& ThumbnailResolutionUnit() const {
        return t_.thumbnail_resolution_unit_;
    }
    const std::string& Software() const { return t_.software_; }
    const std::string& DateTime() const { return t_.date_time_; }
    std::uint32_t JPEGInterchangeFormat() const { return t_.jpeg_if_; }
    std::uint32_t JPEGInterchangeFormatLength() const { return t_.jpeg_if_length_; }
    std::int32_t ImageWidth() const { return t_.image_width_; }
    std::int32_t ImageHeight() const { return t_.image_height_; }
    const std::string& RightsNotice() const { return t_.rights_notice_; }
    const TExifRational& ExposureTime() const { return t_.exposure_time_; }
    const TExifRational& FNumber() const { return t_.f_number_; }
    const TExifStringValue& ExposureProgram() const { return t_.exposure_program_; }
    std::uint16_t ISOSpeedRatings() const { return t_.iso_speed_ratings_; }
    const std::string& ExifVersion() const { return t_.exif_version_; }
    const std::string& DateTimeOriginal() const { return t_.date_time_original_; }
    const std::string& DateTimeGenerated() const { return t_.date_time_generated_; }
    const TExifRational& CompressedBitsPerPixel() const { return t_.compressed_bits_per_pixel_; }
    const TExifRational& ShutterSpeedValue() const { return t_.shutter_speed_value_; }
    const TExifRational& ApertureValue() const { return t_.aperture_value_; }
    const TExifRational& BrightnessValue() const { return t_.brightness_value_; }
    const TExifRational& ExposureBiasValue() const { return t_.exposure_bias_value_; }
    const TExifRational& MaxApertureValue() const { return t_.max_aperture_value_; }
    const TExifRational& SubjectDistance() const { return t_.subject_distance_; }
    const TExifStringValue& MeteringMode() const { return t_.metering_mode_; }
    const TExifStringValue& LightSource() const { return t_.light_source_; }
    const TExifStringValue& Flash() const { return t_.flash_; }
    const TExifRational& FocalLength() const { return t_.focal_length_; }
    std::uint32_t MakerNoteLength() const { return t_.maker_note_length_; }
    std::uint32_t MakerNotePosition() const { return t_.maker_note_position_; }
    const std::vector<std::string>& UserComment() const { return t_.user_comment_; }
    const std::string& SubSecTime() const { return t_.sub_sec_time_; }
    const std::string& SubSecTimeOriginal() const { return t_.sub_sec_time_original_; }
    const std::string& SubSecTimeGenerated() const { return t_.sub_sec_time_generated_; }
    const std::string& FlashpixVersion() const { return t_.flashpix_version_; }
    const TExifStringValue& ColorSpace() const { return t_.color_space_; }
    const std::string& RelatedSoundFile() const { return t_.related_sound_file_; }
    const TExifRational& FocalPlaneXResolution() const { return t_.focal_plane_x_resolution_; }
    const TExifRational& FocalPlaneYResolution() const { return t_.focal_plane_y_resolution_; }
    const TExifStringValue& FocalPlaneResolutionUnit() const { return t_.focal_plane_unit_; }
    const TExifStringValue& SensingMethod() const { return t_.sensing_method_; }

    // Calls each with every tag property once, in the order of the tag table.
    void ForEachProperty(const std::function<void(const ExifProperty&)>& each) const;

  protected:
    // Calls OnReadError when a handler is assigned.
    virtual void DoReadError();

  private:
    struct Entry;
    friend struct ExifTagTable;  // the tag table names the fields of Tags

    void Clear();
    void Read(BoundedReader& reader);
    void ReadExif(BoundedReader& reader, std::uint64_t tiff);
    void ApplyEntry(BoundedReader& reader, const Entry& entry, std::uint64_t tiff, bool first_ifd,
                    std::vector<std::uint64_t>& queue);

    std::string image_file_name_;
    std::int32_t search_range_ = 32;
    TByteOrder byte_order_ = TByteOrder::boIntel;
    bool thumbnail_file_ = false;
    std::uint64_t value_budget_ = 0;  // text and byte values the walk may still decode

    // Every tag property, reset as a whole before each read.
    struct Tags {
        std::int32_t thumbnail_width_ = 0;
        std::int32_t thumbnail_height_ = 0;
        TExifStringValue compression_;
        TExifStringValue photometric_;
        std::string image_description_;
        std::string make_;
        std::string model_;
        TExifOrientation orientation_ = TExifOrientation::eoUndefined;
        TExifOrientation thumbnail_orientation_ = TExifOrientation::eoUndefined;
        std::int16_t samples_per_pixel_ = 0;
        TExifRational x_resolution_;
        TExifRational y_resolution_;
        TExifRational thumbnail_x_resolution_;
        TExifRational thumbnail_y_resolution_;
        std::int16_t planar_configuration_ = 0;
        TExifStringValue resolution_unit_;
        TExifStringValue thumbnail_resolution_unit_;
        std::string software_;
        std::string date_time_;
        std::uint32_t jpeg_if_ = 0;
        std::uint32_t jpeg_if_length_ = 0;
        std::int32_t image_width_ = 0;
        std::int32_t image_height_ = 0;
        std::string rights_notice_;
        TExifRational exposure_time_;
        TExifRational f_number_;
        TExifStringValue exposure_program_;
        std::uint16_t iso_speed_ratings_ = 0;
        std::string exif_version_;
        std::string date_time_original_;
        std::string date_time_generated_;
        TExifRational compressed_bits_per_pixel_;
        TExifRational shutter_speed_value_;
        TExifRational aperture_value_;
        TExifRational brightness_value_;
        TExifRational exposure_bias_value_;
        TExifRational max_aperture_value_;
        TExifRational subject_distance_;
        TExifStringValue metering_mode_;
        TExifStringValue light_source_;
        TExifStringValue flash_;
        TExifRational focal_length_;
        std::uint32_t maker_note_length_ = 0;
        std::uint32_t maker_note_position_ = 0;
        std::vector<std::string> user_comment_;
        std::string sub_sec_time_;
        std::string sub_sec_time_original_;
        std::string sub_sec_time_generated_;
        std::string flashpix_version_;
        TExifStringValue color_space_;
        std::string related_sound_file_;
        TExifRational focal_plane_x_resolution_;
        TExifRational focal_plane_y_resolution_;
        TExifStringValue focal_plane_unit_;
        TExifStringValue sensing_method_;
    };
    Tags t_;
};

// Finds the EXIF header in the bytes of a JPEG file: the absolute position of the TIFF header,
// or false when there is none within search_range bytes.
bool FindExifHeader(BoundedReader& reader, std::int32_t search_range, std::uint64_t* tiff);

}  // namespace pelko
