// Documents, templates, frames and views together: creation by class, command routing,
// closing and the end of the message loop; form views and data exchange; the static
// splitter's layout; the standard command line; files.
#include <gtest/gtest.h>

#include <string>

#include "CCommandLineInfo.h"
#include "CDocument.h"
#include "CFile.h"
#include "CFormView.h"
#include "CFrameWnd.h"
#include "CSingleDocTemplate.h"
#include "CSplitterWnd.h"
#include "CView.h"
#include "CWinApp.h"
#include "MessageBoxWatcher.h"
#include "MessagePump.h"
#include "WindowText.h"
#include "TempFile.h"

namespace {

const UINT kCmdView = 40001;
const UINT kCmdDoc = 40002;
const UINT kCmdFrame = 40003;
const UINT kCmdApp = 40004;
const UINT kFrameResource = 1;  // "Framework Test\nDocument" in FrameworkTest.rc
const UINT kFormTemplate = 100;

struct Hits {
  int view = 0, doc = 0, frame = 0, app = 0;
};
Hits g_hits;

class CTestApp : public CWinApp {
 public:
  CTestApp() : CWinApp("Framework Test App") {}
  BEGIN_MSG_MAP(CTestApp)
    COMMAND_ID(kCmdApp, OnApp)
    COMMAND_ID(kCmdFrame, OnApp)  // the frame comes first
    CHAIN_MSG_MAP(CWinApp)
  END_MSG_MAP()
  void OnApp() { ++g_hits.app; }
};
CTestApp g_app;

class CTestDoc : public CDocument {
  DECLARE_DYNCREATE(CTestDoc)

 public:
  static int live;
  ~CTestDoc() override { --live; }
  BEGIN_MSG_MAP(CTestDoc)
    COMMAND_ID(kCmdDoc, OnDoc)
  END_MSG_MAP()
  void OnDoc() { ++g_hits.doc; }

 protected:
  CTestDoc() { ++live; }
};
IMPLEMENT_DYNCREATE(CTestDoc, CDocument)
int CTestDoc::live = 0;

class CTestView : public CView {
  DECLARE_DYNCREATE(CTestView)

 public:
  static int live;
  ~CTestView() override { --live; }
  void OnDraw(CDC*) override {}
  void OnInitialUpdate() override { ++initialUpdates; }
  BEGIN_MSG_MAP(CTestView)
    COMMAND_ID(kCmdView, OnView)
    CHAIN_MSG_MAP(CView)
  END_MSG_MAP()
  void OnView() { ++g_hits.view; }
  int initialUpdates = 0;

 protected:
  CTestView() { ++live; }
};
IMPLEMENT_DYNCREATE(CTestView, CView)
int CTestView::live = 0;

class CTestFrame : public CFrameWnd {
  DECLARE_DYNCREATE(CTestFrame)

 public:
  BEGIN_MSG_MAP(CTestFrame)
    COMMAND_ID(kCmdFrame, OnFrame)
    COMMAND_ID(kCmdView, OnFrame)  // the view comes first
    CHAIN_MSG_MAP(CFrameWnd)
  END_MSG_MAP()
  void OnFrame() { ++g_hits.frame; }

 protected:
  CTestFrame() = default;
};
IMPLEMENT_DYNCREATE(CTestFrame, CFrameWnd)

class DocFrame : public ::testing::Test {
 protected:
  void TearDown() override {
    if (g_app.m_pMainWnd) g_app.m_pMainWnd->DestroyWindow();
    pump.RunFor(50);
    g_app.SetUserControl(TRUE);
    g_hits = Hits();
  }
  CSingleDocTemplate tmpl{kFrameResource, RUNTIME_CLASS(CTestDoc), RUNTIME_CLASS(CTestFrame),
                          RUNTIME_CLASS(CTestView)};
  MessagePump pump{&g_app};
};

CTestView* FirstView(CFrameWnd* pFrame) {
  return static_cast<CTestView*>(CWnd::FromHandlePermanent(GetDlgItem(pFrame->m_hWnd, AFX_IDW_PANE_FIRST)));
}

}  // namespace

