// SnapshotImage: a snapshot as one contiguous, position-independent block
// of bytes, the form of the compiled index that lies beside the text
// (index_file.h). Readers map or read it and find their answers in it
// without parsing anything.
//
// Layout: a header (below), then the parts, each at an offset that is a
// multiple of 64 within the image: the snapshot's text arena and the slots
// of its four name tables, byte for byte as the snapshot holds them. Every
// offset is from the image's start and every reference between the parts
// is an arena offset, so the image means the same wherever it lies.
//
// The header names the text it was compiled from by the stamp that a rename
// keeps (platform::StampKeptByRename): a reader takes the text's stamp and
// maps the image only when the two agree, so an image never stands for a
// text it does not describe. A checksum over the whole image, the header
// included, turns away a damaged one; the format version and the size of
// each part's elements turn away one written by another build.

#ifndef MERVANE_FILTER_SNAPSHOT_IMAGE_H_
#define MERVANE_FILTER_SNAPSHOT_IMAGE_H_

#include <cstddef>
#include <cstdint>
#include <string>

#include "platform/platform.h"

namespace mervane {

// Why an image cannot be used.
enum class ImageFault {
  kNone,
  kNotAnImage,   // no index's magic bytes
  kOtherFormat,  // another format version, byte order or record layout
  kTruncated,    // shorter, or longer, than its header says
  kOtherText,    // compiled from another file or version of the text
  kDamaged,      // the checksum does not agree
};

// What the fault means to an administrator.
const char* ImageFaultText(ImageFault fault);

// One part of an image: its bytes and the size of its elements.
struct ImagePart {
  const char* data = nullptr;
  std::size_t size = 0;
  uint32_t element_size = 1;
};

constexpr int kImageParts = 5;

// The image of parts, compiled from the text whose stamp is text.
std::string ComposeImage(const platform::FileStamp& text,
                         const ImagePart (&parts)[kImageParts]);

// The size of an image's header, which CheckImageHeader reads.
std::size_t ImageHeaderSize();

// Checks the header at the start of data (at least ImageHeaderSize bytes,
// or the whole file when shorter) alone: an image of this format version,
// compiled from the text whose stamp is text. Neither its parts, nor its
// size, nor its checksum.
ImageFault CheckImageHeader(const char* data, std::size_t size,
                            const platform::FileStamp& text);

// Checks that data holds a whole image with parts of the element sizes
// that parts gives, compiled from the text whose stamp is text, and points
// parts into it. The cheap checks come first, the checksum last: an index
// of another version of the text costs no pass over its bytes.
ImageFault ReadImage(const char* data, std::size_t size,
                     const platform::FileStamp& text,
                     ImagePart (&parts)[kImageParts]);

}  // namespace mervane

#endif  // MERVANE_FILTER_SNAPSHOT_IMAGE_H_
