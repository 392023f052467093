// CDocument.h - a document: the data the views show, its views, its path and title.
//
// Made by its document template, which owns it; the document closes (and deletes itself)
// with the frame it was created for. Views join it when they are created and leave it
// when they go.
#pragma once

#include <string>
#include <vector>

#include "CCmdTarget.h"

class CFile;
class CSingleDocTemplate;
class CView;

class CDocument : public CCmdTarget {
  DECLARE_DYNAMIC(CDocument)

 public:
  ~CDocument() override;

  // A new, empty document; the base clears the path.
  virtual BOOL OnNewDocument();
  // Opens the file for reading and hands it to Serialize. A file that cannot be opened is
  // reported in a message box; the result is then FALSE.
  virtual BOOL OnOpenDocument(LPCSTR lpszPathName);
  // Leaves the template and deletes the document.
  virtual void OnCloseDocument();
  // Reads (bStoring FALSE) or writes the document's data; the base has none.
  virtual void Serialize(CFile& file, BOOL bStoring);

  void AddView(CView* pView);
  void RemoveView(CView* pView);
  const std::vector<CView*>& GetViews() const { return m_views; }

  CSingleDocTemplate* GetDocTemplate() const { return m_pDocTemplate; }
  const std::string& GetPathName() const { return m_strPathName; }
  // Sets the path; the title becomes its file name.
  void SetPathName(LPCSTR lpszPathName);
  const std::string& GetTitle() const { return m_strTitle; }

 protected:
  CDocument() = default;

 private:
  friend class CSingleDocTemplate;
  CSingleDocTemplate* m_pDocTemplate = nullptr;
  std::vector<CView*> m_views;
  std::string m_strPathName;
  std::string m_strTitle;
};
