// SNDialog.h - a dialog of the library, built from one of its templates; every message goes to the object's handlers.
#pragma once

#include "SNWnd.h"

class CSNDialog : public CSNWnd {
 public:
  CSNDialog(WORD templateId, HINSTANCE instance, HWND owner);

  // Routes like the window base but never calls DefWindowProcA: the dialog manager does.
  LRESULT Dispatch(UINT msg, WPARAM wParam, LPARAM lParam) override;
  void OnOK() override;
  void OnCancel() override;

  virtual HWND CreateModeless();
  virtual INT_PTR DoModal();

  static INT_PTR CALLBACK DialogProc(HWND hWnd, UINT msg, WPARAM wParam, LPARAM lParam);

 protected:
  WORD m_nTemplate;
  HINSTANCE m_hInstance;
  HWND m_hOwner;
};
