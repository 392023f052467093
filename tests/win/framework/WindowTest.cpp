// Windows and their objects: binding from the first message, message tables and their
// chaining, subclassing, reflection to child controls, and when objects go.
#include <gtest/gtest.h>

#include <algorithm>
#include <string>
#include <vector>

#include "CButton.h"
#include "CClientDC.h"
#include "CView.h"
#include "CWnd.h"
#include "MessagePump.h"
#include "WindowText.h"

namespace {

const UINT kMsgA = WM_USER + 10;
const UINT kMsgB = WM_USER + 11;
const UINT kMsgUnhandled = WM_USER + 12;
const UINT kMsgSelfDestroy = WM_USER + 13;

// Records every message its object sees, in order.
class CRecordingWnd : public CWnd {
 public:
  LRESULT WindowProc(UINT message, WPARAM wParam, LPARAM lParam) override {
    seen.push_back(message);
    return CWnd::WindowProc(message, wParam, lParam);
  }
  BEGIN_MSG_MAP(CRecordingWnd)
    MSG_WM_CREATE(OnCreate)
  END_MSG_MAP()
  int OnCreate(LPCREATESTRUCTA lpcs) {
    createParams = lpcs->lpCreateParams;
    return static_cast<int>(Default());
  }
  std::vector<UINT> seen;
  void* createParams = nullptr;
};

std::vector<UINT>* g_rawSeen = nullptr;
LRESULT CALLBACK RawProc(HWND hWnd, UINT message, WPARAM wParam, LPARAM lParam) {
  if (g_rawSeen) g_rawSeen->push_back(message);
  return DefWindowProcA(hWnd, message, wParam, lParam);
}

class CBaseTable : public CWnd {
 public:
  BEGIN_MSG_MAP(CBaseTable)
    MESSAGE_HANDLER(kMsgA, OnA)
    MESSAGE_HANDLER(kMsgB, OnB)
  END_MSG_MAP()
  LRESULT OnA(WPARAM, LPARAM) { return 1; }
  LRESULT OnB(WPARAM, LPARAM) { return 2; }
};

class CDerivedTable : public CBaseTable {
 public:
  BEGIN_MSG_MAP(CDerivedTable)
    MESSAGE_HANDLER(kMsgA, OnDerivedA)
    MESSAGE_HANDLER(WM_SETTEXT, OnSetText)
    CHAIN_MSG_MAP(CBaseTable)
  END_MSG_MAP()
  LRESULT OnDerivedA(WPARAM, LPARAM) { return 100; }
  LRESULT OnSetText(WPARAM, LPARAM lParam) {
    const LRESULT result = Default();  // the window keeps the text
    lastText = reinterpret_cast<const char*>(lParam);
    return result;
  }
  std::string lastText;
};

// Windows that are shown are popups: Wine leaves those to no window manager, so hiding
// them does not wait for one.
HWND CreateTopLevel(CWnd& wnd, const char* title = "framework test", void* param = nullptr,
                    DWORD style = WS_OVERLAPPEDWINDOW) {
  EXPECT_TRUE(wnd.CreateEx(0, nullptr, title, style, 10, 10, 300, 200, nullptr, nullptr, param));
  return wnd.m_hWnd;
}

}  // namespace

TEST(Binding, ObjectSeesTheSameFirstMessagesAsARawWindowAndGetsItsCreateParam) {
  WNDCLASSA wc{};
  wc.lpfnWndProc = RawProc;
  wc.hInstance = GetModuleHandleA(nullptr);
  wc.lpszClassName = "RawTestClass";
  ASSERT_TRUE(RegisterClassA(&wc));
  std::vector<UINT> raw;
  g_rawSeen = &raw;
  HWND hRaw = CreateWindowExA(0, "RawTestClass", "raw", WS_OVERLAPPEDWINDOW, 10, 10, 300, 200, nullptr, nullptr,
                              wc.hInstance, nullptr);
  g_rawSeen = nullptr;
  ASSERT_TRUE(hRaw);
  DestroyWindow(hRaw);

  CRecordingWnd wnd;
  int param = 0;
  HWND hWnd = CreateTopLevel(wnd, "bound", &param);
  ASSERT_TRUE(hWnd);
  ASSERT_GE(wnd.seen.size(), 3u);
  ASSERT_GE(raw.size(), 3u);
  // Everything up to and including WM_CREATE reaches the object, in the same order.
  const std::vector<UINT> rawStart(raw.begin(), raw.begin() + 3);
  const std::vector<UINT> ourStart(wnd.seen.begin(), wnd.seen.begin() + 3);
  EXPECT_EQ(rawStart, ourStart);
  EXPECT_NE(std::find(wnd.seen.begin(), wnd.seen.end(), static_cast<UINT>(WM_CREATE)), wnd.seen.end());
  EXPECT_EQ(&param, wnd.createParams);
  EXPECT_EQ(&wnd, CWnd::FromHandlePermanent(hWnd));

  wnd.DestroyWindow();
  EXPECT_EQ(nullptr, wnd.m_hWnd);
  EXPECT_EQ(static_cast<UINT>(WM_NCDESTROY), wnd.seen.back());
  EXPECT_EQ(nullptr, CWnd::FromHandlePermanent(hWnd));
}