TEST_F(DocFrame, NewDocumentMakesFrameAndViewByClassWithOneInitialUpdate) {
  CDocument* pDoc = tmpl.OpenDocumentFile(nullptr, FALSE);
  ASSERT_NE(nullptr, pDoc);
  EXPECT_TRUE(pDoc->IsKindOf(RUNTIME_CLASS(CTestDoc)));
  EXPECT_EQ(pDoc, tmpl.GetDocument());
  ASSERT_NE(nullptr, g_app.m_pMainWnd);
  auto* pFrame = static_cast<CFrameWnd*>(g_app.m_pMainWnd);
  EXPECT_TRUE(pFrame->IsKindOf(RUNTIME_CLASS(CTestFrame)));
  EXPECT_EQ("Framework Test", WindowText(pFrame->m_hWnd));
  EXPECT_FALSE(pFrame->IsWindowVisible());

  CTestView* pView = FirstView(pFrame);
  ASSERT_NE(nullptr, pView);
  EXPECT_EQ(pView, pFrame->GetActiveView());
  EXPECT_EQ(pDoc, pView->GetDocument());
  ASSERT_EQ(1u, pDoc->GetViews().size());
  EXPECT_EQ(1, pView->initialUpdates);
  // The first pane fills the client area.
  EXPECT_EQ(pFrame->GetClientRect(), pView->GetClientRect());
}

TEST_F(DocFrame, CommandsGoToTheActiveViewThenTheDocumentThenTheFrameThenTheApplication) {
  ASSERT_NE(nullptr, tmpl.OpenDocumentFile(nullptr, FALSE));
  HWND hFrame = g_app.m_pMainWnd->m_hWnd;
  for (UINT id : {kCmdView, kCmdDoc, kCmdFrame, kCmdApp}) SendMessageA(hFrame, WM_COMMAND, id, 0);
  EXPECT_EQ(1, g_hits.view);
  EXPECT_EQ(1, g_hits.doc);
  EXPECT_EQ(1, g_hits.frame);
  EXPECT_EQ(1, g_hits.app);

  // Without an active view the view's command goes on to the frame.
  static_cast<CFrameWnd*>(g_app.m_pMainWnd)->SetActiveView(nullptr);
  SendMessageA(hFrame, WM_COMMAND, kCmdView, 0);
  EXPECT_EQ(1, g_hits.view);
  EXPECT_EQ(2, g_hits.frame);
}

TEST_F(DocFrame, ClosingTheMainFrameClosesItsDocumentAndEndsTheLoop) {
  ASSERT_NE(nullptr, tmpl.OpenDocumentFile(nullptr, FALSE));
  SendMessageA(g_app.m_pMainWnd->m_hWnd, WM_CLOSE, 0, 0);
  EXPECT_EQ(nullptr, g_app.m_pMainWnd);
  EXPECT_EQ(0, CTestDoc::live);
  EXPECT_EQ(0, CTestView::live);
  EXPECT_EQ(nullptr, tmpl.GetDocument());
  pump.RunFor(20);
  EXPECT_TRUE(pump.QuitSeen());
}

TEST_F(DocFrame, WhileObjectsLockTheApplicationTheLoopEndsOnlyWithTheLastLock) {
  ASSERT_NE(nullptr, tmpl.OpenDocumentFile(nullptr, FALSE));
  g_app.LockApp();
  SendMessageA(g_app.m_pMainWnd->m_hWnd, WM_CLOSE, 0, 0);
  pump.RunFor(20);
  EXPECT_FALSE(pump.QuitSeen());
  g_app.UnlockApp();
  pump.RunFor(20);
  EXPECT_TRUE(pump.QuitSeen());
}

TEST_F(DocFrame, ADocumentThatCannotBeOpenedIsReportedAndLeavesNothingBehind) {
  MessageBoxWatcher boxes;
  const char* missing = "C:\\no\\such\\folder\\doc.velf";
  EXPECT_EQ(nullptr, tmpl.OpenDocumentFile(missing, FALSE));
  ASSERT_EQ(1u, boxes.Boxes().size());
  EXPECT_EQ("Can't open the document \"C:\\no\\such\\folder\\doc.velf\".", boxes.Boxes()[0].text);
  EXPECT_EQ("Framework Test App", boxes.Boxes()[0].caption);
  EXPECT_EQ(nullptr, g_app.m_pMainWnd);
  EXPECT_EQ(0, CTestDoc::live);
  EXPECT_EQ(0, CTestView::live);
  pump.RunFor(20);
  EXPECT_FALSE(pump.QuitSeen());  // it never was the main window

  TempFile existing("framework-doc.velf", {1, 2, 3});
  CDocument* pDoc = tmpl.OpenDocumentFile(existing.path().c_str(), FALSE);
  ASSERT_NE(nullptr, pDoc);
  EXPECT_EQ(existing.path(), pDoc->GetPathName());
  EXPECT_EQ("framework-doc.velf", pDoc->GetTitle());
  EXPECT_EQ("framework-doc.velf - Framework Test", WindowText(g_app.m_pMainWnd->m_hWnd));
}

