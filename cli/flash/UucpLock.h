// UucpLock.h - the lock-file convention that serial programs on Linux honour: LCK..<device> holding the owner's process id.
//
// The file is named after the base name of the device's real path (a /dev/serial/by-id link and the
// ttyUSB node it points at lock the same file) and holds the process id as ten ASCII digits and a
// newline. A lock left by a process that no longer runs is removed. Owned by one thread; the
// signal-safe release is for an exit that cannot run destructors.
#pragma once

#include <sys/types.h>

#include <string>

class CUucpLock {
 public:
  enum Result {
    kLocked,     // the lock is ours
    kBusy,       // a live process holds it: HolderPid() and HolderName() say which
    kNoLockDir,  // no lock folder this process may write to: the port goes unlocked
  };

  // folder: where the locks live; empty: the system's (/var/lock, else /run/lock).
  explicit CUucpLock(std::string folder = std::string());
  ~CUucpLock();
  CUucpLock(const CUucpLock&) = delete;
  CUucpLock& operator=(const CUucpLock&) = delete;

  // Takes the lock of a device (again a success when it is already ours).
  Result Acquire(const std::string& device);
  // Removes the lock if this process holds it.
  void Release();
  bool Held() const { return m_held; }

  pid_t HolderPid() const { return m_holder; }
  // The holder's program name, as the system knows it ("minicom"); empty when unknown.
  std::string HolderName() const;
  const std::string& Path() const { return m_path; }

  // The lock file's path for a device in a lock folder.
  static std::string LockPathFor(const std::string& folder, const std::string& device);
  // Removes the lock held by this process; only async-signal-safe calls.
  static void ReleaseForExit();

 private:
  std::string m_folder;
  std::string m_path;
  bool m_held = false;
  pid_t m_holder = 0;
};
