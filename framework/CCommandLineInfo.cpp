#include "CCommandLineInfo.h"

#include <windows.h>

void CCommandLineInfo::ParseArguments(int argc, const char* const* argv) {
  for (int i = 1; i < argc; ++i) {
    const char* arg = argv[i];
    if (!arg) continue;
    const bool flag = arg[0] == '/' || arg[0] == '-';
    ParseParam(flag ? arg + 1 : arg, flag, i == argc - 1);
  }
}

void CCommandLineInfo::ParseParam(const char* pszParam, bool bFlag, bool bLast) {
  if (bFlag) {
    if (lstrcmpiA(pszParam, "Embedding") == 0) m_bRunEmbedded = true;
    if (lstrcmpiA(pszParam, "Automation") == 0) m_bRunAutomated = true;
  } else if (m_strFileName.empty()) {
    m_strFileName = pszParam;
    m_nShellCommand = FileOpen;
  }
  if (bLast && (m_bRunEmbedded || m_bRunAutomated)) m_nShellCommand = FileNothing;
}