namespace {

class CTestForm : public CFormView {
 public:
  static int live;
  explicit CTestForm(UINT nIDTemplate = kFormTemplate) : CFormView(nIDTemplate) { ++live; }
  ~CTestForm() override { --live; }
  void DoDataExchange(CDataExchange* pDX) override {
    DDX_Control(pDX, 1001, m_edit);
    DDX_Text(pDX, 1001, m_text);
    DDX_Text(pDX, 1002, m_number);
    DDX_Text(pDX, 1003, m_big);
  }
  BEGIN_MSG_MAP(CTestForm)
    MESSAGE_HANDLER(WM_USER + 20, OnPing)
    CHAIN_MSG_MAP(CFormView)
  END_MSG_MAP()
  LRESULT OnPing(WPARAM, LPARAM) { return 21; }

  std::string m_text = "hello";
  int m_number = 42;
  unsigned long m_big = 4000000000UL;
  CWnd m_edit;
};
int CTestForm::live = 0;

std::string ItemText(CWnd* pDlg, int id) { return WindowText(GetDlgItem(pDlg->m_hWnd, id)); }

}  // namespace

TEST(FormView, IsAChildDialogOfItsTemplateWithDataExchangeBothWays) {
  CWnd parent;
  ASSERT_TRUE(parent.CreateEx(0, nullptr, "form parent", WS_OVERLAPPEDWINDOW, 0, 0, 400, 300, nullptr, nullptr));
  auto* form = new CTestForm;
  ASSERT_TRUE(form->Create(nullptr, nullptr, WS_CHILD | WS_VISIBLE, CRect(5, 6, 305, 206), &parent, 77));
  EXPECT_EQ(77, form->GetDlgCtrlID());
  EXPECT_EQ(parent.m_hWnd, GetParent(form->m_hWnd));
  EXPECT_EQ(CRect(0, 0, 300, 200), form->GetClientRect());
  EXPECT_EQ(21, SendMessageA(form->m_hWnd, WM_USER + 20, 0, 0));  // its own table

  SendMessageA(form->m_hWnd, WM_INITIALUPDATE, 0, 0);
  EXPECT_EQ("hello", ItemText(form, 1001));
  EXPECT_EQ("42", ItemText(form, 1002));
  EXPECT_EQ("4000000000", ItemText(form, 1003));
  EXPECT_EQ(GetDlgItem(form->m_hWnd, 1001), form->m_edit.m_hWnd);

  // Showing unchanged members leaves the controls alone: nothing to repaint.
  ShowWindow(parent.m_hWnd, SW_SHOWNA);
  UpdateWindow(parent.m_hWnd);
  for (int id : {1001, 1002, 1003}) ValidateRect(GetDlgItem(form->m_hWnd, id), nullptr);
  form->UpdateData(FALSE);
  for (int id : {1001, 1002, 1003}) EXPECT_FALSE(GetUpdateRect(GetDlgItem(form->m_hWnd, id), nullptr, FALSE)) << id;
  form->m_number = 43;
  form->UpdateData(FALSE);
  EXPECT_EQ("43", ItemText(form, 1002));

  SetDlgItemTextA(form->m_hWnd, 1001, "world");
  SetDlgItemTextA(form->m_hWnd, 1002, " -7 ");
  SetDlgItemTextA(form->m_hWnd, 1003, "12");
  EXPECT_TRUE(form->UpdateData(TRUE));
  EXPECT_EQ("world", form->m_text);
  EXPECT_EQ(-7, form->m_number);
  EXPECT_EQ(12ul, form->m_big);

  // A value that does not fit fails the exchange and keeps the member.
  for (const char* bad : {"12x", "", "99999999999"}) {
    SetDlgItemTextA(form->m_hWnd, 1002, bad);
    EXPECT_FALSE(form->UpdateData(TRUE)) << bad;
    EXPECT_EQ(-7, form->m_number) << bad;
  }
  SetDlgItemTextA(form->m_hWnd, 1002, "1");
  SetDlgItemTextA(form->m_hWnd, 1003, "-1");
  EXPECT_FALSE(form->UpdateData(TRUE));
  EXPECT_EQ(12ul, form->m_big);

  parent.DestroyWindow();
  EXPECT_EQ(0, CTestForm::live);
}

