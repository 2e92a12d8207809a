// The folder exceptions action, run through the real mervanecfg. The rules
// it shares with the common paths (path_entries.cc) are checked there.

#include "admin/test_installation.h"
#include "gtest/gtest.h"

namespace mervane {
namespace {

TEST(FolderExceptionsTest, DoFolderExceptions) {
  const char* kQuery = "Action=DoFolderExceptions";
  ExpectActionCases({
      // The same URL subdir may be an exception of several hosts.
      {kQuery, "IP=10.0.0.5&VHost=beta%7C8080&URLsub=docs&mapPath=x&Add=Add",
       "New mapping exception added!", true,
       "            { FolderExceptions:\n            } FolderExceptions;",
       "            { FolderExceptions:\n"
       "                (string)docs=x\n"
       "            } FolderExceptions;"},
      {kQuery, "IP=10.0.0.5&VHost=alpha&URLsub=img&Remove=Remove",
       "Mapping exception removed!", true,
       "                (string)img=d:\\shared\\images\n", ""},
      {kQuery, "IP=10.0.0.5&VHost=alpha&URLsub=cgi-bin&Remove=Remove",
       "Invalid name of URL subdir! Can't remove mapping exeption.", false},
      {kQuery, "IP=10.0.0.5&VHost=alpha&URLsub=docs&mapPath=e%3A%5Cd&Edit=Edit",
       "Mapping exception changed!", true, "docs=d:\\shared\\docs",
       "docs=e:\\d"},
      {kQuery, "IP=10.0.0.5&VHost=alpha&URLsub=cgi-bin&Edit=Edit",
       "Invalid name of URL subdir! Can't change mapping exception.", false},
      {kQuery, "IP=10.0.0.5&VHost=zeta&URLsub=docs&mapPath=x&Add=Add",
       "That virtual host is not registered on that IP!", false},
      {kQuery, "IP=10.0.0.7&VHost=alpha&URLsub=docs&mapPath=x&Add=Add",
       "That IP is not registered!", false},
  });
}

}  // namespace
}  // namespace mervane
