#include "filter/snapshot_image.h"

#include <cstring>
#include <memory>
#include <utility>

#include "filter/snapshot.h"

namespace mervane {
namespace {

constexpr char kMagic[8] = {'M', 'R', 'V', 'N', 'I', 'D', 'X', '\n'};
// Changes with the layout of the header, the parts or their order, and
// with the name tables' hash.
constexpr uint32_t kFormatVersion = 1;
constexpr uint32_t kByteOrder = 0x01020304;
constexpr std::size_t kAlignment = 64;

struct PartEntry {
  uint64_t offset;
  uint64_t size;
  uint32_t element_size;
  uint32_t unused;
};

struct Header {
  char magic[8];
  uint32_t version;
  uint32_t byte_order;
  uint64_t image_size;
  uint64_t checksum;  // over the image with this field 0
  // The kept stamp of the text compiled.
  uint64_t text_size;
  uint64_t text_last_write;
  uint64_t text_identity[2];
  uint64_t text_changed;
  PartEntry parts[kImageParts];
};

uint64_t Join(const platform::FileTime& time) {
  return (uint64_t{time.high} << 32) | time.low;
}

void NameText(const platform::FileStamp& text, Header* header) {
  const platform::FileStamp kept = platform::StampKeptByRename(text);
  header->text_size = kept.size;
  header->text_last_write = Join(kept.last_write_time);
  header->text_identity[0] = kept.identity[0];
  header->text_identity[1] = kept.identity[1];
  header->text_changed = Join(kept.changed);
}

uint64_t RotateLeft(uint64_t value, int bits) {
  return (value << bits) | (value >> (64 - bits));
}

// A word-wise hash in four independent lanes, fast enough to check a large
// index on every load.
class Checksum {
 public:
  void Add(const char* data, std::size_t size) {
    size_ += size;
    for (; size >= kBlock; data += kBlock, size -= kBlock) Round(data);
    if (size > 0) {
      char tail[kBlock] = {};
      std::memcpy(tail, data, size);
      Round(tail);
    }
  }
  uint64_t Value() const {
    uint64_t value = size_ * kPrime1;
    for (const uint64_t lane : lanes_) {
      value = RotateLeft(value ^ (lane * kPrime2), 27) * kPrime1 + kPrime2;
    }
    value ^= value >> 33;
    value *= kPrime2;
    return value ^ (value >> 29);
  }

 private:
  static constexpr std::size_t kBlock = 32;
  static constexpr uint64_t kPrime1 = 0x9E3779B185EBCA87ull;
  static constexpr uint64_t kPrime2 = 0xC2B2AE3D27D4EB4Full;

  void Round(const char* block) {
    for (int lane = 0; lane < 4; ++lane) {
      uint64_t word;
      std::memcpy(&word, block + 8 * lane, sizeof(word));
      lanes_[lane] = RotateLeft(lanes_[lane] + word * kPrime2, 31) * kPrime1;
    }
  }

