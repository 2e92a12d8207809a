// Every form action of the real mervanecfg as a table: the request, the
// message it answers and the file afterwards. Hostile texts are rows too;
// the refusals shared by several actions are named by their definitions.

#include <string>

#include "admin/admin_messages.h"
#include "admin/test_installation.h"
#include "gtest/gtest.h"

namespace mervane {
namespace {

constexpr char kCommonA[] = "Action=DoCommonPaths&Scheme=A";
constexpr char kCommonB[] = "Action=DoCommonPaths&Scheme=B";
constexpr char kExceptions[] = "Action=DoFolderExceptions";
constexpr char kEditHost[] = "Action=DoEditVHost";
constexpr char kRemoveHost[] = "Action=DoEditRemoveMapping&IP=10.0.0.5";
constexpr char kInUse[] =
    "There are active bindings to that IP. Please remove them to complete "
    "the operation.";
// The lines of text from the one that starts with `first` to the one that
// starts with `last`, indentation included.
std::string Saved(const std::string& text, const std::string& first,
                  const std::string& last) {
  const size_t begin = text.rfind('\n', text.find(first)) + 1;
  const size_t end = text.find('\n', text.find(last, begin)) + 1;
  return text.substr(begin, end - begin);
}
const std::string kSmallSaved = Golden("small_saved.cfg");
const std::string kSix = Saved(kSmallSaved, "{ 10.0.0.6:", "} 10.0.0.6;");
const std::string kAlpha = Saved(kSmallSaved, "{ alpha:", "} alpha;");
const std::string kBeta = Saved(kSmallSaved, "{ beta|8080:", "} beta|8080;");
const std::string kGeneralFive =
    Saved(kSmallSaved, "(int)Disable=1", "(string)WebRoot=");
const std::string kIpv6 = Golden("ipv6.cfg");
constexpr char kBadStar[] =
    "A virtual host name with a '*' other than the whole name ('*') or its "
    "first label ('*.example.com') is not accepted!";

constexpr char kHost[] = "HTTP_HOST=admin.example";

// DoGeneral for an IP the file lacks, with env: refused, or it ran.
Request Sent(std::vector<std::string> env, const char* answer) {
  return {
      "Action=DoGeneral", "IP=10.0.0.7", answer, false, "", "", kSmall, env};
}

// DoConfig with body: its answer and the registry value afterwards.
Request Config(std::string body, std::string answer, std::string registry,
               std::string before = kSmall) {
  Request request{"Action=DoConfig", "Config=" + body, answer};
  request.before = before;
  request.registry = registry + '\0';
  return request;
}

TEST(AdminActionsTest, EveryAction) {
  const std::string seven = Replaced(Replaced(kSix, "6:", "7:"), "6;", "7;");
  const std::string kNoPath =
      "A configuration file path that is empty, holds a line break or "
      "another control character, or has 260 characters or more is not "
      "accepted!";
  const std::string kSaved = "Configuration saved successfuly!";
  const std::string ipv6 = Replaced(Replaced(kSix, "10.0.0.6:", "2001-db8--7:"),
                                    "10.0.0.6;", "2001-db8--7;");
  const std::string wildcard =
      Replaced(Replaced(kBeta, "beta|8080:", "*.example.com|8080:"),
               "beta|8080;", "*.example.com|8080;");
  const std::string renamed = Replaced(Replaced(kAlpha, "{ alpha:", "{ delta:"),
                                       "} alpha;", "} delta;");
  ExpectRequests({
      {kCommonB, "IP=10.0.0.5&URLsub=docs&mapPath=e%3A%5Cdocs&Add=Add",
       "New common path added!", true, "icons=d:\\www\\icons\n",
       "icons=d:\\www\\icons\n                (string)docs=e:\\docs\n"},
      // Only an upper-case B selects SchemeB.
      {"Action=DoCommonPaths&Scheme=b",
       "IP=10.0.0.6&URLsub=a+b&mapPath=x&Add=Add", "New common path added!",
       true, "{ SchemeA:\n            }",
       "{ SchemeA:\n                (string)a b=x\n            }"},
      // Any letter case names the same URL subdir; Add wins over Remove.
      {kCommonB, "IP=10.0.0.5&URLsub=ICONS&mapPath=x&Add=Add&Remove=Remove",
       "Common path to that URL subdir already exists!"},
      {kCommonA, "IP=10.0.0.5&URLsub=x&Add=Add",
       "Empty URL subdir or physical path are not accepted!"},
      {kCommonA, "IP=10.0.0.5&URLsub=CGI-BIN&Remove=Remove",
       "Common path removed!", true,
       "                (string)cgi-bin=d:\\www\\cgi-bin\n", ""},
      {kCommonA, "IP=10.0.0.5&URLsub=icons&Remove=Remove",
       "Invalid name of URL subdir! Can't remove common path mapping."},
      {kCommonB, "IP=10.0.0.5&URLsub=icons&mapPath=e%3A%5Ci&Edit=Edit",
       "Common path mapping changed!", true, "icons=d:\\www\\icons",
       "icons=e:\\i"},
      {kCommonA, "IP=10.0.0.5&URLsub=icons&mapPath=&Edit=Edit",
       "Invalid name of URL subdir! Can't change common path mapping."},
      {kCommonA, "IP=10.0.0.5&URLsub=cgi-bin&mapPath=&Edit=Edit",
       "Empty physical path is not accepted!"},
      {kCommonB, "IP=10.0.0.9&URLsub=x&mapPath=y&Add=Add",
       "The CFG file lacks a section of that IP! Nothing was changed.", false,
       "", "",
       "{ 10.0.0.9:\n{ MAIN:\n{ COMMON_PATHS:\n(string)SchemeB=x\n"
       "} COMMON_PATHS;\n} MAIN;\n} 10.0.0.9;\n"},
      {kCommonA, "IP=10.0.0.5&URLsub=a%3Db&mapPath=x&Add=Add",
       messages::kUnstorableUrlSubdir},
      {kCommonA, "IP=10.0.0.5&URLsub=+a&mapPath=x&Add=Add",
       messages::kUnstorableUrlSubdir},
      {kCommonA, "IP=10.0.0.5&URLsub=a&mapPath=x%0A%7D+SchemeA%3B&Add=Add",
       messages::kUnstorableText},
      {kCommonA, "IP=10.0.0.5&URLsub=cgi-bin&mapPath=x%0D&Edit=Edit",
       messages::kUnstorableText},

      // The same URL subdir may be an exception of several hosts.
      {kExceptions,
       "IP=10.0.0.5&VHost=beta%7C8080&URLsub=docs&mapPath=x&Add=Add",
       "New mapping exception added!", true,
       "{ FolderExceptions:\n            }",
       "{ FolderExceptions:\n                (string)docs=x\n            }"},
      {kExceptions, "IP=10.0.0.5&VHost=alpha&URLsub=img&Remove=Remove",
       "Mapping exception removed!", true,
       "                (string)img=d:\\shared\\images\n", ""},
      {kExceptions, "IP=10.0.0.5&VHost=alpha&URLsub=cgi-bin&Remove=Remove",
       "Invalid name of URL subdir! Can't remove mapping exeption."},
      {kExceptions,
       "IP=10.0.0.5&VHost=alpha&URLsub=docs&mapPath=e%3A&Edit=Edit",
       "Mapping exception changed!", true, "docs=d:\\shared\\docs", "docs=e:"},
      {kExceptions, "IP=10.0.0.5&VHost=alpha&URLsub=cgi-bin&Edit=Edit",
       "Invalid name of URL subdir! Can't change mapping exception."},
      {kExceptions, "IP=10.0.0.5&VHost=zeta&URLsub=docs&mapPath=x&Add=Add",
       "That virtual host is not registered on that IP!"},

      {"Action=DoGeneral",
       "IP=10.0.0.5&LogFile=e%3A%5Clog&SchemeBRootDir=home&WebRoot=e%3A",
       "CFG file saved!", true, kGeneralFive,
       "        (int)Disable=0\n        (string)Log=e:\\log\n"
       "        (string)SchemeBRootDir=home\n        (string)WebRoot=e:\n"},
      // Any letter case of ON checks the box; empty texts are stored.
      {"Action=DoGeneral", "IP=10.0.0.6&Disable=oN", "CFG file saved!", true,
       "        } COMMON_PATHS;\n    } MAIN;\n} 10.0.0.6;",
       "        } COMMON_PATHS;\n        (int)Disable=1\n"
       "        (string)Log=\n        (string)SchemeBRootDir=\n"
       "        (string)WebRoot=\n    } MAIN;\n} 10.0.0.6;"},
      {"Action=DoGeneral", "IP=10.0.0.5&WebRoot=d%3A%0D%0A",
       messages::kUnstorableText},
      {"Action=DoGeneral", "IP=10.0.0.5&LogFile=x", messages::kNameTaken, false,
       "", "", "{ 10.0.0.5:\n{ MAIN:\n{ Log:\n} Log;\n} MAIN;\n} 10.0.0.5;\n"},

      {"Action=DoAddIP", "newIP=10.0.0.7&B1=Submit", "IP successfuly added!",
       true, kSix, kSix + seven},
      {"Action=DoAddIP", "newIP=", "You should specify a valid IP!"},
      {"Action=DoAddIP", "newIP=10.0.0.6",
       "That IP has been already registered!"},
      {"Action=DoAddIP", "newIP=10.0.0.9", messages::kNameTaken, false, "", "",
       "(string)10.0.0.9=x\n"},
      // Any spelling of an IPv6 address names one section; an IPv4-mapped
      // one names the IPv4 section; a text with ':' that is no address, like
      // one with a leading blank, cannot be stored.
      {"Action=DoAddIP", "newIP=2001%3ADB8%3A0%3A%3A7", "IP successfuly added!",
       true, kSix, kSix + ipv6},
      {"Action=DoAddIP", "newIP=%3A%3Affff%3A10.0.0.6",
       "That IP has been already registered!"},
      {"Action=DoAddIP", "newIP=1%3A%3A2%3A%3A3", messages::kUnstorableIp},
      {"Action=DoRemoveIP", "IPList=FE80%3A%3A1%254", "IP removed!", false,
       Saved(kIpv6, "{ fe80--1s4:", "} fe80--1s4;"), "", kIpv6},
      {"Action=DoRemoveIP", "IPList=10.0.0.6&B1=Remove", "IP removed!", true,
       kSix, ""},
      {"Action=DoRemoveIP", "IPList=10.0.0.5", kInUse},
      {"Action=DoRemoveIP", "IPList=10.9.9.9", "IP removed!", true},
      // In use means any host, not only the first child.
      {"Action=DoRemoveIP", "IPList=10.0.0.9", kInUse, false, "", "",
       "{ 10.0.0.9:\n{ VIRTUAL_HOSTS:\n(string)note=x\n{ alpha:\n} alpha;\n"
       "} VIRTUAL_HOSTS;\n} 10.0.0.9;\n"},

      // The same name may be a host of another IP too.
      {kEditHost,
       "IP=10.0.0.6&VHost=beta%7C8080&NewVHost=beta%7C8080&UserDir=beta&"
       "Scheme=SchemeB&B1=Submit",
       "Virtual host options saved!", true, "VIRTUAL_HOSTS:\n    }",
       "VIRTUAL_HOSTS:\n" + std::string(kBeta) + "    }"},
      // An existing host is updated; its exceptions stay.
      {kEditHost, "IP=10.0.0.5&VHost=alpha&NewVHost=alpha&UserDir=a2",
       "Virtual host options saved!", true,
       "UserDir=alpha\n            (string)MapScheme=SchemeA\n",
       "UserDir=a2\n            (string)MapScheme=\n"},
      // A rename keeps the children and the place.
      {kEditHost,
       "IP=10.0.0.5&VHost=alpha&NewVHost=delta&UserDir=alpha&Scheme=SchemeA",
       "Virtual host options saved!", true, kAlpha, renamed},
      {kEditHost, "IP=10.0.0.5&VHost=alpha&NewVHost=ALPHA&UserDir=a",
       "Virtual host with the same name already exists!"},
      {kEditHost, "IP=10.0.0.5&VHost=alpha&NewVHost=&UserDir=a",
       "Empty name for vitrual host is not accepted!"},
      {kEditHost, "IP=10.0.0.5&VHost=alpha&NewVHost=alpha",
       "You should specify user directory!"},
      {kEditHost, "IP=10.0.0.5&VHost=+www&UserDir=a",
       messages::kUnstorableHostName},
      {kEditHost,
       "IP=10.0.0.5&VHost=alpha&NewVHost=alpha&UserDir=a%0A%7D+alpha%3B",
       messages::kUnstorableText},
      // A '*' only as the whole name or as the first label.
      {kEditHost,
       "IP=10.0.0.6&VHost=*.example.com%7C8080&UserDir=beta&Scheme=SchemeB",
       "Virtual host options saved!", true, "VIRTUAL_HOSTS:\n    }",
       "VIRTUAL_HOSTS:\n" + wildcard + "    }"},
      {kEditHost, "IP=10.0.0.6&VHost=a*.example.com&UserDir=a", kBadStar},
      {kEditHost, "IP=10.0.0.6&VHost=*.%7C8080&UserDir=a", kBadStar},
      {kEditHost, "IP=10.0.0.5&VHost=alpha&NewVHost=*.*&UserDir=a", kBadStar},
      {kRemoveHost, "VHost=BETA%7C8080&Remove=Remove",
       "Virtual host successfuly removed!", true, kBeta, ""},
      {kRemoveHost, "Remove=Remove", ""},

      // Only POSTs from this program's own pages change anything (the
      // whole rule is request_origin_test.cc's).
      Sent({"REQUEST_METHOD=GET"}, messages::kChangeRefused),
      Sent({kHost, "HTTP_ORIGIN=http://evil.example"},
           messages::kChangeRefused),
      // An installation's own address: a hosted name is not it.
      Sent({kHost, "MERVANE_ADMIN_ORIGIN=http://admin.example:8081"},
           messages::kChangeRefused),
      Sent({"HTTP_HOST=admin.example:8081",
            "MERVANE_ADMIN_ORIGIN=http://admin.example:8081"},
           messages::kIpNotRegistered),

      // A path is stored as posted, not trimmed, and the file is not touched.
      Config("+d%3A%5Cother.cfg&B1=Submit", kSaved, " d:\\other.cfg"),
      Config(std::string(259, 'x'), kSaved, std::string(259, 'x')),
      Config(std::string(260, 'x'), kNoPath, kConfigPath),
      Config("&B1=Submit", kNoPath, kConfigPath),
      Config("d%3A%5Ca%0Ab.cfg", kNoPath, kConfigPath),
      // Without a key, the key is created; the file is loaded next time.
      Config("d%3A%5Cmervane.cfg", "error_1.html", kConfigPath, kNoKey),
  });
}

}  // namespace
}  // namespace mervane
