// CSingleDocTemplate.h - the single-document template: creates the one document, its frame and first view by class.
//
// Owns its document while it exists; the document leaves the template when it closes.
#pragma once

#include "CCmdTarget.h"

class CDocument;
class CFrameWnd;

class CSingleDocTemplate : public CCmdTarget {
  DECLARE_DYNAMIC(CSingleDocTemplate)

 public:
  // nIDResource names the frame's string (title and document fields), icon and accelerators.
  CSingleDocTemplate(UINT nIDResource, const CRuntimeClass* pDocClass, const CRuntimeClass* pFrameClass,
                     const CRuntimeClass* pViewClass);
  ~CSingleDocTemplate() override;

  // A new document (lpszPathName null) or the named file: creates document, frame and views,
  // makes the frame the application's main window if there is none, and runs the initial
  // update. Null when any of it fails; nothing is left behind then. With a document
  // already open, that document is renewed or reopened instead.
  CDocument* OpenDocumentFile(LPCSTR lpszPathName, BOOL bMakeVisible = TRUE);
  CDocument* GetDocument() const { return m_pOnlyDoc; }
  void RemoveDocument(CDocument* pDoc);
  UINT GetResourceId() const { return m_nIDResource; }

 private:
  UINT m_nIDResource;
  const CRuntimeClass* m_pDocClass;
  const CRuntimeClass* m_pFrameClass;
  const CRuntimeClass* m_pViewClass;
  CDocument* m_pOnlyDoc = nullptr;
};
