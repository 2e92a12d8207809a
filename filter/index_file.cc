#include "filter/index_file.h"

#include <cstdio>
#include <utility>
#include <vector>

#include "filter/snapshot_image.h"

namespace mervane {
namespace {

bool WriteIndex(const std::string& text_path, const Snapshot& snapshot,
                const platform::FileStamp& text, std::string* problem) {
  const std::string index = IndexPathOf(text_path);
  platform::ReplaceSteps binary;
  binary.binary = true;
  return platform::ReplaceFileDurably((index + ".tmp").c_str(), index.c_str(),
                                      snapshot.Image(text), problem,
                                      binary) != platform::Replacement::kFailed;
}

// Holds a file's content for the snapshot that views it.
std::shared_ptr<const void> Holding(platform::FileContent content) {
  return std::shared_ptr<const void>(
      platform::FileContentData(content),
      [content](const void*) { platform::CloseFileContent(content); });
}

}  // namespace

std::string IndexPathOf(const std::string& text_path) {
  // Beside the file that a symbolic link leads to, which a save replaces:
  // every server whose path is a link to one shared file finds one index.
  std::string target;
  if (!platform::FinalFilePath(text_path.c_str(), &target)) target = text_path;
  return target + ".index";
}

platform::ReplaceSteps IndexWritingSteps(const std::string& text_path) {
  platform::ReplaceSteps steps;
  steps.before_rename = [text_path](const std::string& fresh_path,
                                    const platform::FileStamp& fresh,
                                    std::string* problem) {
    Snapshot::LoadFailure unloadable;
    const std::shared_ptr<const Snapshot> snapshot =
        Snapshot::Load(fresh_path, &unloadable);
    return snapshot == nullptr ||
           WriteIndex(text_path, *snapshot, fresh, problem);
  };
  return steps;
}

bool CompileIndex(const std::string& text_path, std::string* problem) {
  // A save landing during the read would leave an index of one text named
  // after another: the read counts only when the stamp held through it.
  constexpr int kTries = 3;
  for (int attempt = 0; attempt < kTries; ++attempt) {
    platform::FileStamp before;
    platform::FileStamp after;
    if (!platform::QueryFileStamp(text_path.c_str(), &before)) {
      *problem = text_path + ": " + platform::LastErrorText();
      return false;
    }
    Snapshot::LoadFailure failure;
    const std::shared_ptr<const Snapshot> snapshot =
        Snapshot::Load(text_path, &failure);
    if (snapshot == nullptr) {
      *problem = text_path + ": " + failure.reason;
      return false;
    }
    if (platform::QueryFileStamp(text_path.c_str(), &after) &&
        after == before) {
      return WriteIndex(text_path, *snapshot, before, problem);
    }
  }
  *problem = text_path + ": changed during each of " + std::to_string(kTries) +
             " reads";
  return false;
}

IndexLoad LoadIndex(const std::string& text_path,
                    const platform::FileStamp& text) {
  IndexLoad load;
  platform::FileStamp opened;
  const platform::FileContent content = platform::OpenFileContent(
      IndexPathOf(text_path).c_str(), &opened, &load.why);
  if (content == nullptr) {
    load.may_come = true;
    load.why = "cannot be read: " + load.why;
    return load;
  }
  std::shared_ptr<const void> holder = Holding(content);
  ImageFault fault = ImageFault::kNone;
  load.snapshot =
      Snapshot::FromImage(std::move(holder), platform::FileContentData(content),
                          platform::FileContentSize(content), text, &fault);
  load.may_come = fault == ImageFault::kOtherText;
  load.why = ImageFaultText(fault);
  return load;
}

bool IndexNamesText(const std::string& text_path,
                    const platform::FileStamp& text) {
  // Every allocation before the open: a throw must not leave the file open,
  // which on Windows would refuse the next save's rename.
  const std::string index = IndexPathOf(text_path);
  std::vector<char> header(ImageHeaderSize());
  std::FILE* file = platform::OpenFile(index.c_str(), "rb");
  if (file == nullptr) return true;
  const size_t size = std::fread(header.data(), 1, header.size(), file);
  std::fclose(file);
  const ImageFault fault = CheckImageHeader(header.data(), size, text);
  return fault == ImageFault::kNone || fault == ImageFault::kOtherFormat;
}

}  // namespace mervane
