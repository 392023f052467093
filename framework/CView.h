// CView.h - a view: a child window that shows a document, belongs to a frame and deletes itself when its window goes.
//
// A view joins the document of its creation context when its window is created and leaves
// it when the object goes. Its frame keeps track of the active view; a view that is
// destroyed stops being the active one first, so the frame never points at a dead view.
#pragma once

#include "CWnd.h"
#include "FrameworkIds.h"

class CDocument;

class CView : public CWnd {
  DECLARE_DYNAMIC(CView)

 public:
  CDocument* GetDocument() const { return m_pDocument; }

  // Once the frame and document are complete (WM_INITIALUPDATE); the base repaints the view.
  virtual void OnInitialUpdate();
  // The frame's active view changes; the base takes the focus when this view becomes active
  // while its frame is the active window.
  virtual void OnActivateView(BOOL bActivate, CView* pActivateView, CView* pDeactiveView);
  // Draws the view's content, from the paint handler.
  virtual void OnDraw(CDC* pDC) = 0;

  BOOL PreCreateWindow(CREATESTRUCTA& cs) override;

  BEGIN_MSG_MAP(CView)
    MSG_WM_CREATE(OnCreate)
    MSG_WM_DESTROY(OnDestroy)
    MSG_WM_PAINT(OnPaint)
    MSG_WM_MOUSEACTIVATE(OnMouseActivate)
    MESSAGE_HANDLER(WM_INITIALUPDATE, OnInitialUpdateMessage)
    MESSAGE_HANDLER(WM_PRINTCLIENT, OnPrintClient)
  END_MSG_MAP()

 protected:
  friend class CDocument;
  CView() = default;
  ~CView() override;

  int OnCreate(LPCREATESTRUCTA lpcs);
  void OnDestroy();
  void OnPaint();
  int OnMouseActivate(HWND hDesktopWnd, UINT nHitTest, UINT message);
  LRESULT OnInitialUpdateMessage(WPARAM, LPARAM) {
    OnInitialUpdate();
    return 0;
  }
  // Draws the view into the given context (a child asking for what lies beneath it).
  LRESULT OnPrintClient(WPARAM wParam, LPARAM) {
    CDC dc(reinterpret_cast<HDC>(wParam));
    OnDraw(&dc);
    return 1;
  }
  void PostNcDestroy() override { delete this; }
  // Joins the document named by the creation context (once).
  void AttachToDocument(const CCreateContext* pContext);

  CDocument* m_pDocument = nullptr;
};
