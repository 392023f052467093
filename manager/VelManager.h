// VelManager.h - the exported interface of VelManager.dll: the serial download facade.
//
// A client window owns one CVelManager, names its window, two message numbers and a
// cancel flag with SetParentInfo, arms a download with ReadyToTransfer and ends it with
// StopTransfer. The library reports back by window messages (see docs/serial-library.md).
#pragma once

#include <windows.h>

#if defined(VELMANAGER_STATIC)
#define VELMANAGER_API
#elif defined(VELMANAGER_EXPORTS)
#define VELMANAGER_API __declspec(dllexport)
#else
#define VELMANAGER_API __declspec(dllimport)
#endif

class CVelManagerProcessor;

class VELMANAGER_API CVelManager {
  friend class CManagerServices;

 public:
  enum VELMAN_TRANS_TYPE { VELMAN_TRANS_SERIAL = 0 };

  CVelManager();
  virtual ~CVelManager();
  CVelManager(const CVelManager& other);
  CVelManager& operator=(const CVelManager& other);

  void SetParentInfo(HWND hParent, unsigned int unMsgEvent, unsigned int unMsgInProcess,
                     volatile int* pCancel);
  void SetComportInfo(unsigned short nPort, unsigned long dwBaudRate);
  int GetComportInfo(unsigned short* pnPort, unsigned long* pdwBaudRate);
  int IsConnectedComport();
  int ReadyToTransfer(VELMAN_TRANS_TYPE nTransType, const char* lpszFilePath);
  int StopTransfer();
  void DoIOConfig();

  static CVelManagerProcessor* GetCurProcessor();
  static int GetCurProcessorID();
  static void SetCurProcessorID(int nID);

  // Signalled (manual reset) when the processor has honoured a cancel request.
  HANDLE m_hCancelEvent;

 protected:
  int Initialize(VELMAN_TRANS_TYPE nTransType);
  int UnInitialize();
  void InitProcessorArray();
  void ResetProcessorArray();

  VELMAN_TRANS_TYPE m_nTransType;

  static unsigned short m_nPort;
  static unsigned long m_dwBaudRate;
  static unsigned int m_unMsgEvent;
  static unsigned int m_unMsgInProcess;
};

// Shows the library's about box, modal, owned by hOwner.
VELMANAGER_API void VELMAN_AboutBox(HWND hOwner);
