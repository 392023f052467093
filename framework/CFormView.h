// CFormView.h - a view made of a dialog template: a modeless child dialog with its controls and data exchange.
//
// The dialog is bound to the object from the first message its dialog procedure gets
// (WM_SETFONT for templates with a font) on; WM_CREATE of a form view is the dialog
// manager's own. The initial update copies the members into the controls.
#pragma once

#include "CDataExchange.h"
#include "CView.h"

class CFormView : public CView {
  DECLARE_DYNAMIC(CFormView)

 public:
  UINT GetTemplateId() const { return m_nIDTemplate; }

  // Creates the dialog from the template, gives it nID and rect, and shows it if dwStyle
  // has WS_VISIBLE. Fails (and the object is gone) when the template cannot be used.
  BOOL Create(LPCSTR lpszClassName, LPCSTR lpszWindowName, DWORD dwStyle, const RECT& rect,
              CWnd* pParentWnd, UINT nID, CCreateContext* pContext = nullptr) override;
  void OnInitialUpdate() override;
  // Dialog keyboard handling (Tab, arrows, default button) for the form's controls.
  BOOL PreTranslateMessage(MSG* pMsg) override;
  void OnDraw(CDC*) override {}

 protected:
  explicit CFormView(UINT nIDTemplate) : m_nIDTemplate(nIDTemplate) {}

  UINT m_nIDTemplate;
};
