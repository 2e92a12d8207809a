// Folder syncs as tests see them: a test program that links
// test_folder_sync.cc has its own fsync, which can make the syncs of folders
// fail, so that tests can play the file systems that cannot sync a folder
// (EINVAL) or fail to (EIO). Files sync as usual.

#ifndef MERVANE_PLATFORM_TEST_FOLDER_SYNC_H_
#define MERVANE_PLATFORM_TEST_FOLDER_SYNC_H_

namespace mervane {
namespace test_folder_sync {

// While it lives, every folder sync fails with `error`.
class Failure {
 public:
  explicit Failure(int error);
  ~Failure();
  Failure(const Failure&) = delete;
  Failure& operator=(const Failure&) = delete;
};

}  // namespace test_folder_sync
}  // namespace mervane

#endif  // MERVANE_PLATFORM_TEST_FOLDER_SYNC_H_
