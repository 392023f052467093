#include "Placeholder.h"

#include "AppColors.h"
#include "CWnd.h"

void DrawPlaceholder(CDC* pDC, CWnd* pView) {
  CRect client = pView->GetClientRect();
  pDC->FillSolidRect(client, kBackgroundColor);
  const int oldMode = pDC->SetBkMode(TRANSPARENT);
  const COLORREF oldColor = pDC->SetTextColor(kGapMarkColor);
  DrawTextA(pDC->m_hDC, pView->GetRuntimeClass()->m_lpszClassName, -1, &client,
            DT_CENTER | DT_VCENTER | DT_SINGLELINE);
  pDC->SetTextColor(oldColor);
  pDC->SetBkMode(oldMode);
}
