// Every text the installer shows and every name it uses, defined once.
// Failure messages go to standard error; the question and the success line
// go to standard output.
#ifndef INSTALLER_MESSAGES_H_
#define INSTALLER_MESSAGES_H_

#include <cstddef>

// Command line and root directory.
constexpr char kQuietSwitch = 's';
constexpr char kUnknownSwitch[] = "Unknown command switch %s\n";
constexpr char kSecondRoot[] =
    "Only one root directory can be specified, parameter %s is illegal\n";
constexpr char kNoModuleFileName[] = "Could not GetModuleFileName()\n";
constexpr char kBrokenModuleFileName[] = "GetModuleFileName returned broken path\n";
constexpr char kInexactRoot[] =
    "Root directory '%s' cannot be used: the system's code page cannot hold its name exactly\n";
constexpr char kUnrecordableRoot[] =
    "Root directory '%s' cannot be recorded in vnt.ini: it holds a line break or begins or "
    "ends with a space\n";

// The start-up question.
constexpr char kQuestion[] = "Do you want a minimal startup instead of kord [No]: ";
constexpr char kNoAnswer[] = "Could not read answer from user.\n";
constexpr size_t kAnswerBufferSize = 100;  // so an answer keeps at most 99 characters
constexpr const char* kYesAnswers[] = {"yes", "y"};

// The release description.
constexpr char kDescriptionFile[] = "Install.ini";
constexpr char kInstallSection[] = "Install";
constexpr char kVersionKey[] = "VSN";
constexpr char kSystemVersionKey[] = "SYSTEM_VSN";
constexpr char kCannotOpenDescription[] = "Cannot open init file %s\n";
constexpr char kNoInstallSection[] = "No [Install] section in init file %s\n";
constexpr char kNoVersionKey[] = "No key VSN in init file %s\n";
constexpr char kNoSystemVersionKey[] = "No key SYSTEM_VSN in init file %s\n";
// A version value that would lead elsewhere (key, description path, value).
constexpr char kNotOneDirectory[] =
    "Key %s in init file %s must name one directory inside the root, not '%s'\n";

// The distribution's layout: root/vrun-VSN/bin, root/releases/SYSTEM_VSN, root/bin.
constexpr char kRuntimePrefix[] = "vrun-";
constexpr char kRuntimeBinDir[] = "bin";
constexpr char kReleasesDir[] = "releases";
constexpr char kBinDir[] = "bin";

// The files placed in root/bin, in the order they are copied.
constexpr const char* kLauncherFiles[] = {"vnt.exe",    "wvnt.exe",   "vntc.exe",
                                          "sifter.exe", "tagger.exe", "vexec.exe"};
constexpr char kMinimalBootFile[] = "start_bare.boot";
constexpr char kFullBootFile[] = "start_kord.boot";
constexpr const char* kBootFiles[] = {kMinimalBootFile, kFullBootFile};
constexpr char kDefaultBootFile[] = "start.boot";

// Placing files.
constexpr char kCannotFindFile[] = "Could not find file %s\n";
constexpr char kCannotCopyFile[] = "Could not copy file %s to %s\n";
constexpr char kContinuing[] = "Continuing installation anyway...\n";
constexpr char kBailingOut[] = "Cannot continue installation, bailing out.\n";

// The launcher configuration.
constexpr char kLauncherConfigFile[] = "vnt.ini";
constexpr char kLauncherSection[] = "vantra";
constexpr char kBindirKey[] = "Bindir";
constexpr char kPrognameKey[] = "Progname";
constexpr char kProgname[] = "vnt";
constexpr char kRootdirKey[] = "Rootdir";
constexpr char kCannotCreateFile[] = "Could not create file %s\n";
constexpr char kInstalled[] = "Vantra %s installed successfully\n";

#endif  // INSTALLER_MESSAGES_H_