  uint64_t lanes_[4] = {kPrime1, kPrime2, 0, ~kPrime1};
  uint64_t size_ = 0;
};

uint64_t ChecksumOf(const char* image, std::size_t size) {
  Header header;
  std::memcpy(&header, image, sizeof(header));
  header.checksum = 0;
  Checksum sum;
  // Whole blocks, so that the header's copy and the body hash as if one.
  static_assert(sizeof(Header) % 32 == 0, "the header fills whole blocks");
  sum.Add(reinterpret_cast<const char*>(&header), sizeof(header));
  sum.Add(image + sizeof(header), size - sizeof(header));
  return sum.Value();
}

std::size_t Aligned(std::size_t offset) {
  return (offset + kAlignment - 1) / kAlignment * kAlignment;
}

}  // namespace

const char* ImageFaultText(ImageFault fault) {
  switch (fault) {
    case ImageFault::kNone:
      return "in order";
    case ImageFault::kNotAnImage:
      return "not an index";
    case ImageFault::kOtherFormat:
      return "written by another version of the filter";
    case ImageFault::kTruncated:
      return "truncated";
    case ImageFault::kOtherText:
      return "compiled from another file or version of the text";
    case ImageFault::kDamaged:
      return "damaged";
  }
  return "unknown";
}

std::string ComposeImage(const platform::FileStamp& text,
                         const ImagePart (&parts)[kImageParts]) {
  Header header = {};
  std::memcpy(header.magic, kMagic, sizeof(kMagic));
  header.version = kFormatVersion;
  header.byte_order = kByteOrder;
  NameText(text, &header);
  std::size_t offset = Aligned(sizeof(header));
  for (int part = 0; part < kImageParts; ++part) {
    header.parts[part] = {offset, parts[part].size, parts[part].element_size,
                          0};
    offset = Aligned(offset + parts[part].size);
  }
  header.image_size = offset;
  std::string image(offset, '\0');
  for (int part = 0; part < kImageParts; ++part) {
    if (parts[part].size == 0) continue;
    std::memcpy(&image[header.parts[part].offset], parts[part].data,
                parts[part].size);
  }
  std::memcpy(&image[0], &header, sizeof(header));
  header.checksum = ChecksumOf(image.data(), image.size());
  std::memcpy(&image[0], &header, sizeof(header));
  return image;
}

std::size_t ImageHeaderSize() { return sizeof(Header); }

ImageFault CheckImageHeader(const char* data, std::size_t size,
                            const platform::FileStamp& text) {
  const bool magic =
      size >= sizeof(kMagic) && std::memcmp(data, kMagic, sizeof(kMagic)) == 0;
  if (!magic) return ImageFault::kNotAnImage;
  Header header;
  if (size < sizeof(header)) return ImageFault::kTruncated;
  std::memcpy(&header, data, sizeof(header));
  if (header.version != kFormatVersion || header.byte_order != kByteOrder) {
    return ImageFault::kOtherFormat;
  }
  Header expected = {};
  NameText(text, &expected);
  if (header.text_size != expected.text_size ||
      header.text_last_write != expected.text_last_write ||
      header.text_identity[0] != expected.text_identity[0] ||
      header.text_identity[1] != expected.text_identity[1] ||
      header.text_changed != expected.text_changed) {
    return ImageFault::kOtherText;
  }
  return ImageFault::kNone;
}

ImageFault ReadImage(const char* data, std::size_t size,
                     const platform::FileStamp& text,
                     ImagePart (&parts)[kImageParts]) {
  const ImageFault fault = CheckImageHeader(data, size, text);
  if (fault != ImageFault::kNone) return fault;
  Header header;
  std::memcpy(&header, data, sizeof(header));
  for (int part = 0; part < kImageParts; ++part) {
    if (header.parts[part].element_size != parts[part].element_size) {
      return ImageFault::kOtherFormat;
    }
  }
  if (header.image_size != size) return ImageFault::kTruncated;
  for (const PartEntry& part : header.parts) {
    if (part.offset > size || part.size > size - part.offset) {
      return ImageFault::kDamaged;
    }
  }
  if (ChecksumOf(data, size) != header.checksum) return ImageFault::kDamaged;
  for (int part = 0; part < kImageParts; ++part) {
    parts[part].data = data + header.parts[part].offset;
    parts[part].size = static_cast<std::size_t>(header.parts[part].size);
  }
  return ImageFault::kNone;
}

// The snapshot's side of its image, kept here with the format it fills.

namespace {

template <typename Table>
ImagePart TablePart(const Table& table) {
  return {static_cast<const char*>(table.SlotBytes()), table.SlotBytesSize(),
          static_cast<uint32_t>(Table::SlotSize())};
}

}  // namespace

std::string Snapshot::Image(const platform::FileStamp& text) const {
  const ImagePart parts[kImageParts] = {
      {Arena(), image_text_ != nullptr ? image_text_size_ : arena_.size(), 1},
      TablePart(ips_),
      TablePart(hosts_),
      TablePart(exceptions_),
      TablePart(common_paths_)};
  return ComposeImage(text, parts);
}

std::shared_ptr<const Snapshot> Snapshot::FromImage(
    std::shared_ptr<const void> holder, const char* image, std::size_t size,
    const platform::FileStamp& text, ImageFault* fault) {
  std::shared_ptr<Snapshot> snapshot(new Snapshot());
  ImagePart parts[kImageParts] = {{},
                                  TablePart(snapshot->ips_),
                                  TablePart(snapshot->hosts_),
                                  TablePart(snapshot->exceptions_),
                                  TablePart(snapshot->common_paths_)};
  *fault = ReadImage(image, size, text, parts);
  if (*fault != ImageFault::kNone) return nullptr;
  const ImagePart& arena = parts[0];
  // Every text ends with its zero byte, offset 0 being the empty text: a
  // lookup never reads past the arena.
  if (arena.size == 0 || arena.data[arena.size - 1] != '\0' ||
      !snapshot->ips_.View(parts[1].data, parts[1].size) ||
      !snapshot->hosts_.View(parts[2].data, parts[2].size) ||
      !snapshot->exceptions_.View(parts[3].data, parts[3].size) ||
      !snapshot->common_paths_.View(parts[4].data, parts[4].size)) {
    *fault = ImageFault::kDamaged;
    return nullptr;
  }
  snapshot->image_ = std::move(holder);
  snapshot->image_text_ = arena.data;
  snapshot->image_text_size_ = arena.size;
  return snapshot;
}

}  // namespace mervane