TEST(FormView, AMissingTemplateFailsTheCreationAndTheViewIsGone) {
  CWnd parent;
  ASSERT_TRUE(parent.CreateEx(0, nullptr, "form parent", WS_OVERLAPPEDWINDOW, 0, 0, 400, 300, nullptr, nullptr));
  auto* form = new CTestForm(999);
  EXPECT_FALSE(form->Create(nullptr, nullptr, WS_CHILD | WS_VISIBLE, CRect(0, 0, 10, 10), &parent, 1));
  EXPECT_EQ(0, CTestForm::live);
  parent.DestroyWindow();
}

namespace {

class CPaneView : public CView {
  DECLARE_DYNCREATE(CPaneView)

 public:
  static int live;
  ~CPaneView() override { --live; }
  void OnDraw(CDC*) override {}

 protected:
  CPaneView() { ++live; }
};
IMPLEMENT_DYNCREATE(CPaneView, CView)
int CPaneView::live = 0;

class CFailingPaneView : public CPaneView {
  DECLARE_DYNCREATE(CFailingPaneView)

 public:
  BEGIN_MSG_MAP(CFailingPaneView)
    MSG_WM_CREATE(OnCreate)
    CHAIN_MSG_MAP(CPaneView)
  END_MSG_MAP()
  int OnCreate(LPCREATESTRUCTA) { return -1; }
};
IMPLEMENT_DYNCREATE(CFailingPaneView, CPaneView)

// The program's metrics: no bars, no borders, a 1-pixel gap.
class CThinSplitter : public CSplitterWnd {
 public:
  CThinSplitter() {
    m_cxSplitter = m_cySplitter = 0;
    m_cxBorderShare = m_cyBorderShare = 0;
    m_cxSplitterGap = m_cySplitterGap = 1;
    m_cxBorder = m_cyBorder = 0;
  }
};

class Splitter : public ::testing::Test {
 protected:
  void SetUp() override {
    ASSERT_TRUE(parent.CreateEx(0, nullptr, "splitter parent", WS_OVERLAPPEDWINDOW, 0, 0, 800, 500, nullptr,
                                nullptr));
  }
  void TearDown() override {
    parent.DestroyWindow();
    EXPECT_EQ(0, CPaneView::live);
  }
  CRect PaneRect(CSplitterWnd& s, int row, int col) {
    CWnd* pPane = s.GetPane(row, col);
    if (!pPane) return CRect(-1, -1, -1, -1);
    CRect rect = pPane->GetWindowRect();
    MapWindowPoints(nullptr, s.m_hWnd, reinterpret_cast<POINT*>(&rect), 2);
    return rect;
  }
  CWnd parent;
};

}  // namespace

TEST_F(Splitter, ColumnsTakeTheirIdealWidthAndTheLastOneTheRest) {
  CThinSplitter thin;
  ASSERT_TRUE(thin.CreateStatic(&parent, 1, 2));
  ASSERT_TRUE(thin.CreateView(0, 0, RUNTIME_CLASS(CPaneView), CSize(170, 325), nullptr));
  ASSERT_TRUE(thin.CreateView(0, 1, RUNTIME_CLASS(CPaneView), CSize(150, 325), nullptr));
  thin.MoveWindow(0, 0, 700, 325);
  EXPECT_EQ(CRect(0, 0, 170, 325), PaneRect(thin, 0, 0));
  EXPECT_EQ(CRect(171, 0, 700, 325), PaneRect(thin, 0, 1));

  // Too narrow for both: the first keeps what fits, the last gets nothing.
  thin.MoveWindow(0, 0, 100, 325);
  EXPECT_EQ(CRect(0, 0, 100, 325), PaneRect(thin, 0, 0));
  EXPECT_EQ(0, PaneRect(thin, 0, 1).Width());

  // A column below its minimum is not shown at all.
  thin.SetColumnInfo(0, 170, 200);
  thin.MoveWindow(0, 0, 700, 325);
  EXPECT_EQ(0, PaneRect(thin, 0, 0).Width());
  EXPECT_EQ(CRect(1, 0, 700, 325), PaneRect(thin, 0, 1));
}