TEST(MessageTable, DerivedEntriesWinChainReachesTheBaseAndTheRestGetsDefaultProcessing) {
  CDerivedTable wnd;
  HWND hWnd = CreateTopLevel(wnd);
  ASSERT_TRUE(hWnd);
  EXPECT_EQ(100, SendMessageA(hWnd, kMsgA, 0, 0));
  EXPECT_EQ(2, SendMessageA(hWnd, kMsgB, 0, 0));
  EXPECT_EQ(0, SendMessageA(hWnd, kMsgUnhandled, 0, 0));
  // A handler that calls Default() gets the window's own processing as well.
  SetWindowTextA(hWnd, "changed");
  EXPECT_EQ("changed", wnd.lastText);
  EXPECT_EQ("changed", WindowText(hWnd));
}

TEST(Subclassing, KeepsThePreviousProcedureAndGivesItBack) {
  HWND hButton = CreateWindowExA(0, "BUTTON", "check", WS_POPUP | BS_AUTOCHECKBOX, 0, 0, 80, 20, nullptr, nullptr,
                                 GetModuleHandleA(nullptr), nullptr);
  ASSERT_TRUE(hButton);
  const LONG_PTR original = GetWindowLongPtrA(hButton, GWLP_WNDPROC);

  CRecordingWnd wnd;
  ASSERT_TRUE(wnd.SubclassWindow(hButton));
  EXPECT_FALSE(CRecordingWnd().SubclassWindow(hButton));  // a window has one object
  SendMessageA(hButton, BM_CLICK, 0, 0);
  // The button's own procedure still runs: it toggled its check mark.
  EXPECT_EQ(BST_CHECKED, SendMessageA(hButton, BM_GETCHECK, 0, 0));
  EXPECT_NE(std::find(wnd.seen.begin(), wnd.seen.end(), static_cast<UINT>(WM_LBUTTONUP)), wnd.seen.end());

  EXPECT_EQ(hButton, wnd.UnsubclassWindow());
  EXPECT_EQ(original, GetWindowLongPtrA(hButton, GWLP_WNDPROC));
  EXPECT_EQ(nullptr, CWnd::FromHandlePermanent(hButton));
  const size_t before = wnd.seen.size();
  SendMessageA(hButton, BM_CLICK, 0, 0);
  EXPECT_EQ(before, wnd.seen.size());
  EXPECT_EQ(BST_UNCHECKED, SendMessageA(hButton, BM_GETCHECK, 0, 0));

  // A subclassed window that is destroyed unbinds its object.
  ASSERT_TRUE(wnd.SubclassWindow(hButton));
  DestroyWindow(hButton);
  EXPECT_EQ(nullptr, wnd.m_hWnd);
}

