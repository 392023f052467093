#include "CSingleDocTemplate.h"

#include "CCreateContext.h"
#include "CDocument.h"
#include "CFrameWnd.h"
#include "CWinApp.h"

IMPLEMENT_DYNAMIC(CSingleDocTemplate, CCmdTarget)

CSingleDocTemplate::CSingleDocTemplate(UINT nIDResource, const CRuntimeClass* pDocClass,
                                       const CRuntimeClass* pFrameClass, const CRuntimeClass* pViewClass)
    : m_nIDResource(nIDResource), m_pDocClass(pDocClass), m_pFrameClass(pFrameClass), m_pViewClass(pViewClass) {}

CSingleDocTemplate::~CSingleDocTemplate() {
  if (m_pOnlyDoc) {
    m_pOnlyDoc->m_pDocTemplate = nullptr;
    delete m_pOnlyDoc;
  }
}

void CSingleDocTemplate::RemoveDocument(CDocument* pDoc) {
  if (m_pOnlyDoc != pDoc) return;
  m_pOnlyDoc = nullptr;
  pDoc->m_pDocTemplate = nullptr;
}

CDocument* CSingleDocTemplate::OpenDocumentFile(LPCSTR lpszPathName, BOOL bMakeVisible) {
  if (m_pOnlyDoc) {
    CDocument* pDoc = m_pOnlyDoc;
    if (!(lpszPathName ? pDoc->OnOpenDocument(lpszPathName) : pDoc->OnNewDocument())) return nullptr;
    if (lpszPathName) pDoc->SetPathName(lpszPathName);
    return pDoc;
  }

  CObject* pObject = m_pDocClass ? m_pDocClass->CreateObject() : nullptr;
  if (!pObject || !pObject->IsKindOf(RUNTIME_CLASS(CDocument))) {
    delete pObject;
    return nullptr;
  }
  auto* pDoc = static_cast<CDocument*>(pObject);
  m_pOnlyDoc = pDoc;
  pDoc->m_pDocTemplate = this;

  pObject = m_pFrameClass ? m_pFrameClass->CreateObject() : nullptr;
  if (!pObject || !pObject->IsKindOf(RUNTIME_CLASS(CFrameWnd))) {
    delete pObject;
    pDoc->OnCloseDocument();
    return nullptr;
  }
  auto* pFrame = static_cast<CFrameWnd*>(pObject);
  CCreateContext context;
  context.m_pNewViewClass = m_pViewClass;
  context.m_pCurrentDoc = pDoc;
  context.m_pNewDocTemplate = this;
  context.m_pCurrentFrame = pFrame;
  if (!pFrame->LoadFrame(m_nIDResource, WS_OVERLAPPEDWINDOW | FWS_ADDTOTITLE, nullptr, &context)) {
    // The frame is gone; its document goes with it unless the frame had not got that far.
    if (m_pOnlyDoc == pDoc) pDoc->OnCloseDocument();
    return nullptr;
  }

  const BOOL opened = lpszPathName ? pDoc->OnOpenDocument(lpszPathName) : pDoc->OnNewDocument();
  if (!opened) {
    pFrame->DestroyWindow();  // closes the document too
    return nullptr;
  }
  if (lpszPathName) pDoc->SetPathName(lpszPathName);

  CWinApp* pApp = AfxGetApp();
  if (pApp && !pApp->m_pMainWnd) pApp->m_pMainWnd = pFrame;
  pFrame->InitialUpdateFrame(pDoc, bMakeVisible);
  return pDoc;
}