TEST_F(Splitter, AViewThatCannotBeMadeLeavesItsPaneEmptyAndUsable) {
  CThinSplitter thin;
  ASSERT_TRUE(thin.CreateStatic(&parent, 1, 2));
  ASSERT_TRUE(thin.CreateView(0, 0, RUNTIME_CLASS(CPaneView), CSize(170, 325), nullptr));
  EXPECT_FALSE(thin.CreateView(0, 1, RUNTIME_CLASS(CFailingPaneView), CSize(150, 325), nullptr));
  EXPECT_EQ(nullptr, thin.GetPane(0, 1));
  EXPECT_EQ(1, CPaneView::live);
  thin.MoveWindow(0, 0, 700, 325);  // lays out with the hole
  thin.SetActivePane(0, 1);
  EXPECT_EQ(nullptr, thin.GetActivePane());

  EXPECT_FALSE(thin.CreateView(0, 0, RUNTIME_CLASS(CPaneView), CSize(170, 325), nullptr));  // taken
  EXPECT_FALSE(thin.CreateView(0, 2, RUNTIME_CLASS(CPaneView), CSize(170, 325), nullptr));  // no such pane
  EXPECT_TRUE(thin.CreateView(0, 1, RUNTIME_CLASS(CPaneView), CSize(150, 325), nullptr));
  thin.DeleteView(0, 0);
  EXPECT_EQ(nullptr, thin.GetPane(0, 0));
  EXPECT_EQ(1, CPaneView::live);
}

TEST(CommandLine, FileAndOleSwitchesWhateverTheirCaseAndSwitchCharacter) {
  struct Case {
    std::vector<const char*> args;
    CCommandLineInfo::ShellCommand command;
    bool embedded, automated;
    std::string file;
  } cases[] = {
      {{"prog"}, CCommandLineInfo::FileNew, false, false, ""},
      {{"prog", "C:\\img\\a.velf"}, CCommandLineInfo::FileOpen, false, false, "C:\\img\\a.velf"},
      {{"prog", "/Embedding"}, CCommandLineInfo::FileNothing, true, false, ""},
      {{"prog", "-embedding"}, CCommandLineInfo::FileNothing, true, false, ""},
      {{"prog", "/AUTOMATION"}, CCommandLineInfo::FileNothing, false, true, ""},
      {{"prog", "/unknown", "first", "second"}, CCommandLineInfo::FileOpen, false, false, "first"},
  };
  for (const Case& c : cases) {
    CCommandLineInfo info;
    info.ParseArguments(static_cast<int>(c.args.size()), c.args.data());
    EXPECT_EQ(c.command, info.m_nShellCommand) << c.args.back();
    EXPECT_EQ(c.embedded, info.m_bRunEmbedded) << c.args.back();
    EXPECT_EQ(c.automated, info.m_bRunAutomated) << c.args.back();
    EXPECT_EQ(c.file, info.m_strFileName) << c.args.back();
  }
}

TEST(File, SharesWithNobodyByDefaultAndReadsWhatIsThere) {
  TempFile data("framework-file.bin", {1, 2, 3, 4, 5});
  CFile first;
  ASSERT_TRUE(first.Open(data.path().c_str(), CFile::modeRead));
  EXPECT_EQ(5u, first.GetLength());
  CFile second;
  EXPECT_FALSE(second.Open(data.path().c_str(), CFile::modeRead | CFile::shareDenyNone));
  unsigned char buf[8] = {};
  EXPECT_EQ(5u, first.Read(buf, sizeof buf));
  EXPECT_EQ(5, buf[4]);
  EXPECT_EQ(0u, first.Read(buf, sizeof buf));
  first.Close();
  EXPECT_TRUE(second.Open(data.path().c_str(), CFile::modeRead | CFile::shareDenyNone));
  CFile missing;
  EXPECT_FALSE(missing.Open("C:\\no\\such\\file.bin", CFile::modeRead));
  EXPECT_EQ(0u, missing.Read(buf, sizeof buf));
}
