#include "VelManDoc.h"

#include "CWinApp.h"

IMPLEMENT_DYNCREATE(CVelManDoc, CDocument)

CVelManDoc::CVelManDoc() {
  if (CWinApp* pApp = AfxGetApp()) pApp->LockApp();
}

CVelManDoc::~CVelManDoc() {
  if (CWinApp* pApp = AfxGetApp()) pApp->UnlockApp();
}