namespace {

class COwnerButton : public CButton {
 public:
  BEGIN_MSG_MAP(COwnerButton)
    REFLECTED_COMMAND_CODE(BN_CLICKED, OnClicked)
    CHAIN_MSG_MAP(CButton)
  END_MSG_MAP()
  void DrawItem(LPDRAWITEMSTRUCT dis) override {
    ++drawn;
    drawnId = dis->CtlID;
  }
  void OnClicked() { ++clicks; }
  int drawn = 0;
  UINT drawnId = 0;
  int clicks = 0;
};

class CColorStatic : public CWnd {
 public:
  BEGIN_MSG_MAP(CColorStatic)
    REFLECTED_CTLCOLOR(OnColor)
  END_MSG_MAP()
  HBRUSH OnColor(CDC*, UINT nCtlColor) {
    kind = nCtlColor;
    return brush;
  }
  HBRUSH brush = static_cast<HBRUSH>(GetStockObject(BLACK_BRUSH));
  UINT kind = 99;
};

// A button that sees its own click but lets the parent have it too.
class CDecliningButton : public CButton {
 public:
  BEGIN_MSG_MAP(CDecliningButton)
    REFLECTED_COMMAND_CODE_DECLINE(BN_CLICKED, OnClicked)
    CHAIN_MSG_MAP(CButton)
  END_MSG_MAP()
  BOOL OnClicked() {
    ++clicks;
    return FALSE;
  }
  int clicks = 0;
};

class CParentWnd : public CWnd {
 public:
  BEGIN_MSG_MAP(CParentWnd)
    COMMAND_CODE(1, BN_CLICKED, OnOwnerClicked)
    COMMAND_CODE(2, BN_CLICKED, OnPlainClicked)
    COMMAND_CODE(5, BN_CLICKED, OnDecliningClicked)
    MSG_WM_CTLCOLOR(OnCtlColor)
  END_MSG_MAP()
  void OnOwnerClicked() { ++ownerClicks; }
  void OnPlainClicked() { ++plainClicks; }
  void OnDecliningClicked() { ++decliningClicks; }
  // After the default processing, which lets the control choose first.
  HBRUSH OnCtlColor(CDC*, HWND hCtl, UINT) {
    colorAsked.push_back(hCtl);
    defaultAnswers.push_back(reinterpret_cast<HBRUSH>(Default()));
    return overrideBrush ? overrideBrush : defaultAnswers.back();
  }
  int ownerClicks = 0;
  int plainClicks = 0;
  int decliningClicks = 0;
  std::vector<HWND> colorAsked;
  std::vector<HBRUSH> defaultAnswers;
  HBRUSH overrideBrush = nullptr;
};

// Without a colour handler of its own: the control's answer is the parent's.
class CQuietParentWnd : public CWnd {
 public:
  BEGIN_MSG_MAP(CQuietParentWnd)
  END_MSG_MAP()
};

}  // namespace

