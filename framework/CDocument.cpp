#include "CDocument.h"

#include <algorithm>

#include "CFile.h"
#include "CSingleDocTemplate.h"
#include "CView.h"
#include "CWinApp.h"

IMPLEMENT_DYNAMIC(CDocument, CCmdTarget)

CDocument::~CDocument() {
  for (CView* pView : m_views) pView->m_pDocument = nullptr;  // views outliving the document
}

BOOL CDocument::OnNewDocument() {
  m_strPathName.clear();
  m_strTitle.clear();
  return TRUE;
}

BOOL CDocument::OnOpenDocument(LPCSTR lpszPathName) {
  CFile file;
  if (!lpszPathName || !file.Open(lpszPathName, CFile::modeRead | CFile::shareDenyWrite)) {
    AfxMessageBox(("Can't open the document \"" + std::string(lpszPathName ? lpszPathName : "") + "\".").c_str(),
                  MB_OK | MB_ICONEXCLAMATION);
    return FALSE;
  }
  Serialize(file, FALSE);
  return TRUE;
}

void CDocument::OnCloseDocument() {
  if (m_pDocTemplate) m_pDocTemplate->RemoveDocument(this);
  delete this;
}

void CDocument::Serialize(CFile&, BOOL) {}

void CDocument::AddView(CView* pView) {
  if (std::find(m_views.begin(), m_views.end(), pView) != m_views.end()) return;
  m_views.push_back(pView);
  pView->m_pDocument = this;
}

void CDocument::RemoveView(CView* pView) {
  m_views.erase(std::remove(m_views.begin(), m_views.end(), pView), m_views.end());
  if (pView->m_pDocument == this) pView->m_pDocument = nullptr;
}

void CDocument::SetPathName(LPCSTR lpszPathName) {
  m_strPathName = lpszPathName ? lpszPathName : "";
  const size_t slash = m_strPathName.find_last_of("\\/:");
  m_strTitle = slash == std::string::npos ? m_strPathName : m_strPathName.substr(slash + 1);
}
