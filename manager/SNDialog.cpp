#include "SNDialog.h"

namespace {
// The dialog being created: the dialog procedure binds it to the window on its first message.
CSNDialog* volatile g_creating = nullptr;
}  // namespace

CSNDialog::CSNDialog(WORD templateId, HINSTANCE instance, HWND owner)
    : m_nTemplate(templateId), m_hInstance(instance), m_hOwner(owner) {
  m_pszClassName = "SN_Dialog";
}

LRESULT CSNDialog::Dispatch(UINT msg, WPARAM wParam, LPARAM lParam) {
  bool answered = false;
  return Route(msg, wParam, lParam, answered);
}

void CSNDialog::OnOK() { EndDialog(m_hWnd, IDOK); }

void CSNDialog::OnCancel() { EndDialog(m_hWnd, IDCANCEL); }

HWND CSNDialog::CreateModeless() {
  g_creating = this;
  m_hWnd = CreateDialogParamA(m_hInstance, MAKEINTRESOURCEA(m_nTemplate), m_hOwner, DialogProc, 0);
  return m_hWnd;
}

INT_PTR CSNDialog::DoModal() {
  g_creating = this;
  return DialogBoxParamA(m_hInstance, MAKEINTRESOURCEA(m_nTemplate), m_hOwner, DialogProc, 0);
}

INT_PTR CALLBACK CSNDialog::DialogProc(HWND hWnd, UINT msg, WPARAM wParam, LPARAM lParam) {
  // The object lives in the window's user data (the dialog's own extra bytes belong to the
  // dialog manager, which clears its message result before every message).
  auto* self = reinterpret_cast<CSNDialog*>(GetWindowLongPtrA(hWnd, GWLP_USERDATA));
  if (!self && g_creating) {
    self = g_creating;
    SetWindowLongPtrA(hWnd, GWLP_USERDATA, reinterpret_cast<LONG_PTR>(self));
    self->Attach(hWnd);
  }
  return self ? self->Dispatch(msg, wParam, lParam) : 0;
}