TEST(Reflection, ChildControlsDrawAndHandleTheirOwnNotificationsTheRestReachesTheParent) {
  CParentWnd parent;
  ASSERT_TRUE(CreateTopLevel(parent, "reflection", nullptr, WS_POPUP));
  COwnerButton owner;
  CButton plain;
  ASSERT_TRUE(owner.Create("", WS_VISIBLE | BS_OWNERDRAW, CRect(0, 0, 60, 20), &parent, 1));
  ASSERT_TRUE(plain.Create("plain", WS_VISIBLE | BS_PUSHBUTTON, CRect(0, 30, 60, 50), &parent, 2));
  HWND hStaticObj = CreateWindowExA(0, "STATIC", "a", WS_CHILD | WS_VISIBLE, 70, 0, 40, 20, parent.m_hWnd,
                                    reinterpret_cast<HMENU>(3), GetModuleHandleA(nullptr), nullptr);
  HWND hStaticRaw = CreateWindowExA(0, "STATIC", "b", WS_CHILD | WS_VISIBLE, 70, 30, 40, 20, parent.m_hWnd,
                                    reinterpret_cast<HMENU>(4), GetModuleHandleA(nullptr), nullptr);
  CColorStatic colored;
  ASSERT_TRUE(colored.SubclassWindow(hStaticObj));

  // Owner drawing, in a real paint.
  ShowWindow(parent.m_hWnd, SW_SHOWNOACTIVATE);
  RedrawWindow(parent.m_hWnd, nullptr, nullptr, RDW_INVALIDATE | RDW_UPDATENOW | RDW_ALLCHILDREN);
  MessagePump().RunUntil([&] { return owner.drawn > 0; }, 2000);
  EXPECT_GT(owner.drawn, 0);
  EXPECT_EQ(1u, owner.drawnId);

  // Clicks: the owner-drawn button handles its own; the plain one's reaches the parent.
  SendMessageA(owner.m_hWnd, BM_CLICK, 0, 0);
  SendMessageA(plain.m_hWnd, BM_CLICK, 0, 0);
  EXPECT_EQ(1, owner.clicks);
  EXPECT_EQ(0, parent.ownerClicks);
  EXPECT_EQ(1, parent.plainClicks);

  // A control that declines its reflected click leaves the command to the parent as well.
  CDecliningButton declining;
  ASSERT_TRUE(declining.Create("", WS_VISIBLE | BS_PUSHBUTTON, CRect(0, 60, 60, 80), &parent, 5));
  SendMessageA(declining.m_hWnd, BM_CLICK, 0, 0);
  EXPECT_EQ(1, declining.clicks);
  EXPECT_EQ(1, parent.decliningClicks);

  // Colours: the parent's handler runs for every control; its default processing gives the
  // control's own brush where the control has one, the window's default otherwise.
  HDC hdc = GetDC(parent.m_hWnd);
  auto askColour = [&](CWnd& wnd, HWND hCtl) {
    return reinterpret_cast<HBRUSH>(SendMessageA(wnd.m_hWnd, WM_CTLCOLORSTATIC, reinterpret_cast<WPARAM>(hdc),
                                                 reinterpret_cast<LPARAM>(hCtl)));
  };
  parent.colorAsked.clear();
  EXPECT_EQ(colored.brush, askColour(parent, hStaticObj));
  EXPECT_EQ(static_cast<UINT>(CTLCOLOR_STATIC), colored.kind);
  const HBRUSH rawDefault = askColour(parent, hStaticRaw);
  EXPECT_NE(colored.brush, rawDefault);
  EXPECT_EQ((std::vector<HWND>{hStaticObj, hStaticRaw}), parent.colorAsked);
  // A parent that sets its own brush after the default processing has the last word.
  parent.overrideBrush = static_cast<HBRUSH>(GetStockObject(WHITE_BRUSH));
  colored.kind = 99;
  EXPECT_EQ(parent.overrideBrush, askColour(parent, hStaticObj));
  EXPECT_EQ(static_cast<UINT>(CTLCOLOR_STATIC), colored.kind);
  EXPECT_EQ(colored.brush, parent.defaultAnswers.back());
  ReleaseDC(parent.m_hWnd, hdc);
  parent.DestroyWindow();

  // A parent without a colour handler answers with its control's brush.
  CQuietParentWnd quiet;
  ASSERT_TRUE(CreateTopLevel(quiet, "quiet", nullptr, WS_POPUP));
  HWND hStatic = CreateWindowExA(0, "STATIC", "c", WS_CHILD | WS_VISIBLE, 0, 0, 40, 20, quiet.m_hWnd,
                                 reinterpret_cast<HMENU>(6), GetModuleHandleA(nullptr), nullptr);
  CColorStatic quietColored;
  ASSERT_TRUE(quietColored.SubclassWindow(hStatic));
  hdc = GetDC(quiet.m_hWnd);
  EXPECT_EQ(quietColored.brush, askColour(quiet, hStatic));
  ReleaseDC(quiet.m_hWnd, hdc);
  quiet.DestroyWindow();
}

namespace {

// Remembers the message its Default() acted on, and when its pre-subclass step ran.
class CDefaultProbe : public CWnd {
 public:
  BEGIN_MSG_MAP(CDefaultProbe)
    MESSAGE_HANDLER(kMsgA, OnA)
  END_MSG_MAP()
  LRESULT OnA(WPARAM, LPARAM) {
    // While this window handles kMsgA, another window's handler called from here acts
    // on that window's own message, not on this one.
    if (other) other->CallDefaultDirectly();
    return 7;
  }
  LRESULT CallDefaultDirectly() { return directResult = Default(); }
  void PreSubclassWindow() override { preSubclassed = m_hWnd != nullptr && seenBeforePreSubclass == 0; }
  LRESULT WindowProc(UINT message, WPARAM wParam, LPARAM lParam) override {
    if (!preSubclassed) ++seenBeforePreSubclass;
    return CWnd::WindowProc(message, wParam, lParam);
  }
  CDefaultProbe* other = nullptr;
  LRESULT directResult = -1;
  bool preSubclassed = false;
  int seenBeforePreSubclass = 0;
};

}  // namespace

