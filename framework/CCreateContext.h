// CCreateContext.h - what a frame passes to the views it creates: their class, document, template and frame.
#pragma once

struct CRuntimeClass;
class CDocument;
class CFrameWnd;
class CSingleDocTemplate;
class CView;

struct CCreateContext {
  const CRuntimeClass* m_pNewViewClass = nullptr;
  CDocument* m_pCurrentDoc = nullptr;
  CSingleDocTemplate* m_pNewDocTemplate = nullptr;
  CView* m_pLastView = nullptr;
  CFrameWnd* m_pCurrentFrame = nullptr;
};
