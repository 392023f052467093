// CCommandLineInfo.h - the standard command line: an optional file to open and the embedding and automation switches.
//
// Switches start with '/' or '-' and are matched without regard to case; unknown ones are
// ignored. The first argument that is not a switch names the file to open.
#pragma once

#include <string>

class CCommandLineInfo {
 public:
  enum ShellCommand { FileNew, FileOpen, FileNothing };

  virtual ~CCommandLineInfo() = default;

  // Parses argv[1] .. argv[argc - 1].
  void ParseArguments(int argc, const char* const* argv);
  // One argument without its switch character (bFlag) or as given.
  virtual void ParseParam(const char* pszParam, bool bFlag, bool bLast);

  ShellCommand m_nShellCommand = FileNew;
  bool m_bRunEmbedded = false;   // "/Embedding": started by OLE to serve an object
  bool m_bRunAutomated = false;  // "/Automation": started by an automation client
  std::string m_strFileName;
};