TEST(Default, ActsOnTheMessageOfItsOwnWindowAndOnNothingOutsideOne) {
  CDefaultProbe a, b;
  ASSERT_TRUE(CreateTopLevel(a, "probe-a", nullptr, WS_POPUP));
  ASSERT_TRUE(CreateTopLevel(b, "probe-b", nullptr, WS_POPUP));
  // Both paths run the pre-subclass step before the object handles a message.
  EXPECT_TRUE(a.preSubclassed);
  HWND hEdit = CreateWindowExA(0, "EDIT", "x", WS_POPUP, 0, 0, 20, 20, nullptr, nullptr, nullptr, nullptr);
  CDefaultProbe sub;
  ASSERT_TRUE(sub.SubclassWindow(hEdit));
  EXPECT_TRUE(sub.preSubclassed);

  // b's handler called directly while a handles kMsgA: b handles nothing, so nothing is defaulted.
  a.other = &b;
  EXPECT_EQ(7, SendMessageA(a.m_hWnd, kMsgA, 0, 0));
  EXPECT_EQ(0, b.directResult);
  // Called from outside any message: nothing either.
  EXPECT_EQ(0, a.CallDefaultDirectly());
  sub.DestroyWindow();
  a.DestroyWindow();
  b.DestroyWindow();
}

namespace {

// An edit control that answers its own colour request with the reflected message's default.
// The edit asks from inside its own paint, so a Default() that re-ran the control's current
// message would paint again and ask again without end: the depth guard records that instead.
class CDefaultingEdit : public CWnd {
 public:
  BEGIN_MSG_MAP(CDefaultingEdit)
    REFLECTED_CTLCOLOR(OnColor)
  END_MSG_MAP()
  HBRUSH OnColor(CDC*, UINT nCtlColor) {
    if (asking) return nested = true, nullptr;
    asking = true;
    kind = nCtlColor;
    answer = reinterpret_cast<HBRUSH>(Default());
    asking = false;
    return answer;
  }
  bool asking = false, nested = false;
  UINT kind = 99;
  HBRUSH answer = nullptr;
};

}  // namespace

TEST(Default, InAReflectedHandlerGivesTheReflectedMessagesDefaultAnswerNotTheControlsCurrentMessage) {
  CQuietParentWnd parent;
  ASSERT_TRUE(CreateTopLevel(parent, "reflected default", nullptr, WS_POPUP));
  HWND hEdit = CreateWindowExA(0, "EDIT", "text", WS_CHILD | WS_VISIBLE, 0, 0, 80, 20, parent.m_hWnd,
                               reinterpret_cast<HMENU>(1), GetModuleHandleA(nullptr), nullptr);
  CDefaultingEdit edit;
  ASSERT_TRUE(edit.SubclassWindow(hEdit));
  ShowWindow(parent.m_hWnd, SW_SHOWNOACTIVATE);
  RedrawWindow(hEdit, nullptr, nullptr, RDW_INVALIDATE | RDW_UPDATENOW);
  EXPECT_FALSE(edit.nested);
  ASSERT_NE(99u, edit.kind);
  // The answer is the system's own for that request: what DefWindowProc gives the edit.
  HDC hdc = GetDC(hEdit);
  EXPECT_EQ(DefWindowProcA(hEdit, WM_CTLCOLORMSGBOX + edit.kind, reinterpret_cast<WPARAM>(hdc),
                           reinterpret_cast<LPARAM>(hEdit)),
            reinterpret_cast<LRESULT>(edit.answer));
  ReleaseDC(hEdit, hdc);
  EXPECT_NE(nullptr, edit.answer);
  parent.DestroyWindow();
}

TEST(DrawingContext, AClientContextGivesItsWindowBackWithTheObjectsItHadSelected) {
  // A window with a context of its own keeps what is selected into it from one GetDC to the next.
  CWnd wnd;
  ASSERT_TRUE(wnd.CreateEx(0, CWnd::EnsureClassRegistered("Stelvar.OwnDcTest", CS_OWNDC, nullptr, nullptr),
                           "own dc", WS_POPUP, 0, 0, 40, 40, nullptr, nullptr));
  const struct {
    UINT type;
    int stock;
  } kinds[] = {{OBJ_FONT, ANSI_FIXED_FONT}, {OBJ_PEN, WHITE_PEN}, {OBJ_BRUSH, GRAY_BRUSH}};
  for (const auto& kind : kinds) {
    HDC own = GetDC(wnd.m_hWnd);
    const HGDIOBJ original = GetCurrentObject(own, kind.type);
    ReleaseDC(wnd.m_hWnd, own);
    {
      CClientDC dc(&wnd);
      ASSERT_EQ(own, dc.m_hDC);
      dc.SelectObject(GetStockObject(kind.stock));
      dc.SelectObject(GetStockObject(kind.stock));  // a second selection of the same kind
    }
    own = GetDC(wnd.m_hWnd);
    EXPECT_EQ(original, GetCurrentObject(own, kind.type)) << kind.type;
    ReleaseDC(wnd.m_hWnd, own);
  }
  wnd.DestroyWindow();
}

namespace {

class CCountedView : public CView {
  DECLARE_DYNCREATE(CCountedView)

 public:
  static int live;
  static bool failCreate;
  CCountedView() { ++live; }
  ~CCountedView() override { --live; }
  void OnDraw(CDC*) override {}

  BEGIN_MSG_MAP(CCountedView)
    MSG_WM_CREATE(OnCreate)
    MESSAGE_HANDLER(kMsgSelfDestroy, OnSelfDestroy)
    CHAIN_MSG_MAP(CView)
  END_MSG_MAP()

  int OnCreate(LPCREATESTRUCTA lpcs) { return failCreate ? -1 : CView::OnCreate(lpcs); }
  LRESULT OnSelfDestroy(WPARAM, LPARAM) {
    DestroyWindow();
    // Still here: the object goes only when this handler has returned.
    handleAfterDestroy = m_hWnd;
    liveInHandler = live;
    return 7;
  }
  static HWND handleAfterDestroy;
  static int liveInHandler;
};
IMPLEMENT_DYNCREATE(CCountedView, CView)
int CCountedView::live = 0;
bool CCountedView::failCreate = false;
HWND CCountedView::handleAfterDestroy = reinterpret_cast<HWND>(1);
int CCountedView::liveInHandler = -1;

}  // namespace

TEST(ObjectLifetime, ViewsDeleteThemselvesAlsoWhenDestroyedFromTheirOwnHandlerOrWhenCreationFails) {
  CWnd parent;
  ASSERT_TRUE(CreateTopLevel(parent, "views"));

  auto* view = new CCountedView;
  ASSERT_TRUE(view->Create(nullptr, nullptr, WS_VISIBLE, CRect(0, 0, 50, 50), &parent, 1));
  HWND hView = view->m_hWnd;
  EXPECT_EQ(1, CCountedView::live);
  DestroyWindow(hView);
  EXPECT_EQ(0, CCountedView::live);

  view = new CCountedView;
  ASSERT_TRUE(view->Create(nullptr, nullptr, WS_VISIBLE, CRect(0, 0, 50, 50), &parent, 1));
  EXPECT_EQ(7, SendMessageA(view->m_hWnd, kMsgSelfDestroy, 0, 0));
  EXPECT_EQ(nullptr, CCountedView::handleAfterDestroy);
  EXPECT_EQ(1, CCountedView::liveInHandler);
  EXPECT_EQ(0, CCountedView::live);

  CCountedView::failCreate = true;
  view = new CCountedView;
  EXPECT_FALSE(view->Create(nullptr, nullptr, WS_VISIBLE, CRect(0, 0, 50, 50), &parent, 1));
  CCountedView::failCreate = false;
  EXPECT_EQ(0, CCountedView::live);
  EXPECT_EQ(nullptr, GetDlgItem(parent.m_hWnd, 1));

  // A view whose class cannot make a window (no parent for a child) goes as well.
  view = new CCountedView;
  EXPECT_FALSE(view->Create(nullptr, nullptr, WS_VISIBLE, CRect(0, 0, 50, 50), nullptr, 1));
  EXPECT_EQ(0, CCountedView::live);
  parent.DestroyWindow();
}

TEST(ObjectLifetime, AnObjectThatGoesFirstTakesItsWindowAlong) {
  HWND hWnd = nullptr;
  {
    CWnd wnd;
    hWnd = CreateTopLevel(wnd);
    ASSERT_TRUE(IsWindow(hWnd));
  }
  EXPECT_FALSE(IsWindow(hWnd));
}
